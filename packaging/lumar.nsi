; The setup program of Lumar, a 64-bit installer (lumar.scr is a 64-bit program, and a 64-bit installer
; sees the real system folder, with no 32-bit file-system redirection in the way).
; It installs lumar.scr into the system folder, where the Screen Saver Settings list looks, can make it
; the current screen saver, and registers an uninstaller in Apps / Programs and Features.
; scripts/package runs it:
;   makensis -DVERSION=1.0.1 -DVERSION_NUMBERS=1.0.1 -DSCR=lumar.scr -DREADME=README.txt
;            -DLICENSE=LICENSE.txt -DNOTICES=THIRD-PARTY-NOTICES.txt -DGUIDE=lumar-guide.html
;            -DICON=lumar.ico -DPRESETS=presets.nsh -DOUTFILE=setup.exe lumar.nsi
; VERSION is the version's text (a pre-release such as 1.0.1-dev.202612101130 included), VERSION_NUMBERS
; its three numbers; PRESETS the /PRESET check of the names (written by scripts/package).
;
; Command line of the setup program:  /S silent; /CURRENT with /S also makes Lumar the current saver;
;   /PRESET="<name>" makes that preset the look of every user of the computer who has no settings of
;   their own (HKLM "Software\Korvan\Lumar" "DefaultPreset"); a name that is no preset's is reported and
;   Lumar is installed without a default.
; Command line of the uninstaller:    /S silent; /REMOVESETTINGS also removes the user's settings.
;   "<folder>\uninstall.exe" /S _?=<folder> (the entry's QuietUninstallString) runs in place: it waits
;   until the uninstall is done and returns its exit code.
; Exit codes of both: 0 done (a lumar.scr still in use is moved aside: no restart is needed); 1
; cancelled; 2 failed; 32 (setup only) lumar.scr is in use and cannot even be moved aside; 740 no
; administrator rights; 1638 (setup only) a newer version is installed.
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
!define EXIT_FILE_IN_USE 32  ; ERROR_SHARING_VIOLATION
!define EXIT_NOT_ADMIN 740
!define EXIT_NEWER_INSTALLED 1638
; Active Setup runs this once for every user at their next sign-in: it clears the current screen saver of
; profiles that were not loaded when Lumar was removed (the uninstaller clears the loaded ones itself).
!define SIGNIN_CLEANUP_KEY "Software\Microsoft\Active Setup\Installed Components\Korvan.Lumar.Removal"
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

VIProductVersion "${VERSION_NUMBERS}.0"
VIFileVersion "${VERSION_NUMBERS}.0"
VIAddVersionKey "ProductName" "Lumar"
VIAddVersionKey "CompanyName" "Korvan"
VIAddVersionKey "FileDescription" "Lumar ${VERSION} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (c) the Lumar developers, MIT licence"

Var OtherAccount      ; 1 when this setup runs as another account than the session's signed-in user
Var OtherAccountWhy   ; the line that says so
Var FinishText
Var DefaultPreset     ; the preset named by /PRESET, spelt as Lumar spells it; "" for none
Var PresetGiven       ; 1 when /PRESET was on the command line

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
; Nothing the uninstaller does needs a restart; were one ever offered, "later" is the default.
!define MUI_FINISHPAGE_REBOOTLATER_DEFAULT
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

; $0 = the string form of the security identifier at address $1 ("S-1-5-21-..."), or "" when it cannot be
; converted.
Function ${un}SidText
  StrCpy $0 ""
  System::Call 'advapi32::ConvertSidToStringSidW(p r1, *p .r2) i .r3'
  ${If} $3 <> 0
    System::Call 'kernel32::lstrcpynW(w .r0, p r2, i ${NSIS_MAX_STRLEN})'
    System::Call 'kernel32::LocalFree(p r2)'
  ${EndIf}
FunctionEnd

; Sets $OtherAccount and $OtherAccountWhy: is this process another account than the user signed in to
; its session (an administrator's credentials given at the elevation prompt, or SYSTEM under a management
; tool)? Then HKCU is that account's, not the user's. The accounts are compared by their security
; identifiers (SIDs), so that DOMAIN\alice and the local alice are two. Where the session's user cannot
; be found, the accounts count as the same, except for SYSTEM (S-1-5-18).
Function ${un}DetectOtherAccount
  StrCpy $OtherAccount 0
  StrCpy $OtherAccountWhy ""
  ; This process's account: its name for the messages, its SID from its token.
  StrCpy $5 ""
  System::Call 'advapi32::GetUserNameW(w .r5, *i ${NSIS_MAX_STRLEN}) i .r0'
  StrCpy $6 ""
  System::Alloc 1024
  Pop $4
  System::Call 'advapi32::OpenProcessToken(p -1, i 8, *p .r3) i .r0'  ; TOKEN_QUERY
  ${If} $0 <> 0
    System::Call 'advapi32::GetTokenInformation(p r3, i 1, p r4, i 1024, *i .r0) i .r0'  ; TokenUser
    ${If} $0 <> 0
      System::Call '*$4(p .r1)'
      Call ${un}SidText
      StrCpy $6 $0
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r3)'
  ${EndIf}
  ; The session's user: its name and domain from Windows' terminal services, its SID looked up by both.
  StrCpy $7 "?"
  StrCpy $8 ""
  StrCpy $9 ""
  ; WTS_CURRENT_SESSION (-1), WTSUserName (5), WTSDomainName (7)
  System::Call 'wtsapi32::WTSQuerySessionInformationW(p 0, i -1, i 5, *p .r2, *i .r3) i .r0'
  ${If} $0 <> 0
    System::Call 'kernel32::lstrcpynW(w .r7, p r2, i ${NSIS_MAX_STRLEN})'
    System::Call 'wtsapi32::WTSFreeMemory(p r2)'
    System::Call 'wtsapi32::WTSQuerySessionInformationW(p 0, i -1, i 7, *p .r2, *i .r3) i .r0'
    ${If} $0 <> 0
      System::Call 'kernel32::lstrcpynW(w .r8, p r2, i ${NSIS_MAX_STRLEN})'
      System::Call 'wtsapi32::WTSFreeMemory(p r2)'
    ${EndIf}
    StrCpy $1 $7
    ${If} $8 != ""
      StrCpy $1 "$8\$7"
    ${EndIf}
    ; SID_NAME_USE comes back in $3; the SID into the buffer at $4.
    System::Call 'advapi32::LookupAccountNameW(p 0, w r1, p r4, *i 1024, w .r2, *i ${NSIS_MAX_STRLEN}, *i .r3) i .r0'
    ${If} $0 <> 0
      StrCpy $1 $4
      Call ${un}SidText
      StrCpy $9 $0
    ${EndIf}
    ${If} $7 == ""
      StrCpy $9 "none"  ; nobody is signed in to this session
    ${EndIf}
  ${EndIf}
  System::Free $4
  !ifdef TEST_SESSION_USER
    ; A test build only: as if this user, with an account of its own, had signed in to the session.
    StrCpy $7 "${TEST_SESSION_USER}"
    StrCpy $9 "S-1-5-21-1000000000-2000000000-3000000000-4242"
  !endif
  ${If} $6 == "S-1-5-18"
  ${OrIf} $5 == "SYSTEM"
    StrCpy $OtherAccount 1
    StrCpy $OtherAccountWhy "This setup runs as the system account, not as a signed-in user, so it cannot make Lumar the current screen saver of any user: each user makes it current in the Screen Saver Settings."
  ${ElseIf} $9 != ""
  ${AndIf} $6 != ""
  ${AndIf} $9 != $6
    StrCpy $OtherAccount 1
    ${If} $7 == ""
      StrCpy $7 "nobody"
    ${EndIf}
    StrCpy $OtherAccountWhy "This setup runs as $5, while $7 is signed in, so it cannot make Lumar the current screen saver for $7: $7 makes it current in the Screen Saver Settings."
  ${EndIf}
