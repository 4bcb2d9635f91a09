; vantro-setup.exe: puts vantro.exe into Program Files, registers the kivra
; links the way the launcher registers them itself, so a link works before the
; launcher was ever started, and leaves an uninstaller that takes it all away.
;
; Built by the CMake target "installer", which passes VANTRO_VERSION (from
; project(VERSION)), VANTRO_TARGET (x86-unicode or amd64-unicode, the width
; of the build), VANTRO_EXE, VANTRO_ICON and VANTRO_OUTFILE, and for a signed
; setup VANTRO_SIGN, the program that signs the file it is given in place.

Target ${VANTRO_TARGET}
SetCompressor /SOLID lzma
; The launcher's manifest asks for administrator rights too: HKCR and
; Program Files are written for every user.
RequestExecutionLevel admin
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include WinMessages.nsh

!define PRODUCT "Vantro"
!define PUBLISHER "Vantro"
!define EXE_NAME "vantro.exe"
!define UNINSTALLER "uninstall.exe"
!define SETTINGS "setting.ini"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define SCHEME "kivra"
; The launcher's own window classes: its main window and its hidden
; application window.
!define MAIN_WINDOW_CLASS "TForm1"
!define APPLICATION_WINDOW_CLASS "TApplication"
; How long a running launcher is given to end after it was asked to close.
!define CLOSE_WAIT_MS 10000
!define SEND_TIMEOUT_MS 5000
; OpenProcess rights: SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION.
!define PROCESS_WAIT_AND_NAME 0x00101000
!define WAIT_OBJECT_0 0
; Exit codes beyond NSIS's own 1 (cancelled) and 2 (aborted), for silent
; runs; 3 also for a folder the ANSI code page cannot spell.
!define EXIT_TARGET_NOT_WRITABLE 3
!define EXIT_LAUNCHER_RUNNING 4

Name "${PRODUCT}"
OutFile "${VANTRO_OUTFILE}"
!ifdef VANTRO_SIGN
  ; The uninstaller is signed before the setup packs it, the setup once it
  ; is written; a failed signing fails the build.
  !uninstfinalize '"${VANTRO_SIGN}" "%1"' = 0
  !finalize '"${VANTRO_SIGN}" "%1"' = 0
!endif
BrandingText "${PRODUCT} ${VANTRO_VERSION}"
!if "${VANTRO_TARGET}" == "amd64-unicode"
  InstallDir "$PROGRAMFILES64\${PRODUCT}"
!else
  InstallDir "$PROGRAMFILES\${PRODUCT}"
!endif
; An upgrade goes where the last install went.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"

!define MUI_ICON "${VANTRO_ICON}"
!define MUI_UNICON "${VANTRO_ICON}"
!define MUI_ABORTWARNING
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE LeaveDirectoryPage
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

