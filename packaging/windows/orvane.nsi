; The Windows installer of Orvane, built by tools/package:
;   makensis -DVERSION=1.3.0 -DSTAGE=<folder> -DOUTFILE=<setup.exe> orvane.nsi
; STAGE holds the release builds: x64\orvane.exe, x64\Orvane.dll, x86\orvane.exe,
; x86\Orvane.dll, and KPXServiceControl.INI with Windows line ends.
;
; One folder, as products with both bitnesses of a COM server lay it out:
;   Program Files\Orvane\orvane.exe, x64\Orvane.dll, x86\Orvane.dll, uninstall.exe
; On 64-bit Windows orvane.exe is the x64 one and each Orvane.dll is registered by the regsvr32
; of its own bitness; each system directory (System32 for 64-bit hosts, SysWOW64 for 32-bit
; ones) gets a commented KPXServiceControl.INI unless it has one. On 32-bit Windows only the x86
; builds go in, orvane.exe and x86\Orvane.dll, registered by System32's regsvr32, with the
; configuration file in System32. The uninstaller unregisters what is there and removes the
; program files; the configuration files stay, as the administrator may have filled them in.

Unicode true
!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh

!ifndef VERSION | STAGE | OUTFILE
  !error "VERSION, STAGE and OUTFILE must be defined (see the head of this file)"
!endif

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvane"
!define INI_NAME "KPXServiceControl.INI"

Name "Orvane ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Orvane"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ManifestSupportedOS all

VIProductVersion "${VERSION}.0"
VIAddVersionKey ProductName "Orvane"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey FileDescription "Orvane ${VERSION} setup"
VIAddVersionKey LegalCopyright "the Orvane developers"

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Runs the regsvr32 of one bitness (System32 or SysWOW64) silently; its exit code is left in $0.
; The installer is a 32-bit program: without redirection off, System32 would be SysWOW64 on
; 64-bit Windows. (On 32-bit Windows there is no redirection to turn off; System32 is 32-bit.)
!macro Regsvr32 SYSTEM_FOLDER OPTIONS DLL
  ${DisableX64FSRedirection}
  ClearErrors
  ExecWait '"$WINDIR\${SYSTEM_FOLDER}\regsvr32.exe" /s ${OPTIONS} "${DLL}"' $0
  ${IfThen} ${Errors} ${|} StrCpy $0 "not started" ${|}
  ${EnableX64FSRedirection}
!macroend

; Registers or fails the installation: a server that is installed but not registered would
; make every CreateObject fail with nothing to say why.
!macro Register SYSTEM_FOLDER DLL
  !insertmacro Regsvr32 ${SYSTEM_FOLDER} "" "${DLL}"
  ${If} $0 != 0
    DetailPrint "$WINDIR\${SYSTEM_FOLDER}\regsvr32 ${DLL} failed: $0"
    MessageBox MB_ICONSTOP "${DLL} could not be registered ($0)." /SD IDOK
    SetErrorLevel 3
    Abort
  ${EndIf}
!macroend

!macro Unregister SYSTEM_FOLDER DLL
  ${If} ${FileExists} "${DLL}"
    !insertmacro Regsvr32 ${SYSTEM_FOLDER} /u "${DLL}"
    ${IfThen} $0 != 0 ${|} DetailPrint "$WINDIR\${SYSTEM_FOLDER}\regsvr32 /u ${DLL} failed: $0" ${|}
  ${EndIf}
!macroend

; The commented configuration file, only where the system directory has none: an existing one
; is the administrator's and is never replaced.
!macro PlaceConfiguration SYSTEM_FOLDER
  ${DisableX64FSRedirection}
  ${If} ${FileExists} "$WINDIR\${SYSTEM_FOLDER}\${INI_NAME}"
    DetailPrint "Kept $WINDIR\${SYSTEM_FOLDER}\${INI_NAME}"
  ${Else}
    SetOverwrite off
    File "/oname=$WINDIR\${SYSTEM_FOLDER}\${INI_NAME}" "${STAGE}\${INI_NAME}"
    SetOverwrite on
  ${EndIf}
  ${EnableX64FSRedirection}
!macroend

; The registry as the system's own programs see it: the 64-bit view on 64-bit Windows.
Function .onInit
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
FunctionEnd

Function un.onInit
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
FunctionEnd

Section "Orvane"
  SetOutPath "$INSTDIR"
  ${If} ${RunningX64}
    File "/oname=orvane.exe" "${STAGE}\x64\orvane.exe"
    SetOutPath "$INSTDIR\x64"
    File "${STAGE}\x64\Orvane.dll"
  ${Else}
    File "/oname=orvane.exe" "${STAGE}\x86\orvane.exe"
  ${EndIf}
  SetOutPath "$INSTDIR\x86"
  File "${STAGE}\x86\Orvane.dll"
  SetOutPath "$INSTDIR"

  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayName "Orvane"
  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayVersion "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" Publisher "the Orvane developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayIcon "$INSTDIR\orvane.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" InstallLocation "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" UninstallString '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" QuietUninstallString '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" NoModify 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" NoRepair 1

  ${If} ${RunningX64}
    !insertmacro PlaceConfiguration System32
    !insertmacro PlaceConfiguration SysWOW64
    !insertmacro Register System32 "$INSTDIR\x64\Orvane.dll"
    !insertmacro Register SysWOW64 "$INSTDIR\x86\Orvane.dll"
  ${Else}
    !insertmacro PlaceConfiguration System32
    !insertmacro Register System32 "$INSTDIR\x86\Orvane.dll"
  ${EndIf}
SectionEnd

; Removes only what the installer put there, folder by folder (RMDir without /r): whatever else
; an administrator keeps in the folder stays, and so do the configuration files.
Section "Uninstall"
  ${If} ${RunningX64}
    !insertmacro Unregister SysWOW64 "$INSTDIR\x86\Orvane.dll"
    !insertmacro Unregister System32 "$INSTDIR\x64\Orvane.dll"
  ${Else}
    !insertmacro Unregister System32 "$INSTDIR\x86\Orvane.dll"
  ${EndIf}
  Delete /REBOOTOK "$INSTDIR\x86\Orvane.dll"
  Delete /REBOOTOK "$INSTDIR\x64\Orvane.dll"
  Delete /REBOOTOK "$INSTDIR\orvane.exe"
  Delete /REBOOTOK "$INSTDIR\uninstall.exe"
  RMDir /REBOOTOK "$INSTDIR\x86"
  RMDir /REBOOTOK "$INSTDIR\x64"
  RMDir /REBOOTOK "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