FunctionEnd

; $0 = 1 when the path in $1 names a lumar.scr: compared by its file name after its environment strings
; are expanded (a full, short or %SystemRoot% path, or the bare name).
Function ${un}IsLumarPath
  ExpandEnvStrings $1 $1
  ${GetFileName} $1 $2
  StrCpy $0 0
  ${If} $2 == "lumar.scr"
    StrCpy $0 1
  ${EndIf}
FunctionEnd

; $0 = 1 when the current screen saver (SCRNSAVE.EXE of this account) is a lumar.scr.
Function ${un}IsLumarCurrent
  ReadRegStr $1 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  Call ${un}IsLumarPath
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
      ClearErrors
      Rename "${SAVER}" $0
      ${If} ${Errors}
        MessageBox MB_ICONSTOP|MB_OK "lumar.scr in the system folder is in use and cannot be replaced or moved aside.$\r$\n$\r$\nClose the Screen Saver Settings and end the screen saver, then run this setup again. Nothing was changed." /SD IDOK
        SetErrorLevel ${EXIT_FILE_IN_USE}
        Quit
      ${EndIf}
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

  ; An earlier removal's sign-in clean-up must not clear the saver that users choose from now on.
  DeleteRegKey HKLM "${SIGNIN_CLEANUP_KEY}"

  ; The machine's default look: set by /PRESET, removed by a /PRESET that names no preset, otherwise kept.
  ${If} $DefaultPreset != ""
    WriteRegStr HKLM "${SETTINGS_KEY}" "DefaultPreset" $DefaultPreset
    DetailPrint "Users without settings of their own see the preset $DefaultPreset."
  ${ElseIf} $PresetGiven == 1
    DetailPrint "/PRESET names no preset of Lumar: users without settings of their own see the built-in defaults."
    DeleteRegValue HKLM "${SETTINGS_KEY}" "DefaultPreset"
    DeleteRegKey /ifempty HKLM "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKLM "Software\Korvan"
  ${EndIf}
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
    ; The numbers only: a pre-release (1.0.1-dev.<date>) counts as its version.
    ${WordFind} $3 "-" "+1{" $4
    ${VersionCompare} $4 "${VERSION_NUMBERS}" $0
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

  Call ReadPresetOption

  StrCpy $FinishText "Lumar ${VERSION} has been installed on your computer.$\r$\n$\r$\nClick Finish to close this wizard."
  Call DetectOtherAccount
  ${If} $OtherAccount == 1
    ; HKCU here is another account's: neither change the current saver nor open its settings there.
    !insertmacro UnselectSection ${SectionCurrent}
    !insertmacro SetSectionFlag ${SectionCurrent} ${SF_RO}
    StrCpy $FinishText "Lumar ${VERSION} has been installed on your computer.$\r$\n$\r$\n$OtherAccountWhy"
  ${EndIf}
