#!/bin/bash
# Runs a Windows program under Wine the way the tests need it, hermetic and unable to set
# the computer's clock:
#   wine-run.sh [--template DIR] [NAME=value ...] -- program.exe|script.sh [args...]
# The program gets a virtual X screen of its own (Xvfb, the display it picked itself), a
# fresh Wine prefix in a temporary folder, WINEDEBUG=-all and the C.UTF-8 locale; nothing of
# the caller's display, buses, Wayland or home reaches it. It keeps TMPDIR, who the user is
# and what picks or repeats a test (KADRILL_*, GTEST_*); the NAME=value pairs come on top.
# The temporary folder is made in KADRILL_WINE_TMP, TMPDIR or /tmp (beside DIR with
# --template, so that the copy may link to it). The exit
# status is the program's. The prefix's wineserver, the screen and the folder go when the
# program ends, also when the runner is killed (ctest's time-out).
#
# Making a prefix takes wineboot about ten seconds. With --template the prefix is made once
# in DIR (at the first run, under a lock) and each run gets a copy: the system's binaries
# hard-linked, never written while a program runs; the registry and the rest copied.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
guard=$here/../fakes/without-clock-setting.sh
wine=${KADRILL_WINE:-/usr/lib/wine/wine64}
wineserver=$(dirname "$wine")/wineserver

template=""
if [ "${1:-}" = "--template" ]; then
  template=$2
  shift 2
fi
pairs=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
  pairs+=("$1")
  shift
