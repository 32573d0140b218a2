#!/bin/sh
# Runs a test program so that neither it nor anything it starts can set the computer's
# clock: CAP_SYS_TIME leaves the bounding set where this shell may drop it (as root);
# otherwise no_new_privs keeps any exec from granting it.
set -eu
[ $# -ge 1 ] || { echo "usage: $0 program [args...]" >&2; exit 2; }
caps() { sed -n "s/^$1:[[:space:]]*//p" /proc/self/status; }
bounding=$(caps CapBnd)
effective=$(caps CapEff)
if [ $(( (0x$bounding >> 25) & 1 )) -eq 1 ] && [ $(( (0x$effective >> 8) & 1 )) -eq 1 ]; then
  exec capsh --drop=cap_sys_time -- -c 'exec "$0" "$@"' "$@"
fi
exec setpriv --no-new-privs -- "$@"