FunctionEnd

; Sets $PresetGiven and $DefaultPreset from /PRESET="<name>" (the quotes are optional). A name that is
; no preset's is reported (a message box, or the setup's details when silent), and Lumar is installed
; without a default.
Function ReadPresetOption
  StrCpy $PresetGiven 0
  StrCpy $DefaultPreset ""
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/PRESET=" $1
  ${If} ${Errors}
    Return
  ${EndIf}
  StrCpy $PresetGiven 1
  StrCpy $2 $1 1
  ${If} $2 == '"'
    StrCpy $1 $1 "" 1
    StrCpy $2 $1 1 -1
    ${If} $2 == '"'
      StrCpy $1 $1 -1
    ${EndIf}
  ${EndIf}
  Call CanonicalPresetName
  StrCpy $DefaultPreset $0
  ${If} $DefaultPreset == ""
    MessageBox MB_ICONEXCLAMATION|MB_OK "/PRESET=$\"$1$\" names no preset of Lumar.$\r$\n$\r$\nLumar is installed without a default look: users without settings of their own see the built-in defaults. The presets are listed in the user's guide." /SD IDOK
  ${EndIf}
FunctionEnd

; $0 = the name in $1 spelt as Lumar's preset list spells it (compared regardless of case), or "".
Function CanonicalPresetName
  StrCpy $0 ""
  !include "${PRESETS}"
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


; --- The uninstaller ---------------------------------------------------------------------------------

Section "un.Lumar screen saver" SectionUninstallSaver
  SectionIn RO
  ; The current screen saver is cleared, and switched off, only when it is a lumar.scr.
  StrCpy $R9 0
  Call un.IsLumarCurrent
  ${If} $0 == 1
    DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    System::Call 'user32::SystemParametersInfoW(i ${SPI_SETSCREENSAVEACTIVE}, i 0, p 0, i ${SPIF_UPDATE_AND_SEND})'
    IntOp $R9 $R9 + 1
  ${EndIf}
  Call un.ClearSaverOfLoadedHives
  DetailPrint "Lumar was the screen saver of $R9 signed-in account(s); it is cleared there."
  Call un.ClearSaverAtNextSignIn

  Call un.RemoveStaleAsideFiles
  ; A running saver or preview holds lumar.scr: it moves aside under a name of its own, which the next
  ; setup or uninstall removes, and Windows too at its next restart (a scheduled delete of that name
  ; only, which asks for no restart: a new install in the meantime is not deleted with it).
  ClearErrors
  Delete "${SAVER}"
  ${If} ${Errors}
  ${AndIf} ${FileExists} "${SAVER}"
    Call un.FreeAsideName
    Rename "${SAVER}" $0
    System::Call 'kernel32::MoveFileExW(w r0, p 0, i 4)'  ; MOVEFILE_DELAY_UNTIL_REBOOT
    DetailPrint "lumar.scr is in use: it was moved aside to $0, which goes when it is no longer used"
  ${EndIf}
  DeleteRegValue HKLM "${SETTINGS_KEY}" "DefaultPreset"
  DeleteRegKey /ifempty HKLM "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKLM "Software\Korvan"
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