done
[ $# -ge 2 ] || { echo "usage: $0 [--template DIR] [NAME=value ...] -- program.exe|script.sh [args...]" >&2; exit 2; }
shift

for name in $(env | sed -n 's/^\(KADRILL_[A-Za-z0-9_]*\|GTEST_[A-Za-z0-9_]*\|TMPDIR\|USER\|LOGNAME\)=.*/\1/p'); do
  pairs=("$name=${!name}" "${pairs[@]}")
done

# A prefix's own programs and libraries: wineboot writes them, a running program only reads them.
binaries='.*\.\(dll\|exe\|drv\|sys\|ocx\|acm\|cpl\|tlb\|ax\|ds\|nls\|mui\|ttf\)'

# Wine without the caller's session, under the guard that takes away the right to set the clock.
hermetic() {
  env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 HOME="$root/home" XDG_RUNTIME_DIR="$root/runtime" \
    WINEDEBUG=-all WINEPREFIX="$prefix" WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d" "$@"
}

make_template() {
  local lock=$template.lock
  exec 8>"$lock"
  flock 8
  # The settings below are part of the stamp: a changed list makes the prefix again.
  local version
  version="$("$wine" --version); fonts linked; MS PGothic replaced; virtual desktop 1280x1024; own user folders"
  if [ -f "$template/system.reg" ] && [ "$(cat "$template/.kadrill-wine-version" 2>/dev/null)" = "$version" ]; then
    flock -u 8
    return
  fi
  rm -rf "$template" "$template.new"
  local prefix=$template.new
  hermetic "$guard" "$wine" wineboot -i >/dev/null 2>&1 || true
  # Japanese as on a Japanese desktop: the interface fonts (menus, buttons, message boxes)
  # take the glyphs they lack from the system's Japanese font, as Windows links MS UI Gothic.
  local face
  for face in "Tahoma" "Microsoft Sans Serif" "MS Shell Dlg" "MS Shell Dlg 2" "Segoe UI"; do
    hermetic "$guard" "$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
      /v "$face" /t REG_MULTI_SZ /d "ipagp.ttf,IPAPGothic" /f >/dev/null 2>&1
  done
  # The font the watch's texts name, which a Japanese Windows has, is the system's own
  # Japanese font here.
  hermetic "$guard" "$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "ＭＳ Ｐゴシック" /d IPAPGothic /f \
    >/dev/null 2>&1
  # One virtual desktop the size of the screen: the windows live inside it, so no window
  # manager is waited for (Wine waits up to two seconds for one to withdraw a hidden window)
  # and the X keyboard focus never moves (a move makes Wine resynchronise its key states,
  # which drops a modifier held by SendInput).
  hermetic "$guard" "$wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  hermetic "$guard" "$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f \
    >/dev/null 2>&1
  hermetic "$guard" "$wineserver" -w
  # wineboot links Desktop, Documents and the like to the home it was given, which goes
  # with the run that made the template: they become folders of the prefix's own.
  find "$prefix/drive_c/users" -mindepth 2 -maxdepth 2 -type l -lname '/*' -exec sh -c 'rm "$1" && mkdir "$1"' _ {} \;
  [ -f "$prefix/system.reg" ] || { echo "wine-run.sh: wineboot made no prefix in $prefix" >&2; exit 1; }
  echo "$version" >"$prefix/.kadrill-wine-version"
  mv "$prefix" "$template"
  flock -u 8
}

tmp=${KADRILL_WINE_TMP:-${TMPDIR:-/tmp}}
[ -n "$template" ] && tmp=$(dirname "$template")
root=$(mktemp -d "$tmp/kadrill-wine.XXXXXX")
prefix=$root/prefix
mkdir -m 700 "$root/home" "$root/runtime"
xpid=""

cleanup() {
  trap - EXIT INT TERM
  if [ -d "$prefix" ]; then
    hermetic "$guard" "$wineserver" -k >/dev/null 2>&1 || true
    hermetic "$guard" "$wineserver" -w >/dev/null 2>&1 || true
  fi
  # Only our own Xvfb: its command line names our folder.
  if [ -n "$xpid" ] && grep -qF "$root" "/proc/$xpid/cmdline" 2>/dev/null; then
    kill "$xpid" 2>/dev/null || true
    wait "$xpid" 2>/dev/null || true
  fi
  rm -rf "$root"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

if [ -n "$template" ]; then
  make_template
  mkdir -p "$prefix"
  (cd "$template" && find . -mindepth 1 -type d -printf '%P\0' | (cd "$prefix" && xargs -0 -r mkdir -p --))
  (cd "$template" && find . -type l -printf '%P\0' | xargs -0 -r cp -P --parents -t "$prefix" --)
  (cd "$template" && find . -type f -iregex "$binaries" -printf '%P\0' | xargs -0 -r cp -l --parents -t "$prefix" --)
  (cd "$template" && find . -type f ! -iregex "$binaries" -printf '%P\0' | xargs -0 -r cp -p --parents -t "$prefix" --)
  rm -f "$prefix/.kadrill-wine-version"
fi

# The screen picks its own free display and names it on a pipe; -fbdir keeps its picture in
# our folder (a screenshot is the file Xvfb_screen0) and marks the process as ours.
mkfifo "$root/displayfd"
Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp -noreset -fbdir "$root" 9>"$root/displayfd" \
  </dev/null >"$root/xvfb.log" 2>&1 &
xpid=$!
display=""
read -r -t 20 display <"$root/displayfd" || true
[ -n "$display" ] || { echo "wine-run.sh: Xvfb did not start:" >&2; cat "$root/xvfb.log" >&2; exit 1; }

# If the runner is killed outright, a watcher outside its process tree still cleans up.
(
  setsid bash -c 'tail --pid="$1" -f /dev/null; WINEPREFIX="$2" "$6" "$3" -k; sleep 1;
                  grep -qF "$4" "/proc/$5/cmdline" 2>/dev/null && kill "$5"; rm -rf "$4"' \
    watcher $$ "$prefix" "$wineserver" "$root" "$xpid" "$guard" </dev/null >/dev/null 2>&1 &
)

# The program runs in our folder, so that nothing it writes by a relative path lands elsewhere.
program=$1
shift
case "$program" in
  /*) ;;
  *) program=$PWD/$program ;;
esac
set -- "$program" "$@"
cd "$root/home"

# A shell script runs instead of a program, with Wine as $WINE, to drive several programs in
# the one prefix (an installer, then the program it installed); $WINESERVER -w waits for all.
case "$1" in
  *.sh) runner=(sh) ;;
  *) runner=("$wine") ;;
esac
# In the background, so that a signal to the runner is handled at once (bash runs traps
# only between commands, and wait is one).
hermetic DISPLAY=":$display" WINE="$wine" WINESERVER="$wineserver" "${pairs[@]}" "$guard" "${runner[@]}" "$@" <&0 &
status=0
wait $! || status=$?
exit "$status"
