; The Windows installer: makensis -DVERSION=... -DSTAGE=... -DOUTFILE=... -DICON=...
;   -DFILES=files.nsh -DREMOVE=remove.nsh kadrill.nsi
; STAGE holds the installed tree (cmake --install); FILES and REMOVE, generated from it by
; stage.cmake, install each of its files and take each away again, so that the uninstaller
; removes exactly what the installer brought and nothing a user put beside it.
; A 64-bit installer for the 64-bit program (and Wine's 64-bit loader runs it in the tests).
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true

!include "MUI2.nsh"
!include "StrFunc.nsh"
${UnStrStr}

!define PROGRAM "Kadrill"
!define EXE "kadrill.exe"
; The alarm settings files' type, named and drawn as on the Linux desktop.
!define PROGID "io.github.kadrill.Kadrill.alm"
!define ALM_TYPE_NAME "Kadrill のアラーム設定ファイル"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PROGRAM}"
!define CLASSES "Software\Classes"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

Name "${PROGRAM}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PROGRAM}"
RequestExecutionLevel admin
BrandingText "${PROGRAM} ${VERSION}"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1041 "ProductName" "${PROGRAM}"
VIAddVersionKey /LANG=1041 "FileDescription" "${PROGRAM} ${VERSION} セットアップ"
VIAddVersionKey /LANG=1041 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "LegalCopyright" "Copyright 2026 the Kadrill developers; GPL-3.0-or-later"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\${EXE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Kadrill"
  !include "${FILES}"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\${PROGRAM}.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0

  ; .alm files open with Kadrill and show the program's second icon.
  WriteRegStr HKLM "${CLASSES}\.alm" "" "${PROGID}"
  WriteRegStr HKLM "${CLASSES}\.alm\OpenWithProgids" "${PROGID}" ""
  WriteRegStr HKLM "${CLASSES}\${PROGID}" "" "${ALM_TYPE_NAME}"
  WriteRegStr HKLM "${CLASSES}\${PROGID}\DefaultIcon" "" "$INSTDIR\${EXE},1"
  WriteRegStr HKLM "${CLASSES}\${PROGID}\shell\open\command" "" '"$INSTDIR\${EXE}" "%1"'
  WriteRegStr HKLM "${CLASSES}\Applications\${EXE}\SupportedTypes" ".alm" ""

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PROGRAM}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE},0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The Kadrill developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}

  ; Explorer draws the .alm files with their new icon at once.
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

Section "Uninstall"
  Delete "$SMPROGRAMS\${PROGRAM}.lnk"

  ; The .alm type stays with another program that took it over meanwhile.
  ReadRegStr $0 HKLM "${CLASSES}\.alm" ""
  StrCmp $0 "${PROGID}" 0 +2
    DeleteRegValue HKLM "${CLASSES}\.alm" ""
  DeleteRegValue HKLM "${CLASSES}\.alm\OpenWithProgids" "${PROGID}"
  DeleteRegKey /ifempty HKLM "${CLASSES}\.alm\OpenWithProgids"
  DeleteRegKey /ifempty HKLM "${CLASSES}\.alm"
  DeleteRegKey HKLM "${CLASSES}\${PROGID}"
  DeleteRegKey HKLM "${CLASSES}\Applications\${EXE}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  ; The login start the program may have written for this user points at it no more.
  ReadRegStr $0 HKCU "${RUN_KEY}" "${PROGRAM}"
  ${UnStrStr} $1 $0 "$INSTDIR\${EXE}"
  StrCmp $1 "" +2
    DeleteRegValue HKCU "${RUN_KEY}" "${PROGRAM}"

  !include "${REMOVE}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd
