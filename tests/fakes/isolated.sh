#!/bin/sh
# Runs a test in a session of its own, so that it means the same on a build machine and
# inside a developer's desktop:
#   isolated.sh [NAME=value ...] -- program [args...]
# The test sees nothing of the caller's session: no display, no session or accessibility
# bus (and none can be autolaunched), no desktop, scaling or input-method settings; a fresh
# home with its own settings, data, cache and runtime folders, removed when the test ends;
# the C.UTF-8 locale. It keeps PATH, TMPDIR, who the user is, the sanitizers' options and
# what picks or repeats a test (KADRILL_*, GTEST_*), and QT_LOGGING_RULES. The NAME=value
# pairs come on top. Neither the test nor anything it starts can set the computer's clock.
set -eu

pairs=0
for arg in "$@"; do
  [ "$arg" = "--" ] && break
  pairs=$((pairs + 1))
done
[ "$pairs" -lt $# ] || { echo "usage: $0 [NAME=value ...] -- program [args...]" >&2; exit 2; }

# The "--" becomes the guard that takes away the right to set the clock.
guard=$(dirname "$0")/without-clock-setting.sh
i=0
total=$#
while [ "$i" -lt "$total" ]; do
  arg=$1
  shift
  if [ "$i" -eq "$pairs" ]; then set -- "$@" "$guard"; else set -- "$@" "$arg"; fi
  i=$((i + 1))
done

for name in $(env | sed -n 's/^\(KADRILL_[A-Za-z0-9_]*\|GTEST_[A-Za-z0-9_]*\|[A-Z]*SAN_OPTIONS\|QT_LOGGING_RULES\|TMPDIR\|USER\|LOGNAME\)=.*/\1/p'); do
  eval "value=\${$name}"
  set -- "$name=$value" "$@"
done

root=$(mktemp -d "${TMPDIR:-/tmp}/kadrill-test.XXXXXX")
mkdir -m 700 "$root/home" "$root/runtime"
# The test takes over this process; its folder goes once it has ended, also when ctest
# kills it at its time-out.
(tail --pid=$$ -f /dev/null; rm -rf "$root") </dev/null >/dev/null 2>&1 &

exec env -i PATH="$PATH" LANG=C.UTF-8 HOME="$root/home" XDG_CONFIG_HOME="$root/home/.config" \
  XDG_DATA_HOME="$root/home/.local/share" XDG_CACHE_HOME="$root/home/.cache" \
  XDG_STATE_HOME="$root/home/.local/state" XDG_RUNTIME_DIR="$root/runtime" \
  DBUS_SESSION_BUS_ADDRESS="disabled:" "$@"
