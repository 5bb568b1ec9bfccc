; The setup program of Lumar, a 64-bit installer (lumar.scr is a 64-bit program, and a 64-bit installer
; sees the real system folder, with no 32-bit file-system redirection in the way).
; It installs lumar.scr into the system folder, where the Screen Saver Settings list looks, can make it
; the current screen saver, and registers an uninstaller in Apps / Programs and Features.
; scripts/package runs it:
;   makensis -DVERSION=1.0.0 -DSCR=lumar.scr -DREADME=README.txt -DLICENSE=LICENSE.txt -DGUIDE=lumar-guide.html
;            -DOUTFILE=setup.exe
;
; Command line of the setup program:     /S silent; /CURRENT with /S also makes Lumar the current saver
; Command line of the uninstaller:       /S silent; /REMOVESETTINGS also removes the user's settings
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include Sections.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumar"
!define SETTINGS_KEY "Software\Korvan\Lumar"
!define DESKTOP_KEY "Control Panel\Desktop"
!define SAVER "$SYSDIR\lumar.scr"

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

!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$SYSDIR\control.exe"
!define MUI_FINISHPAGE_RUN_PARAMETERS "desk.cpl,,@screensaver"
!define MUI_FINISHPAGE_RUN_TEXT "Open the Screen Saver Settings"
!define MUI_FINISHPAGE_RUN_NOTCHECKED
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Section "Lumar screen saver" SectionSaver
  SectionIn RO
  ; A saver or preview that is running holds the old file: move it aside and remove it at the next
  ; restart, so that the new one can take its place.
  ${If} ${FileExists} "${SAVER}"
    ClearErrors
    Delete "${SAVER}"
    ${If} ${Errors}
      Delete "${SAVER}.old"
      Rename "${SAVER}" "${SAVER}.old"
      Delete /REBOOTOK "${SAVER}.old"
    ${EndIf}
  ${EndIf}
  SetOutPath "$SYSDIR"
  File "/oname=lumar.scr" "${SCR}"

  SetOutPath "$INSTDIR"
  File "/oname=README.txt" "${README}"
  File "/oname=LICENSE.txt" "${LICENSE}"
  ; The user's guide, which the configuration dialog's link button finds through InstallLocation.
  File "/oname=lumar-guide.html" "${GUIDE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The entry in Apps / Programs and Features. An install over an older version rewrites it.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Lumar screen saver"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Korvan"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "${SAVER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize ${SectionSaver} $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Make Lumar the current screen saver" SectionCurrent
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "${SAVER}"
  WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"
  ; Tell running programs (the display settings) that the desktop settings changed.
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:${DESKTOP_KEY}" /TIMEOUT=2000
SectionEnd

Function .onInit
  SetRegView 64
  ; Ticked on the components page; a silent install changes the current saver only when asked to.
  ${If} ${Silent}
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/CURRENT" $1
    ${If} ${Errors}
      !insertmacro UnselectSection ${SectionCurrent}
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "un.Lumar screen saver" SectionUninstallSaver
  SectionIn RO
  ; The current screen saver is cleared only when it is this Lumar, in its long or its short spelling.
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  GetFullPathName /SHORT $1 "${SAVER}"
  ${If} $0 != ""
    ${If} $0 == "${SAVER}"
    ${OrIf} $0 == $1
      DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ${EndIf}
  ${EndIf}

  Delete /REBOOTOK "${SAVER}"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\lumar-guide.html"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd

; Off unless ticked, or /REMOVESETTINGS on the command line.
Section /o "un.Remove my Lumar settings" SectionUninstallSettings
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
  ${GetOptions} $0 "/REMOVESETTINGS" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SectionUninstallSettings}
  ${EndIf}
FunctionEnd
