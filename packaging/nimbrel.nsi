; Per-user installer for Nimbrel, built on Linux with makensis (Debian package "nsis").
;
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.0.0 -DSTAGE_DIR=<folder> -DOUTFILE=<setup.exe> nimbrel.nsi
;
; STAGE_DIR holds the five shipped files: Nimbrel.exe, nimbrel.pdf, README.txt, LICENSE.txt, CREDITS.txt.
; packaging/CMakeLists.txt (target package-release) stages them and runs this script.
;
; Command line of the installer: /S silent, /AUTOSTART also create the "Start with Windows" shortcut,
; /D=<folder> another install folder (last, unquoted). The uninstaller accepts /S, and /REMOVELINKS, which removes the
; Links folder of the user's own entries that it otherwise keeps.

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
; The Start-menu shortcut's key, which calls the running bar with the keyboard (see the manual). AltGr is Ctrl+Alt to
; Windows, and many layouts type letters with AltGr; Shift+AltGr types far fewer, and none of the common layouts
; give B a character at that level.
!define HOTKEY "ALT|CONTROL|SHIFT|B"
!define CLSID_SHELLLINK "{00021401-0000-0000-C000-000000000046}"
!define IID_ISHELLLINKW "{000214F9-0000-0000-C000-000000000046}"
!define IID_IPERSISTFILE "{0000010B-0000-0000-C000-000000000046}"
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
; The same company and copyright as Nimbrel.exe's version resource (src/win32/nimbrel.rc) and LICENSE.
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

; Ending the bar that runs from the install folder, before its files are replaced or removed. The protocol, shared
; with src/win32/MainWindow.h: every top-level window of class "NimbrelMainWindow" whose process image is
; $INSTDIR\Nimbrel.exe gets the registered message "Nimbrel.Exit", on which the bar ends at once as by its Exit
; button, and then WM_CLOSE, on which 1.0.0 (which knows no "Nimbrel.Exit") ends; copies that run from other folders
; are left alone. The installer waits up to 5 s for the process and ends it itself after that: the bar writes
; nothing on its way out, so nothing is lost. Sets $BarEnded to 1 when a bar was ended, otherwise to 0.
Var BarEnded
!macro END_RUNNING_BAR prefix
Function ${prefix}EndRunningBar
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  Push $5
  Push $6
  StrCpy $BarEnded 0
  StrCpy $6 "$INSTDIR\${APP}.exe"
  System::Call 'kernel32::GetLongPathNameW(w "$INSTDIR", w .r0, i ${NSIS_MAX_STRLEN}) i .r1'
  ${If} $1 > 0
    StrCpy $6 "$0\${APP}.exe"
  ${EndIf}
  System::Call 'user32::RegisterWindowMessageW(w "Nimbrel.Exit") i .r0'
  StrCpy $2 0
  ; A bar that does not go away even when its process is ended cannot hold the installer for ever.
  StrCpy $5 0
  ${Do}
    System::Call 'user32::FindWindowExW(p 0, p r2, w "NimbrelMainWindow", p 0) p .r2'
    ${If} $2 P= 0
      ${Break}
    ${EndIf}
    System::Call 'user32::GetWindowThreadProcessId(p r2, *i 0 r3)'
    ; SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE
    System::Call 'kernel32::OpenProcess(i 0x101001, i 0, i r3) p .r3'
    ${If} $3 P= 0
      ${Continue}
    ${EndIf}
    System::Call 'kernel32::QueryFullProcessImageNameW(p r3, i 0, w .r4, *i ${NSIS_MAX_STRLEN}) i .r1'
    ${If} $1 <> 0
    ${AndIf} $4 == $6
      System::Call 'user32::PostMessageW(p r2, i r0, p 0, p 0)'
      System::Call 'user32::PostMessageW(p r2, i ${WM_CLOSE}, p 0, p 0)'
      System::Call 'kernel32::WaitForSingleObject(p r3, i 5000) i .r1'
      ${If} $1 <> 0
        System::Call 'kernel32::TerminateProcess(p r3, i 0)'
        System::Call 'kernel32::WaitForSingleObject(p r3, i 5000)'
      ${EndIf}
      StrCpy $BarEnded 1
      ; The window is gone: search again from the first one.
      StrCpy $2 0
      IntOp $5 $5 + 1
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r3)'
  ${LoopUntil} $5 >= 8
  Pop $6
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro END_RUNNING_BAR ""
!insertmacro END_RUNNING_BAR "un."

