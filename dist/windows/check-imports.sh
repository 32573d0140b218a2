#!/bin/sh
# Fails unless the program imports only DLLs that come with Windows: the C and C++
# runtimes and winpthreads are linked in, so kadrill.exe is one file to ship.
#   check-imports.sh OBJDUMP program.exe
set -eu
[ $# -eq 2 ] || { echo "usage: $0 OBJDUMP program.exe" >&2; exit 2; }
imports=$("$1" -p "$2" | sed -n 's/^[[:space:]]*DLL Name: //p')
[ -n "$imports" ] || { echo "$2: no imports found" >&2; exit 1; }
system='kernel32|ntdll|user32|gdi32|msimg32|shell32|comdlg32|comctl32|winmm|advapi32|ole32|oleaut32|oleacc|uuid'
system="$system|shlwapi|msvcrt|ucrtbase|imm32|uxtheme|dwmapi|version|hhctrl\\.ocx|ws2_32|shcore|userenv|powrprof"
system="$system|api-ms-win-[a-z0-9-]+"
foreign=$(printf '%s\n' "$imports" | grep -viE "^($system)(\\.dll)?\$" || true)
if [ -n "$foreign" ]; then
  echo "$2 imports DLLs that Windows does not bring:" >&2
  printf '  %s\n' $foreign >&2
  exit 1
fi
