; The Vellumix installer: 64-bit, per machine into Program Files (elevated) or,
; when the user chooses, per user into the user's own programs folder.
; scripts/package stages the files and passes:
;   VERSION    the version the program shows ("1.4"), read from res/version.h
;   VERSION4   the same as four numbers ("1.4.0.0"), for the version resource
;   FILES      an include with the macros InstallFiles and RemoveFiles
;   SIZE_KB    the installed size in KiB
;   OUTFILE    the installer to write
; Silent: /S (with /AllUsers or /CurrentUser to choose; the default is per machine
; for an administrator). The uninstaller keeps the settings when silent, and
; a silent run closes a running copy without asking.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true

!define APP "Vellumix"
!define PUBLISHER "The Vellumix developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vellumix"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SETTINGS_KEY "Software\Vellumix"

Name "${APP}"
Caption "${APP} ${VERSION} Setup"
OutFile "${OUTFILE}"
Icon "${__FILEDIR__}\..\res\pictures\vellumix.ico"
UninstallIcon "${__FILEDIR__}\..\res\pictures\vellumix.ico"
BrandingText "${APP} ${VERSION}"

VIProductVersion "${VERSION4}"
VIAddVersionKey ProductName "${APP}"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey FileVersion "${VERSION4}"
VIAddVersionKey FileDescription "${APP} Setup"
VIAddVersionKey CompanyName "${PUBLISHER}"
VIAddVersionKey LegalCopyright "Copyright (c) ${PUBLISHER}"

; Per machine needs elevation; an administrator is asked for it at start and may
; still choose per user on the first page; anyone else installs per user.
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "${APP}"
; An update goes where the last install went, in the same mode.
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallMode"
!include MultiUser.nsh
!include MUI2.nsh
!include LogicLib.nsh
!include "${FILES}"

!define MUI_ICON "${__FILEDIR__}\..\res\pictures\vellumix.ico"
!define MUI_UNICON "${__FILEDIR__}\..\res\pictures\vellumix.ico"
!define MUI_ABORTWARNING
; The program's own pictures (res/pictures/draw.py), not the stock wizard.
!define MUI_WELCOMEFINISHPAGE_BITMAP "${__FILEDIR__}\..\res\pictures\installer-side.bmp"
!define MUI_UNWELCOMEFINISHPAGE_BITMAP "${__FILEDIR__}\..\res\pictures\installer-side.bmp"
!define MUI_HEADERIMAGE
!define MUI_HEADERIMAGE_RIGHT
!define MUI_HEADERIMAGE_BITMAP "${__FILEDIR__}\..\res\pictures\installer-header.bmp"
!define MUI_HEADERIMAGE_UNBITMAP "${__FILEDIR__}\..\res\pictures\installer-header.bmp"

; Nothing Vellumix installs needs a restart: no advice about system files.
!define MUI_WELCOMEPAGE_TEXT "Setup will install $(^NameDA) on this computer.$\r$\n$\r$\n\
  If Vellumix is running, Setup will ask before closing it.$\r$\n$\r$\n$_CLICK"
!define MUI_FINISHPAGE_NOREBOOTSUPPORT
!define MUI_FINISHPAGE_TEXT "$(^NameDA) is installed on this computer.$\r$\n$\r$\nClick Finish to close Setup."
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "&Run Vellumix"
!define MUI_FINISHPAGE_RUN_FUNCTION RunProgram

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; ---- a running copy, and the program started from the finish page

; Per machine, Setup runs elevated, and a program it starts would run elevated
; too. Explorer, asked to open the program, hands it to the shell already
; running for the signed-in user, which starts it with the user's own rights
; (and as that user when an administrator's account only approved the setup).
Function RunProgram
  ${If} $MultiUser.InstallMode == "AllUsers"
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\vellumix.exe"'
  ${Else}
    Exec '"$INSTDIR\vellumix.exe"'
  ${EndIf}
FunctionEnd

!define /IfNDef SYNCHRONIZE 0x00100000
!define /IfNDef WM_CLOSE 0x0010
!define /IfNDef WAIT_TIMEOUT 0x102

; The program holds the named mutex "Vellumix" while it runs. Asks the user
; first (a silent run does not ask), then asks its main window to close, as the
; user would, and waits until the program gives the mutex up; it is never
; killed. When it does not end, the user may retry or cancel; a silent run
; gives up (and the setup fails) after the first wait.
!macro CloseRunningCopyFunction PREFIX
Function ${PREFIX}CloseRunningCopy
  Push $0
  Push $1
  Push $2
  System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "Vellumix") p .r0'
  ${If} $0 P<> 0
    MessageBox MB_OKCANCEL|MB_ICONINFORMATION \
      "Vellumix is running. It will be closed to go on.$\n$\nClick OK to close it, or Cancel to stop." \
      /SD IDOK IDOK close
    System::Call 'kernel32::CloseHandle(p r0)'
    Abort "Vellumix is still running."
    close:
    ${Do}
      FindWindow $1 "TMainForm" "Vellumix"
      ${If} $1 <> 0
        System::Call 'user32::PostMessageW(p r1, i ${WM_CLOSE}, p 0, p 0)'
      ${EndIf}
      System::Call 'kernel32::WaitForSingleObject(p r0, i 20000) i .r2'
      ${If} $2 <> ${WAIT_TIMEOUT}
        ; Ours now (given up or abandoned): hand it straight back.
        System::Call 'kernel32::ReleaseMutex(p r0)'
        ${Break}
      ${EndIf}
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
        "Vellumix is still running. Please close it, then press Retry." /SD IDCANCEL IDRETRY retry
      System::Call 'kernel32::CloseHandle(p r0)'
      Abort "Vellumix is still running."
      retry:
    ${Loop}
    System::Call 'kernel32::CloseHandle(p r0)'
  ${EndIf}
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro CloseRunningCopyFunction ""
!insertmacro CloseRunningCopyFunction "un."

