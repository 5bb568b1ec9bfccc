; The setup program of Lumar, a 64-bit installer (lumar.scr is a 64-bit program, and a 64-bit installer
; sees the real system folder, with no 32-bit file-system redirection in the way).
; It installs lumar.scr into the system folder, where the Screen Saver Settings list looks, can make it
; the current screen saver, and registers an uninstaller in Apps / Programs and Features.
; scripts/package runs it:
;   makensis -DVERSION=1.0.0 -DSCR=lumar.scr -DREADME=README.txt -DLICENSE=LICENSE.txt
;            -DNOTICES=THIRD-PARTY-NOTICES.txt -DGUIDE=lumar-guide.html -DICON=lumar.ico
;            -DOUTFILE=setup.exe lumar.nsi
;
; Command line of the setup program:  /S silent; /CURRENT with /S also makes Lumar the current saver
; Command line of the uninstaller:    /S silent; /REMOVESETTINGS also removes the user's settings.
;   "<folder>\uninstall.exe" /S _?=<folder> (the entry's QuietUninstallString) runs in place: it waits
;   until the uninstall is done and returns its exit code.
; Exit codes of both: 0 done; 1 cancelled; 2 failed; 740 no administrator rights; 1638 (setup only) a
; newer version is installed; 3010 (uninstaller only) done, a restart removes a lumar.scr still in use.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

; Signing (scripts/package with a certificate): SIGN names a command that signs the file it is given in
; place; the uninstaller is signed before it is packed, the setup once it is written.
!ifdef SIGN
  !uninstfinalize '"${SIGN}" "%1"' = 0
  !finalize '"${SIGN}" "%1"' = 0
!endif

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include Sections.nsh
!include WordFunc.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumar"
!define SETTINGS_KEY "Software\Korvan\Lumar"
!define DESKTOP_KEY "Control Panel\Desktop"
!define SAVER "$SYSDIR\lumar.scr"
; A lumar.scr that a running saver or preview holds is renamed to lumar-<n>.old (never *.scr, which the
; Screen Saver Settings would list) and removed by a later setup or uninstall.
!define ASIDE_PREFIX "$SYSDIR\lumar-"
!define EXIT_NOT_ADMIN 740
!define EXIT_NEWER_INSTALLED 1638
!define EXIT_RESTART_NEEDED 3010
!define SPI_SETSCREENSAVEACTIVE 17
!define SPIF_UPDATE_AND_SEND 3  ; SPIF_UPDATEINIFILE | SPIF_SENDCHANGE

Name "Lumar"
Caption "Lumar ${VERSION} Setup"
BrandingText "Lumar ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Lumar"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Lumar"
VIAddVersionKey "CompanyName" "Korvan"
VIAddVersionKey "FileDescription" "Lumar ${VERSION} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (c) the Lumar developers, MIT licence"

Var OtherAccount      ; 1 when this setup runs as another account than the session's signed-in user
Var OtherAccountWhy   ; the line that says so
Var FinishText

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!define MUI_PAGE_CUSTOMFUNCTION_SHOW ComponentsShow
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "$FinishText"
!define MUI_FINISHPAGE_RUN "$SYSDIR\control.exe"
!define MUI_FINISHPAGE_RUN_PARAMETERS "desk.cpl,,@screensaver"
!define MUI_FINISHPAGE_RUN_TEXT "Open the Screen Saver Settings"
!define MUI_FINISHPAGE_RUN_NOTCHECKED
!define MUI_PAGE_CUSTOMFUNCTION_SHOW FinishShow
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!define MUI_PAGE_CUSTOMFUNCTION_SHOW un.ComponentsShow
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_UNPAGE_FINISH

!insertmacro MUI_LANGUAGE "English"

; --- Functions of both the setup and the uninstaller ------------------------------------------------

!macro LUMAR_SHARED_FUNCTIONS un
; Stops with a clear message when the process has no administrator rights (a standard user with UAC
; off gets no elevation prompt, and every write into the system folder would fail).
Function ${un}RequireAdministrator
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_ICONSTOP|MB_OK "Lumar's setup needs administrator rights: it writes into the Windows system folder.$\r$\n$\r$\nRun it again as an administrator (right-click it, then Run as administrator)." /SD IDOK
    SetErrorLevel ${EXIT_NOT_ADMIN}
    Quit
  ${EndIf}
FunctionEnd

; Sets $OtherAccount and $OtherAccountWhy: is this process another account than the user signed in to
; its session (an administrator's credentials given at the elevation prompt, or SYSTEM under a management
; tool)? Then HKCU is that account's, not the user's. Where the session's user cannot be found, the
; accounts count as the same, except for SYSTEM.
Function ${un}DetectOtherAccount
  StrCpy $OtherAccount 0
  StrCpy $OtherAccountWhy ""
  StrCpy $1 ""
  System::Call 'advapi32::GetUserNameW(w .r1, *i ${NSIS_MAX_STRLEN}) i .r0'
  StrCpy $2 "?"
  ; WTS_CURRENT_SESSION (-1), WTSUserName (5)
  System::Call 'wtsapi32::WTSQuerySessionInformationW(p 0, i -1, i 5, *p .r3, *i .r4) i .r0'
  ${If} $0 <> 0
    System::Call 'kernel32::lstrcpynW(w .r2, p r3, i ${NSIS_MAX_STRLEN})'
    System::Call 'wtsapi32::WTSFreeMemory(p r3)'
  ${EndIf}
  !ifdef TEST_SESSION_USER
    StrCpy $2 "${TEST_SESSION_USER}"  ; a test build only: as if this user had signed in to the session
  !endif
  ${If} $1 == "SYSTEM"
    StrCpy $OtherAccount 1
    StrCpy $OtherAccountWhy "This setup runs as the system account, not as a signed-in user, so it cannot make Lumar the current screen saver of any user: each user makes it current in the Screen Saver Settings."
  ${ElseIf} $2 != "?"
  ${AndIf} $2 != $1
    StrCpy $OtherAccount 1
    ${If} $2 == ""
      StrCpy $2 "nobody"
    ${EndIf}
    StrCpy $OtherAccountWhy "This setup runs as $1, while $2 is signed in, so it cannot make Lumar the current screen saver for $2: $2 makes it current in the Screen Saver Settings."
  ${EndIf}
FunctionEnd

; $0 = 1 when the current screen saver is a lumar.scr: SCRNSAVE.EXE compared by its file name after
; its environment strings are expanded (a full, short or %SystemRoot% path, or the bare name).
Function ${un}IsLumarCurrent
  ReadRegStr $1 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ExpandEnvStrings $1 $1
  ${GetFileName} $1 $2
  StrCpy $0 0
  ${If} $2 == "lumar.scr"
    StrCpy $0 1
  ${EndIf}
FunctionEnd

; $0 = a free aside name for a held lumar.scr: lumar-1.old, lumar-2.old... (an earlier one may still
; be held by a saver that runs on).
Function ${un}FreeAsideName
  StrCpy $1 1
  ${Do}
    StrCpy $0 "${ASIDE_PREFIX}$1.old"
    ${IfNot} ${FileExists} $0
      ${Break}
    ${EndIf}
    IntOp $1 $1 + 1
  ${Loop}
FunctionEnd

; Removes the aside files of earlier runs (and lumar.scr.old of version 1.0.0) that are free now.
Function ${un}RemoveStaleAsideFiles
  Delete "${SAVER}.old"
  FindFirst $0 $1 "${ASIDE_PREFIX}*.old"
  ${DoWhile} $1 != ""
    Delete "$SYSDIR\$1"
    FindNext $0 $1
  ${Loop}
  FindClose $0
FunctionEnd
!macroend
!insertmacro LUMAR_SHARED_FUNCTIONS ""
!insertmacro LUMAR_SHARED_FUNCTIONS "un."

; --- The setup ---------------------------------------------------------------------------------------

Section "Lumar screen saver" SectionSaver
  SectionIn RO
  Call RemoveStaleAsideFiles
  ; A saver or preview that runs holds the old file: it cannot be deleted, but it can be renamed. The
  ; aside file is removed by the next setup or uninstall; no restart is needed for it.
  ${If} ${FileExists} "${SAVER}"
    ClearErrors
    Delete "${SAVER}"
    ${If} ${Errors}
      Call FreeAsideName
      Rename "${SAVER}" $0
      DetailPrint "lumar.scr is in use: the running copy was moved aside to $0"
    ${EndIf}
  ${EndIf}
  SetOutPath "$SYSDIR"
  File "/oname=lumar.scr" "${SCR}"

  SetOutPath "$INSTDIR"
  File "/oname=README.txt" "${README}"
  File "/oname=LICENSE.txt" "${LICENSE}"
  File "/oname=THIRD-PARTY-NOTICES.txt" "${NOTICES}"
  ; The user's guide, which the configuration dialog's link button finds through InstallLocation.
  File "/oname=lumar-guide.html" "${GUIDE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The entry in Apps / Programs and Features. An install over an older version rewrites it.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Lumar screen saver"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Korvan"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "${SAVER},0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S _?=$INSTDIR'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize ${SectionSaver} $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Make Lumar the current screen saver" SectionCurrent
  ${If} $OtherAccount == 1
    DetailPrint "$OtherAccountWhy"
    Return
  ${EndIf}
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "${SAVER}"
  ; Switches the saver on now (it also writes ScreenSaveActive and tells running programs).
  System::Call 'user32::SystemParametersInfoW(i ${SPI_SETSCREENSAVEACTIVE}, i 1, p 0, i ${SPIF_UPDATE_AND_SEND})'
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:${DESKTOP_KEY}" /TIMEOUT=2000
SectionEnd

Function .onInit
  SetRegView 64
  Call RequireAdministrator

  ; Versions: a newer one installed is never replaced by this older setup; the same version reinstalls.
  ReadRegStr $3 HKLM "${UNINSTALL_KEY}" "DisplayVersion"
  ${If} $3 != ""
    ${VersionCompare} $3 "${VERSION}" $0
    ${If} $0 == 1
      MessageBox MB_ICONSTOP|MB_OK "Lumar $3 is installed, a newer version than this setup's ${VERSION}.$\r$\n$\r$\nTo go back to ${VERSION}, uninstall Lumar first (Apps, or Programs and Features), then run this setup again." /SD IDOK
      SetErrorLevel ${EXIT_NEWER_INSTALLED}
      Quit
    ${EndIf}
    ; An upgrade or reinstall keeps the user's choice: ticked only while Lumar is the current saver.
    Call IsLumarCurrent
    ${If} $0 != 1
      !insertmacro UnselectSection ${SectionCurrent}
    ${EndIf}
  ${EndIf}

  ; A silent install changes the current saver only when asked to.
  ${If} ${Silent}
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/CURRENT" $1
    ${If} ${Errors}
      !insertmacro UnselectSection ${SectionCurrent}
    ${Else}
      !insertmacro SelectSection ${SectionCurrent}
    ${EndIf}
  ${EndIf}

  StrCpy $FinishText "Lumar ${VERSION} has been installed on your computer.$\r$\n$\r$\nClick Finish to close this wizard."
  Call DetectOtherAccount
  ${If} $OtherAccount == 1
    ; HKCU here is another account's: neither change the current saver nor open its settings there.
    !insertmacro UnselectSection ${SectionCurrent}
    !insertmacro SetSectionFlag ${SectionCurrent} ${SF_RO}
    StrCpy $FinishText "Lumar ${VERSION} has been installed on your computer.$\r$\n$\r$\n$OtherAccountWhy"
  ${EndIf}
FunctionEnd

; The components page says why "make current" is not offered.
Function ComponentsShow
  ${If} $OtherAccount == 1
    FindWindow $0 "#32770" "" $HWNDPARENT
    GetDlgItem $1 $0 1006
    SendMessage $1 ${WM_SETTEXT} 0 "STR:$OtherAccountWhy"
  ${EndIf}
FunctionEnd

Function FinishShow
  ${If} $OtherAccount == 1
    SendMessage $mui.FinishPage.Run ${BM_SETCHECK} ${BST_UNCHECKED} 0
    EnableWindow $mui.FinishPage.Run 0
  ${EndIf}
FunctionEnd

; The setup itself never needs a restart (a held lumar.scr moves aside); 3010 would say otherwise.
Function .onInstSuccess
  ${If} ${RebootFlag}
    SetErrorLevel ${EXIT_RESTART_NEEDED}
  ${EndIf}
FunctionEnd

; --- The uninstaller ---------------------------------------------------------------------------------

Section "un.Lumar screen saver" SectionUninstallSaver
  SectionIn RO
  ; The current screen saver is cleared, and switched off, only when it is a lumar.scr.
  Call un.IsLumarCurrent
  ${If} $0 == 1
    DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    System::Call 'user32::SystemParametersInfoW(i ${SPI_SETSCREENSAVEACTIVE}, i 0, p 0, i ${SPIF_UPDATE_AND_SEND})'
  ${EndIf}

  Call un.RemoveStaleAsideFiles
  ; A running saver or preview holds lumar.scr: it moves aside under a name of its own, and only that
  ; name is removed at the next restart, so that a new install in the meantime is not deleted with it.
  ClearErrors
  Delete "${SAVER}"
  ${If} ${Errors}
  ${AndIf} ${FileExists} "${SAVER}"
    Call un.FreeAsideName
    Rename "${SAVER}" $0
    Delete /REBOOTOK $0
    DetailPrint "lumar.scr is in use: it will be removed when Windows restarts"
  ${EndIf}
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\THIRD-PARTY-NOTICES.txt"
  Delete "$INSTDIR\lumar-guide.html"
  Delete "$INSTDIR\uninstall.exe"
  ; Run in place (_?=, the quiet uninstall that waits), this uninstaller holds its own file. A copy of it
  ; in the temporary folder waits for this process to end, then removes the file and the folder.
  ${If} ${FileExists} "$INSTDIR\uninstall.exe"
    System::Call 'kernel32::GetCurrentProcessId() i .r1'
    StrCpy $0 "$TEMP\Lumar cleanup $1.exe"
    CopyFiles /SILENT "$EXEPATH" $0
    Exec '"$0" /S /CLEANUP=$1 _?=$INSTDIR'
  ${EndIf}
  RMDir "$INSTDIR"
SectionEnd

; The copy that removes an in-place uninstaller: waits (at most a minute) for process $0 to end; unless a
; new install has come since (its entry is back), removes uninstall.exe and the folder; this copy itself
; goes at the next restart.
Function un.CleanUpAfter
  System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r0) p .r1'  ; SYNCHRONIZE
  ${If} $1 P<> 0
    System::Call 'kernel32::WaitForSingleObject(p r1, i 60000)'
    System::Call 'kernel32::CloseHandle(p r1)'
  ${EndIf}
  ClearErrors
  ReadRegStr $2 HKLM "${UNINSTALL_KEY}" "DisplayName"
  ${If} ${Errors}
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
  ${EndIf}
  System::Call 'kernel32::MoveFileExW(w "$EXEPATH", p 0, i 4)'  ; MOVEFILE_DELAY_UNTIL_REBOOT, no restart asked