; Clears SCRNSAVE.EXE where it names a lumar.scr in the hive of every other account that is loaded now
; (signed in, or held by a service); $R9 counts each one cleared. User hives only: S-1-5-21-... (local
; and domain accounts) and S-1-12-1-... (Microsoft Entra accounts), not their ..._Classes.
Function un.ClearSaverOfLoadedHives
  StrCpy $R8 0
  ${Do}
    EnumRegKey $R7 HKU "" $R8
    ${If} $R7 == ""
      ${Break}
    ${EndIf}
    IntOp $R8 $R8 + 1
    StrCpy $R6 $R7 9
    StrCpy $R5 $R7 8 -8
    ${If} $R5 == "_Classes"
      ${Continue}
    ${EndIf}
    ${If} $R6 != "S-1-5-21-"
    ${AndIf} $R6 != "S-1-12-1-"
      ${Continue}
    ${EndIf}
    ReadRegStr $1 HKU "$R7\${DESKTOP_KEY}" "SCRNSAVE.EXE"
    Call un.IsLumarPath
    ${If} $0 == 1
      DeleteRegValue HKU "$R7\${DESKTOP_KEY}" "SCRNSAVE.EXE"
      IntOp $R9 $R9 + 1
    ${EndIf}
  ${LoopUntil} $R8 > 10000
FunctionEnd

; The profiles that are not loaded now: Active Setup runs a command once for each user at their next
; sign-in (a newer Version than the user has seen), which clears SCRNSAVE.EXE where it names a lumar.scr.
; cmd's for /f reads the value's data (the third field of reg's line on) and compares its file name.
; The next setup removes the entry.
Function un.ClearSaverAtNextSignIn
  ${GetTime} "" "L" $0 $1 $2 $3 $4 $5 $6
  WriteRegStr HKLM "${SIGNIN_CLEANUP_KEY}" "" "Lumar screen saver removal"
  WriteRegStr HKLM "${SIGNIN_CLEANUP_KEY}" "Version" "$2,$1$0,$4$5,$6"
  WriteRegDWORD HKLM "${SIGNIN_CLEANUP_KEY}" "IsInstalled" 1
  WriteRegStr HKLM "${SIGNIN_CLEANUP_KEY}" "StubPath" '"$SYSDIR\cmd.exe" /d /q /c for /f "tokens=2*" %a in ($\'reg query "HKCU\${DESKTOP_KEY}" /v SCRNSAVE.EXE 2^>nul$\') do @if /i "%~nxb"=="lumar.scr" reg delete "HKCU\${DESKTOP_KEY}" /v SCRNSAVE.EXE /f >nul'
FunctionEnd

; The copy that removes an in-place uninstaller: waits (at most a minute) for process $0 to end; unless a
; new install has come since (its entry is back), removes uninstall.exe and the folder; then a hidden
; command removes this copy once it has ended (no entry for the next restart).
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
  ; STARTUPINFOW (104 bytes on x64, cb first) and PROCESS_INFORMATION (24 bytes), zeroed.
  System::Alloc 104
  Pop $2
  System::Call '*$2(i 104)'
  System::Alloc 24
  Pop $3
  StrCpy $4 '"$SYSDIR\cmd.exe" /d /q /c for /l %i in (1,1,30) do @if exist "$EXEPATH" ( ping -n 2 127.0.0.1 >nul & del /f /q "$EXEPATH" 2>nul )'
  ; CREATE_NO_WINDOW: nothing shows; it runs in the system folder, never in the caller's folder.
  StrCpy $5 $SYSDIR
  System::Call 'kernel32::CreateProcessW(p 0, w r4, p 0, p 0, i 0, i 0x08000000, p 0, w r5, p r2, p r3) i .r0'
  ${If} $0 <> 0
    System::Call '*$3(p .r5, p .r6)'
    System::Call 'kernel32::CloseHandle(p r5)'
    System::Call 'kernel32::CloseHandle(p r6)'
  ${EndIf}
  System::Free $2
  System::Free $3
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