; The hot key of the shortcut $R8. With $R9 empty, reads it into $R9 (a HOTKEYF_ byte over a virtual key, 0 for none;
; empty when the shortcut cannot be read); otherwise stores $R9 in it.
Function ShortcutHotKey
  Push $0
  Push $1
  Push $2
  Push $3
  StrCpy $3 $R9
  StrCpy $R9 ""
  System::Call "ole32::CoCreateInstance(g '${CLSID_SHELLLINK}', p 0, i 1, g '${IID_ISHELLLINKW}', *p .r0) i .r2"
  ${If} $2 == 0
    System::Call "$0->0(g '${IID_IPERSISTFILE}', *p .r1) i .r2"
    ${If} $2 == 0
      ; IPersistFile::Load with STGM_READWRITE
      System::Call "$1->5(w R8, i 2) i .r2"
      ${If} $2 == 0
      ${AndIf} $3 == ""
        ; IShellLinkW::GetHotkey
        System::Call "$0->12(*i 0 R9)"
      ${ElseIf} $2 == 0
        ; IShellLinkW::SetHotkey, then IPersistFile::Save in place
        System::Call "$0->13(h r3)"
        System::Call "$1->6(p 0, i 1)"
        StrCpy $R9 $3
      ${EndIf}
      System::Call "$1->2()"
    ${EndIf}
    System::Call "$0->2()"
  ${EndIf}
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

Section "${APP} (required)" SecProgram
  SectionIn RO
  Call EndRunningBar
  SetOutPath "$INSTDIR"
  File "${STAGE_DIR}/Nimbrel.exe"
  File "${STAGE_DIR}/nimbrel.pdf"
  File "${STAGE_DIR}/README.txt"
  File "${STAGE_DIR}/LICENSE.txt"
  File "${STAGE_DIR}/CREDITS.txt"
  ; Nimbrel.Txt is left alone: an upgrade keeps the user's settings, and the program writes the defaults itself. So is
  ; the Links folder, which holds the user's own entries of the bar.
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; A reinstall keeps the key that the user gave the shortcut in its Properties, none included.
  StrCpy $R8 "$SMPROGRAMS\${APP}.lnk"
  StrCpy $R9 ""
  ${If} ${FileExists} $R8
    Call ShortcutHotKey
  ${EndIf}
  CreateShortcut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\Nimbrel.exe" "" "$INSTDIR\Nimbrel.exe" 0 \
      SW_SHOWNORMAL "${HOTKEY}" "A launcher bar for your internet programs"
  ${If} $R9 != ""
    Call ShortcutHotKey
  ${EndIf}
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

  ; An upgrade over a running bar leaves the new one running: a silent one starts it here, an interactive one by the
  ; finish page's "Start Nimbrel now", which is checked. Starting it in both places would make the second start a
  ; call of the first by the keyboard, which keeps the bar docked.
  ${If} $BarEnded == 1
  ${AndIf} ${Silent}
    Exec '"$INSTDIR\Nimbrel.exe"'
  ${EndIf}
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
  Call un.EndRunningBar
  Delete "$INSTDIR\Nimbrel.exe"
  Delete "$INSTDIR\nimbrel.pdf"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\CREDITS.txt"
  ; The settings file that the program wrote beside itself.
  Delete "$INSTDIR\Nimbrel.Txt"
  Delete "$INSTDIR\uninstall.exe"
  ; The user's own entries stay unless asked for: they are theirs, and a reinstall shows them again. An empty Links
  ; folder holds nothing of theirs.
  ${un.GetParameters} $0
  ClearErrors
  ${un.GetOptions} $0 "/REMOVELINKS" $1
  ${IfNot} ${Errors}
    RMDir /r "$INSTDIR\Links"
  ${Else}
    RMDir "$INSTDIR\Links"
    ${If} ${FileExists} "$INSTDIR\Links\*.*"
      DetailPrint "Your own entries of the bar stay in $INSTDIR\Links."
      MessageBox MB_OK|MB_ICONINFORMATION "Your own entries of the bar stay in the folder$\r$\n$\r$\n$INSTDIR\Links$\r$\n$\r$\nDelete the folder when you no longer want them." /SD IDOK
    ${EndIf}
  ${EndIf}
  ; Not /r: files the user added to the folder stay, and so does the folder then.
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\${APP}.lnk"
  Delete "$SMSTARTUP\${APP}.lnk"
  DeleteRegKey HKCU "${UNINST_KEY}"
SectionEnd
