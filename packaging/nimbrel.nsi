; Per-user installer for Nimbrel, built on Linux with makensis (Debian package "nsis").
;
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.0.0 -DSTAGE_DIR=<folder> -DOUTFILE=<setup.exe> nimbrel.nsi
;
; STAGE_DIR holds the five shipped files: Nimbrel.exe, nimbrel.pdf, README.txt, LICENSE.txt, CREDITS.txt.
; packaging/CMakeLists.txt (target package-release) stages them and runs this script.
;
; Command line of the installer: /S silent, /AUTOSTART also create the "Start with Windows" shortcut,
; /D=<folder> another install folder (last, unquoted). The uninstaller accepts /S.

!ifndef VERSION
  !error "Pass -DVERSION=x.y.z"
!endif
!ifndef STAGE_DIR
  !error "Pass -DSTAGE_DIR=<folder with the files to install>"
!endif
!ifndef OUTFILE
  !define OUTFILE "Nimbrel-${VERSION}-setup.exe"
!endif

Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma
; The files' own dates would make every build of the same commit different; installed files take the install time.
SetDateSave off

!define APP "Nimbrel"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${APP}"
!define HOME_PAGE "http://www.nimbrel.org/"

Name "${APP} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${APP}"
InstallDirRegKey HKCU "${UNINST_KEY}" "InstallLocation"
BrandingText "${APP} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${APP}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${APP} ${VERSION} setup"
VIAddVersionKey /LANG=1033 "CompanyName" "The Nimbrel developers"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (c) 2026 The Nimbrel developers"

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"

!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\Nimbrel.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${APP} now"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\nimbrel.pdf"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Open the user manual"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE_DIR}/LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Section "${APP} (required)" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${STAGE_DIR}/Nimbrel.exe"
  File "${STAGE_DIR}/nimbrel.pdf"
  File "${STAGE_DIR}/README.txt"
  File "${STAGE_DIR}/LICENSE.txt"
  File "${STAGE_DIR}/CREDITS.txt"
  ; Nimbrel.Txt is left alone: an upgrade keeps the user's settings, and the program writes the defaults itself.
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\Nimbrel.exe" "" "$INSTDIR\Nimbrel.exe" 0 \
      SW_SHOWNORMAL "" "A launcher bar for your internet programs"
  ; The startup shortcut exists exactly when its section is chosen; the next section adds it back.
  Delete "$SMSTARTUP\${APP}.lnk"

  WriteRegStr HKCU "${UNINST_KEY}" "DisplayName" "${APP}"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\Nimbrel.exe,0"
  WriteRegStr HKCU "${UNINST_KEY}" "Publisher" "The Nimbrel developers"
  WriteRegStr HKCU "${UNINST_KEY}" "URLInfoAbout" "${HOME_PAGE}"
  WriteRegStr HKCU "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKCU "${UNINST_KEY}" "EstimatedSize" "$0"
SectionEnd

Section /o "Start with Windows" SecStartup
  CreateShortcut "$SMSTARTUP\${APP}.lnk" "$INSTDIR\Nimbrel.exe" "" "$INSTDIR\Nimbrel.exe" 0 SW_SHOWNORMAL
SectionEnd

Function .onInit
  ; Keep an existing "Start with Windows" choice on upgrade; /AUTOSTART asks for it explicitly.
  ${If} ${FileExists} "$SMSTARTUP\${APP}.lnk"
    !insertmacro SelectSection ${SecStartup}
  ${EndIf}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/AUTOSTART" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecStartup}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Delete "$INSTDIR\Nimbrel.exe"
  Delete "$INSTDIR\nimbrel.pdf"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\CREDITS.txt"
  ; The settings file that the program wrote beside itself.
  Delete "$INSTDIR\Nimbrel.Txt"
  Delete "$INSTDIR\uninstall.exe"
  ; Not /r: files the user added to the folder stay, and so does the folder then.
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\${APP}.lnk"
  Delete "$SMSTARTUP\${APP}.lnk"
  DeleteRegKey HKCU "${UNINST_KEY}"
SectionEnd