VIProductVersion "${VANTRO_VERSION}"
VIFileVersion "${VANTRO_VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileDescription" "${PRODUCT} 安装程序"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileVersion" "${VANTRO_VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductVersion" "${VANTRO_VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "LegalCopyright" ""

LangString NotWritable ${LANG_SIMPCHINESE} "无法写入目标文件夹：$\r$\n$INSTDIR$\r$\n请选择其他文件夹。"
LangString NotAnsi ${LANG_SIMPCHINESE} "目标文件夹的路径中含有本系统代码页无法表示的字符：$\r$\n$INSTDIR$\r$\nVantro 在这里无法读取自己的设置文件。请选择其他文件夹。"
LangString StillRunning ${LANG_SIMPCHINESE} "Vantro 正在运行，无法替换 ${EXE_NAME}。$\r$\n请先关闭 Vantro，然后点击“重试”。"

; ${un}CloseRunningLauncher: asks every launcher started from $INSTDIR to
; close and waits for it to end; one that stays is the user's to close, and
; without a user (silent mode) the run ends with EXIT_LAUNCHER_RUNNING.
!macro CLOSE_RUNNING_LAUNCHER un
Function ${un}CloseRunningLauncher
  Push $0
  Push $1
  Push $2
  Push $3
  StrCpy $0 0
  ${Do}
    FindWindow $0 "${MAIN_WINDOW_CLASS}" "" 0 $0
    ${If} $0 == 0
      ${Break}
    ${EndIf}
    ; Other programs name their windows TForm1 as well: only ours is closed.
    System::Call 'user32::GetWindowThreadProcessId(p r0, *i 0 r1)'
    System::Call 'kernel32::OpenProcess(i ${PROCESS_WAIT_AND_NAME}, i 0, i r1) p .r1'
    ${If} $1 P<> 0
      StrCpy $2 ""
      System::Call 'kernel32::QueryFullProcessImageNameW(p r1, i 0, w .r2, *i ${NSIS_MAX_STRLEN})'
      ${If} $2 == "$INSTDIR\${EXE_NAME}"
        SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=${SEND_TIMEOUT_MS}
        System::Call 'kernel32::WaitForSingleObject(p r1, i ${CLOSE_WAIT_MS}) i .r3'
        ${If} $3 != ${WAIT_OBJECT_0}
          MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(StillRunning)" /SD IDCANCEL IDRETRY retry
          SetErrorLevel ${EXIT_LAUNCHER_RUNNING}
          Quit
          retry:
        ${EndIf}
        ; Start over: the window list changed, and a retry looks again.
        StrCpy $0 0
      ${EndIf}
      System::Call 'kernel32::CloseHandle(p r1)'
    ${EndIf}
  ${Loop}
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro CLOSE_RUNNING_LAUNCHER ""
!insertmacro CLOSE_RUNNING_LAUNCHER "un."

; TargetWritable: pushes 1 when a file can be made in $INSTDIR, else 0; a
; folder made only to find out goes again.
Function TargetWritable
  Push $0
  Push $1
  StrCpy $1 0
  ${IfNot} ${FileExists} "$INSTDIR\*.*"
    StrCpy $1 1
  ${EndIf}
  ClearErrors
  CreateDirectory "$INSTDIR"
  FileOpen $0 "$INSTDIR\${EXE_NAME}.probe" w
  ${If} ${Errors}
    StrCpy $0 0
  ${Else}
    FileClose $0
    Delete "$INSTDIR\${EXE_NAME}.probe"
    StrCpy $0 1
  ${EndIf}
  ${If} $1 == 1
    RMDir "$INSTDIR"
  ${EndIf}
  Pop $1
  Exch $0
FunctionEnd

; TargetSpelledInAnsi: pushes 1 when the ANSI code page spells $INSTDIR,
; else 0. The launcher finds setting.ini through its own path in ANSI
; (GetModuleFileNameA), which gives "?" for what the code page cannot spell.
!define WC_NO_BEST_FIT_CHARS 0x400
Function TargetSpelledInAnsi
  Push $0
  Push $1
  System::Call 'kernel32::WideCharToMultiByte(i 0, i ${WC_NO_BEST_FIT_CHARS}, w "$INSTDIR", i -1, m .r0, i ${NSIS_MAX_STRLEN}, i 0, *i 0 r1)'
  ${If} $1 == 0
    StrCpy $0 1
  ${Else}
    StrCpy $0 0
  ${EndIf}
  Pop $1
  Exch $0
FunctionEnd

Function LeaveDirectoryPage
  Call TargetSpelledInAnsi
  Pop $0
  ${If} $0 == 0
    MessageBox MB_OK|MB_ICONSTOP "$(NotAnsi)"
    Abort
  ${EndIf}
  Call TargetWritable
  Pop $0
  ${If} $0 == 0
    MessageBox MB_OK|MB_ICONSTOP "$(NotWritable)"
    Abort
  ${EndIf}
FunctionEnd

Section "Vantro" SectionMain
  ; Silent runs skip the directory page and its checks.
  Call TargetSpelledInAnsi
  Pop $0
  ${If} $0 == 0
    MessageBox MB_OK|MB_ICONSTOP "$(NotAnsi)" /SD IDOK
    SetErrorLevel ${EXIT_TARGET_NOT_WRITABLE}
    Quit
  ${EndIf}
  Call TargetWritable
  Pop $0
  ${If} $0 == 0
    MessageBox MB_OK|MB_ICONSTOP "$(NotWritable)" /SD IDOK
    SetErrorLevel ${EXIT_TARGET_NOT_WRITABLE}
    Quit
  ${EndIf}
  Call CloseRunningLauncher

  SetOutPath "$INSTDIR"
  ; setting.ini, the user's game folder, is never written here: an upgrade keeps it.
  File "/oname=${EXE_NAME}" "${VANTRO_EXE}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  ; The values the launcher writes at its first start, byte for byte, so it
  ; finds its registration current.
  WriteRegStr HKCR "${SCHEME}" "" "${SCHEME}Protocol"
  WriteRegStr HKCR "${SCHEME}" "URL Protocol" "$INSTDIR\${EXE_NAME}"
  WriteRegStr HKCR "${SCHEME}\DefaultIcon" "" "$INSTDIR\${EXE_NAME},1"
  WriteRegStr HKCR "${SCHEME}\shell\open\command" "" '"$INSTDIR\${EXE_NAME}" "%1"'

  SetShellVarContext all
  CreateShortcut "${SHORTCUT}" "$INSTDIR\${EXE_NAME}"

  SectionGetSize ${SectionMain} $0
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VANTRO_VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE_NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  Call un.CloseRunningLauncher
  Delete "$INSTDIR\${EXE_NAME}"
  Delete "$INSTDIR\${SETTINGS}"
  Delete "$INSTDIR\${UNINSTALLER}"
  ; Only an empty folder goes: whatever the user put there stays.
  RMDir "$INSTDIR"

  ; The kivra links may belong to another program by now: they go only
  ; while their open command is still the one this install wrote.
  ReadRegStr $0 HKCR "${SCHEME}\shell\open\command" ""
  ${If} $0 == '"$INSTDIR\${EXE_NAME}" "%1"'
    DeleteRegKey HKCR "${SCHEME}"
  ${EndIf}

  SetShellVarContext all
  Delete "${SHORTCUT}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