FunctionEnd

; Off unless ticked, or /REMOVESETTINGS on the command line.
Section /o "un.Remove my Lumar settings" SectionUninstallSettings
  ${If} $OtherAccount == 1
    DetailPrint "The settings are kept: this uninstaller runs as another account than the signed-in user."
    Return
  ${EndIf}
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Korvan"
SectionEnd

; The entry in Apps goes last: when it is gone, the uninstaller has done everything else.
Section "-un.Entry"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

Function un.onInit
  SetRegView 64
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/CLEANUP=" $1
  ${IfNot} ${Errors}
    StrCpy $0 $1
    Call un.CleanUpAfter
    SetErrorLevel 0
    Quit
  ${EndIf}
  Call un.RequireAdministrator
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVESETTINGS" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SectionUninstallSettings}
  ${EndIf}
  Call un.DetectOtherAccount
  ${If} $OtherAccount == 1
    !insertmacro UnselectSection ${SectionUninstallSettings}
    !insertmacro SetSectionFlag ${SectionUninstallSettings} ${SF_RO}
  ${EndIf}
FunctionEnd

Function un.ComponentsShow
  ${If} $OtherAccount == 1
    FindWindow $0 "#32770" "" $HWNDPARENT
    GetDlgItem $1 $0 1006
    SendMessage $1 ${WM_SETTEXT} 0 "STR:This uninstaller runs as another account than the signed-in user: it cannot remove that user's settings, which stay until the user removes them."
  ${EndIf}
FunctionEnd

; A restart finishes the removal of a lumar.scr that was in use (the finish page offers it).
Function un.onUninstSuccess
  ${If} ${RebootFlag}
    SetErrorLevel ${EXIT_RESTART_NEEDED}
  ${EndIf}
FunctionEnd