; ---- where a per-machine copy may go

; Administrators start a per-machine copy, so no standard user may be able to
; replace it: only Program Files gives every folder below it permissions that
; ensure that (a folder elsewhere, C:\Tools, is often writable by every user,
; and its owner could change whatever permissions Setup gave it). Per user,
; any folder will do. Sets $0 to 1 when the folder is allowed, else 0.
Function MachineFolderAllowed
  Push $1
  Push $2
  StrCpy $0 1
  ${If} $MultiUser.InstallMode == "AllUsers"
    GetFullPathName $1 "$INSTDIR\"
    StrLen $2 "$PROGRAMFILES64\"
    StrCpy $1 $1 $2
    ${If} $1 != "$PROGRAMFILES64\"  ; compared ignoring case
      StrCpy $0 0
    ${EndIf}
  ${EndIf}
  Pop $2
  Pop $1
FunctionEnd

!define MACHINE_FOLDER_TEXT "Vellumix for all users goes into a folder below $PROGRAMFILES64, \
where only administrators can change it.$\n$\nPlease choose a folder there, or go back and install \
for yourself only."

Function DirectoryLeave
  Call MachineFolderAllowed
  ${If} $0 = 0
    MessageBox MB_OK|MB_ICONEXCLAMATION "${MACHINE_FOLDER_TEXT}"
    Abort  ; stays on the page
  ${EndIf}
FunctionEnd

; ---- install

Function .onInit
  SetRegView 64  ; the uninstall entry and the saved mode in the 64-bit registry
  !insertmacro MULTIUSER_INIT
FunctionEnd

Section "Vellumix" SecProgram
  SectionIn RO
  ; A silent install chooses its folder with /D.
  Call MachineFolderAllowed
  ${If} $0 = 0
    MessageBox MB_OK|MB_ICONSTOP "${MACHINE_FOLDER_TEXT}" /SD IDOK
    Abort "Not installed: a folder outside $PROGRAMFILES64 for all users."
  ${EndIf}
  Call CloseRunningCopy
  !insertmacro InstallFiles
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; SetShellVarContext (set by the install mode) picks the Start menu of all
  ; users or of this one, and SHCTX the matching registry root.
  CreateShortcut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\vellumix.exe" "" "$INSTDIR\vellumix.exe" 0 \
    SW_SHOWNORMAL "" "Clear the traces of your work"

  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${APP}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vellumix.exe,0"
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallMode" "$MultiUser.InstallMode"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" \
    '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" \
    '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; ---- uninstall

Function un.onInit
  SetRegView 64
  !insertmacro MULTIUSER_UNINIT
FunctionEnd

Section "Uninstall"
  Call un.CloseRunningCopy
  ; Only the files the installer put there: the folder may hold the user's own.
  !insertmacro RemoveFiles
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${APP}.lnk"

  ; The start-with-Windows value, when it starts this copy (a portable copy
  ; elsewhere may have written it).
  ReadRegStr $0 HKCU "${RUN_KEY}" "Vellumix"
  ${UnStrStr} $1 $0 "$INSTDIR\vellumix.exe"
  ${If} $1 != ""
    DeleteRegValue HKCU "${RUN_KEY}" "Vellumix"
  ${EndIf}

  DeleteRegKey SHCTX "${UNINSTALL_KEY}"

  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
    "Remove your Vellumix settings as well?$\n$\nYour choice of items, the schedule and the window's place \
will be forgotten." \
    /SD IDNO IDNO KeepSettings
    DeleteRegKey HKCU "${SETTINGS_KEY}"
  KeepSettings:
SectionEnd
