; The Nimbrel installer: per user, no administrator rights. Built by make dist
; (cmake/MakeDist.cmake), which passes VERSION (as in the programs), VERSION4
; (four numbers), STAGE (the folder of the zip's files), ICON and OUTFILE.
;
; What it writes, and all the uninstaller removes again:
;   %LOCALAPPDATA%\Programs\Nimbrel (or the folder chosen, /D=)
;   the Start-menu entry Nimbrel
;   HKCU ...\Run "Nimbrel.exe" (the band's own Autostart value) and "Nimbrel Publisher"
;   HKCU ...\Uninstall\Nimbrel (Settings > Apps)
; The band's settings (HKCU\Software\Nimbrel) and the publisher's log
; (%LOCALAPPDATA%\Nimbrel) are the programs' own; only the uninstaller removes them.

Unicode true
Target amd64-unicode
RequestExecutionLevel user
SetCompressor /SOLID lzma
ManifestDPIAware true

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

!define APP "Nimbrel"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Nimbrel"
; The band's Run value is the one its Autostart menu item writes and reads:
; the full path in double quotes, no arguments.
!define BAND_RUN_VALUE "Nimbrel.exe"
; The publisher's is the one its --autostart on writes: the quoted path of the
; windowless publisher, and no options, which is the automatic source.
!define PUBLISHER_RUN_VALUE "Nimbrel Publisher"
; The band's window: a dialog titled Nimbrel, a child of the taskbar.
!define BAND_WINDOW_CLASS "#32770"
!define BAND_WINDOW_TITLE "Nimbrel"
!define CLOSE_WAIT_MS 10000
!define PROCESS_SYNCHRONIZE 0x00100000

Name "${APP}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${APP}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
Icon "${ICON}"
UninstallIcon "${ICON}"
BrandingText "${APP} ${VERSION}"

VIProductVersion "${VERSION4}"
VIFileVersion "${VERSION4}"
VIAddVersionKey "ProductName" "${APP}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${APP} setup"
VIAddVersionKey "CompanyName" "The Nimbrel authors"
VIAddVersionKey "LegalCopyright" "MIT License, the Nimbrel authors"

Var WasRunning

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start Nimbrel now"
!define MUI_FINISHPAGE_RUN_FUNCTION StartBoth
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README.txt"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Show the user guide"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Ends a running band the way its menu's Close does, so that it saves its
; place first, and waits until its process has ended. Sets $0 to 1 when
; there was one.
!macro CLOSE_BAND UN
Function ${UN}CloseBand
  Push $1
  Push $2
  Push $3
  StrCpy $0 0
  FindWindow $1 "Shell_TrayWnd"
  ${If} $1 <> 0
    FindWindow $2 "${BAND_WINDOW_CLASS}" "${BAND_WINDOW_TITLE}" $1
  ${Else}
    StrCpy $2 0
  ${EndIf}
  ${If} $2 = 0
    ; Not docked (no taskbar when it started): a top-level window.
    FindWindow $2 "${BAND_WINDOW_CLASS}" "${BAND_WINDOW_TITLE}"
  ${EndIf}
  ${If} $2 <> 0
    StrCpy $0 1
    System::Call 'user32::GetWindowThreadProcessId(p r2, *i .r3)'
    System::Call 'kernel32::OpenProcess(i ${PROCESS_SYNCHRONIZE}, i 0, i r3) p .r3'
    System::Call 'user32::PostMessageW(p r2, i ${WM_CLOSE}, p 0, p 0)'
    ${If} $3 != 0
      System::Call 'kernel32::WaitForSingleObject(p r3, i ${CLOSE_WAIT_MS})'
      System::Call 'kernel32::CloseHandle(p r3)'
    ${EndIf}
  ${EndIf}
  Pop $3
  Pop $2
  Pop $1
FunctionEnd
!macroend
!insertmacro CLOSE_BAND ""
!insertmacro CLOSE_BAND "un."

Function StartBoth
  Exec '"$INSTDIR\nimbrel-publisherw.exe"'
  Exec '"$INSTDIR\Nimbrel.exe"'
FunctionEnd

Section "Nimbrel"
  SetShellVarContext current
  StrCpy $WasRunning 0

  ; Whichever publisher runs, wherever it was started from, this one stops
  ; it: --stop reaches it by its names.
  InitPluginsDir
  SetOutPath "$PLUGINSDIR"
  File "${STAGE}\nimbrel-publisher.exe"
  nsExec::Exec '"$PLUGINSDIR\nimbrel-publisher.exe" --stop'
  Pop $0
  ${If} $0 == 0
    StrCpy $WasRunning 1
  ${EndIf}
  Call CloseBand
  ${If} $0 = 1
    StrCpy $WasRunning 1
  ${EndIf}

  SetOutPath "$INSTDIR"
  SetOverwrite on
  File "${STAGE}\Nimbrel.exe"
  File "${STAGE}\nimbrel-publisher.exe"
  File "${STAGE}\nimbrel-publisherw.exe"
  File "${STAGE}\README.txt"
  File "${STAGE}\LICENSE.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\Nimbrel.exe" "" "$INSTDIR\Nimbrel.exe" 0 \
    SW_SHOWNORMAL "" "Shows the internet traffic in the taskbar"

  WriteRegStr HKCU "${RUN_KEY}" "${BAND_RUN_VALUE}" '"$INSTDIR\Nimbrel.exe"'
  WriteRegStr HKCU "${RUN_KEY}" "${PUBLISHER_RUN_VALUE}" '"$INSTDIR\nimbrel-publisherw.exe"'

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${APP}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "The Nimbrel authors"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Nimbrel.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"

  ; A silent install, and an upgrade of a running Nimbrel, start both; an
  ; interactive one offers to on its last page.
  ${If} ${Silent}
  ${OrIf} $WasRunning = 1
    Call StartBoth
  ${EndIf}
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  ${If} ${FileExists} "$INSTDIR\nimbrel-publisher.exe"
    nsExec::Exec '"$INSTDIR\nimbrel-publisher.exe" --stop'
    Pop $0
  ${EndIf}
  Call un.CloseBand

  Delete "$INSTDIR\Nimbrel.exe"
  Delete "$INSTDIR\nimbrel-publisher.exe"
  Delete "$INSTDIR\nimbrel-publisherw.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${APP}.lnk"

  DeleteRegValue HKCU "${RUN_KEY}" "${BAND_RUN_VALUE}"
  DeleteRegValue HKCU "${RUN_KEY}" "${PUBLISHER_RUN_VALUE}"
  DeleteRegKey HKCU "Software\Nimbrel"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  RMDir /r "$LOCALAPPDATA\Nimbrel"
SectionEnd
