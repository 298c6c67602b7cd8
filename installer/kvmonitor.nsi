; The monitor's installer: kvmonitor-setup.exe. Built by the Windows build with makensis (NSIS 3):
;
;   makensis -DVERSION=1.0.0.0 -DMONITOR=kvmonitor.exe -DKVSCAN=kvscan.exe -DICON=kvmonitor.ico
;            -DOUTFILE=kvmonitor-setup.exe kvmonitor.nsi
;
; Per-user by default, without administrator rights, into %LOCALAPPDATA%\Programs\Keyvane Pro Monitor;
; with /ALLUSERS, when run elevated, for every user into the program-files folder. It installs the monitor
; and kvscan, makes the monitor start at log-on (a Run value of the installing scope), registers an
; uninstall entry, and starts the monitor unless it runs silently (/S). The uninstaller ends a running
; monitor first and removes exactly what the installer made: the files, the Run value, the uninstall entry.
; The monitor's own settings (the full cleaner's) are left alone.

!ifndef VERSION | MONITOR | KVSCAN | ICON | OUTFILE
  !error "VERSION, MONITOR, KVSCAN, ICON and OUTFILE must be defined (-D...)"
!endif

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include LogicLib.nsh
!include FileFunc.nsh

!define PRODUCT "Keyvane Pro Monitor"
!define PUBLISHER "Tamberlyn"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "${PRODUCT}"
!define UNINSTALLER "uninstall.exe"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
ShowInstDetails nevershow
ShowUninstDetails nevershow
AutoCloseWindow true

VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (C) ${PUBLISHER}"

Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Var AllUsers  ; 1: installed for every user (HKLM, program files); 0: for the current user (HKCU)

; Asks every running monitor to end ("KVMustDie", as the full cleaner does), then waits, at most ten
; seconds, until none is left: neither its window nor its single-instance mutex.
!macro EndRunningMonitors un
Function ${un}EndRunningMonitors
  Push $0
  Push $1
  Push $2
  System::Call 'user32::RegisterWindowMessageW(w "KVMustDie") i .r0'
  StrCpy $2 0
  ${Do}
    FindWindow $1 "TfmMain"
    ${If} $1 == 0
      System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "KVMonitoring") p .r1'
      ${If} $1 == 0
        ${Break}
      ${EndIf}
      System::Call 'kernel32::CloseHandle(p r1)'
    ${ElseIf} $0 <> 0
      System::Call 'user32::PostMessageW(p r1, i r0, p 0, p 0)'
    ${EndIf}
    ${If} $2 >= 100
      ${Break}
    ${EndIf}
    IntOp $2 $2 + 1
    Sleep 100
  ${Loop}
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro EndRunningMonitors ""
!insertmacro EndRunningMonitors "un."

Function .onInit
  StrCpy $AllUsers 0
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/ALLUSERS" $1
  ${IfNot} ${Errors}
    UserInfo::GetAccountType
    Pop $1
    ${If} $1 != "Admin"
      MessageBox MB_OK|MB_ICONSTOP "Installing for all users needs administrator rights." /SD IDOK
      SetErrorLevel 740  ; ERROR_ELEVATION_REQUIRED
      Quit
    ${EndIf}
    StrCpy $AllUsers 1
  ${EndIf}
  ${If} $AllUsers = 1
    ; A folder given with /D= stays as given (compared while the shell folders are still the user's).
    ${If} $INSTDIR == "$LOCALAPPDATA\Programs\${PRODUCT}"
      StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
    ${EndIf}
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
FunctionEnd

Section "Install"
  ; An older monitor still running would hold its program open.
  Call EndRunningMonitors
  SetOutPath "$INSTDIR"
  File "/oname=kvmonitor.exe" "${MONITOR}"
  File "/oname=kvscan.exe" "${KVSCAN}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  ; The monitor starts at log-on: one value, the same name for every version, so that an upgrade
  ; replaces it.
  ${If} $AllUsers = 1
    SetShellVarContext all
    WriteRegStr HKLM "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\kvmonitor.exe"'
  ${Else}
    WriteRegStr HKCU "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\kvmonitor.exe"'
  ${EndIf}

  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  ; The registry root cannot be a variable: the same values, written to one root or the other.
  !macro WriteUninstallEntry ROOT
    WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kvmonitor.exe,0"
    WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    WriteRegDWORD ${ROOT} "${UNINSTALL_KEY}" "EstimatedSize" $0
    WriteRegDWORD ${ROOT} "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD ${ROOT} "${UNINSTALL_KEY}" "NoRepair" 1
  !macroend
  ${If} $AllUsers = 1
    !insertmacro WriteUninstallEntry HKLM
  ${Else}
    !insertmacro WriteUninstallEntry HKCU
  ${EndIf}

  ${IfNot} ${Silent}
    Exec '"$INSTDIR\kvmonitor.exe"'
  ${EndIf}
SectionEnd

; The uninstaller belongs to the scope whose uninstall entry names its folder.
Function un.onInit
  StrCpy $AllUsers 0
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} $0 == $INSTDIR
    ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $1 != $INSTDIR
      StrCpy $AllUsers 1
    ${EndIf}
  ${EndIf}
  ${If} $AllUsers = 1
    UserInfo::GetAccountType
    Pop $1
    ${If} $1 != "Admin"
      MessageBox MB_OK|MB_ICONSTOP "Removing ${PRODUCT} for all users needs administrator rights." /SD IDOK
      SetErrorLevel 740
      Quit
    ${EndIf}
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Call un.EndRunningMonitors
  Delete "$INSTDIR\kvmonitor.exe"
  Delete "$INSTDIR\kvscan.exe"
  Delete "$INSTDIR\${UNINSTALLER}"
  ; Only an empty folder goes: anything the user put there stays.
  RMDir "$INSTDIR"
  ${If} $AllUsers = 1
    DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ${Else}
    DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ${EndIf}
SectionEnd
