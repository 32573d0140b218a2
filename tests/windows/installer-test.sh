#!/bin/sh
# The installer under Wine (run by wine-run.sh, which gives $WINE and $WINESERVER): a silent
# install puts the program, its help, its Start-menu entry, the .alm type and the uninstall
# entry in place; the uninstaller takes every one of them away again, and the login start
# the program wrote, and leaves no folder behind.
#   installer-test.sh kadrill-<version>-setup.exe
set -u
setup=$1
failures=0
fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}
program_files="$WINEPREFIX/drive_c/Program Files/Kadrill"
start_menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Kadrill.lnk"
progid='io.github.kadrill.Kadrill.alm'
# None of them has a space in it.
keys="HKLM\\Software\\Classes\\$progid
HKLM\\Software\\Classes\\Applications\\kadrill.exe
HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kadrill"
query() { "$WINE" reg query "$@" 2>/dev/null | tr -d '\r'; }
exists() { "$WINE" reg query "$1" >/dev/null 2>&1; }

"$WINE" "$setup" /S || fail "the installer ended with status $?"
"$WINESERVER" -w
[ -f "$program_files/kadrill.exe" ] || fail "no kadrill.exe in Program Files"
[ -f "$program_files/uninstall.exe" ] || fail "no uninstaller"
[ -f "$program_files/kadrill.chm" ] || fail "no compiled help"
[ -f "$program_files/help/index.html" ] || fail "no help pages"
[ -f "$start_menu" ] || fail "no Start-menu entry"
query 'HKLM\Software\Classes\.alm' /ve | grep -q "REG_SZ *$progid\$" || fail ".alm is not Kadrill's type"
query "HKLM\\Software\\Classes\\$progid\\shell\\open\\command" /ve |
  grep -qF '"C:\Program Files\Kadrill\kadrill.exe" "%1"' || fail ".alm files do not open with Kadrill"
query "HKLM\\Software\\Classes\\$progid\\DefaultIcon" /ve | grep -qF 'kadrill.exe,1' || fail "no icon for .alm files"
for key in $keys; do
  exists "$key" || fail "$key is missing after the install"
done

# The program's login start for this user, as 設定 → ﾛｸﾞｲﾝ時に起動 writes it.
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
"$WINE" reg add "$run_key" /v Kadrill /d '"C:\Program Files\Kadrill\kadrill.exe" "C:\users\a.alm"' /f >/dev/null 2>&1

"$WINE" 'C:\Program Files\Kadrill\uninstall.exe' /S || fail "the uninstaller ended with status $?"
# It runs on from a copy of itself in the temporary folder.
"$WINESERVER" -w
[ ! -e "$program_files" ] || fail "Program Files still holds: $(ls -A "$program_files")"
[ ! -e "$start_menu" ] || fail "the Start-menu entry is still there"
exists 'HKLM\Software\Classes\.alm' && fail "the .alm key is still there"
for key in $keys; do
  exists "$key" && fail "$key is still there after the uninstall"
done
"$WINE" reg query "$run_key" /v Kadrill >/dev/null 2>&1 && fail "the login start still names the removed program"
[ "$failures" -eq 0 ] && echo "installer: installed and removed cleanly"
exit "$failures"
