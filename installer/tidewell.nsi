; Tidewell's installer: per user, without administrator rights, into
; %LOCALAPPDATA%\Programs\Tidewell. Built by the "installer" target of the
; windows preset (scripts/package copies it to dist/), which defines:
;   VERSION      major.minor of the product record
;   PUBLISHER    the uninstall entry's publisher
;   RELEASE_DIR  the release folder (Varnholt.exe, MSHook.dll)
;   ICON         the program's icon
;   OUTFILE      the setup program to write
; Silent with /S; the uninstaller too. Neither touches the program's
; settings nor any file the user made.

Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!define EXE "Varnholt.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tidewell"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; The running program's main window class, and the wParam of WM_CLOSE that
; ends it instead of hiding it (both in the program's sources:
; tray/hook_protocol.h, shell/command_line.h).
!define MAIN_CLASS "TidewellMain"
!define EXIT_REQUEST 0x54574558
!define SHCNE_ASSOCCHANGED 0x08000000

Name "Tidewell"
Caption "Tidewell ${VERSION} Setup"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Tidewell"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Tidewell ${VERSION}"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "Tidewell"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Tidewell Setup"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!include MUI2.nsh
!include nsDialogs.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\${EXE}"
!define MUI_FINISHPAGE_RUN_TEXT "Start Tidewell now"

!insertmacro MUI_PAGE_DIRECTORY
Page custom SignInPage SignInPageLeave
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var StartAtSignIn
Var SignInBox

Function .onInit
    ; Checked unless the user clears it (a silent install keeps it).
    StrCpy $StartAtSignIn ${BST_CHECKED}
FunctionEnd

Function SignInPage
    !insertmacro MUI_HEADER_TEXT "Start" "Tidewell cleans on its schedule only while it runs."
    nsDialogs::Create 1018
    Pop $0
    ${NSD_CreateCheckbox} 0 0 100% 12u "Start Tidewell when I sign in"
    Pop $SignInBox
    ${NSD_SetState} $SignInBox $StartAtSignIn
    nsDialogs::Show
FunctionEnd

Function SignInPageLeave
    ${NSD_GetState} $SignInBox $StartAtSignIn
FunctionEnd

; Asks a running copy to end as its Exit button does (a plain close only
; hides it), waits until its window is gone, then until its program file
; can be removed.
!macro EndRunningCopy un
Function ${un}EndRunningCopy
    StrCpy $1 0
    ${Do}
        FindWindow $0 "${MAIN_CLASS}"
        ${If} $0 = 0
        ${OrIf} $1 >= 50
            ${Break}
        ${EndIf}
        SendMessage $0 ${WM_CLOSE} ${EXIT_REQUEST} 0 /TIMEOUT=5000
        Sleep 200
        IntOp $1 $1 + 1
    ${Loop}
    StrCpy $1 0
    ${Do}
        ClearErrors
        Delete "$INSTDIR\${EXE}"
        ${IfNot} ${Errors}
        ${OrIf} $1 >= 25
            ${Break}
        ${EndIf}
        Sleep 200
        IntOp $1 $1 + 1
    ${Loop}
    ; Other programs may keep the hook library loaded for a while: a mapped
    ; file cannot be replaced or deleted, but it can be renamed.
    Delete "$INSTDIR\MSHook.dll.old"
    ${If} ${FileExists} "$INSTDIR\MSHook.dll"
        Rename "$INSTDIR\MSHook.dll" "$INSTDIR\MSHook.dll.old"
        Delete "$INSTDIR\MSHook.dll.old"
    ${EndIf}
FunctionEnd
!macroend
!insertmacro EndRunningCopy ""
!insertmacro EndRunningCopy "un."

Section "Tidewell"
    Call EndRunningCopy
    SetOutPath "$INSTDIR"
    File "${RELEASE_DIR}\${EXE}"
    File "${RELEASE_DIR}\MSHook.dll"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\Tidewell.lnk" "$INSTDIR\${EXE}"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Tidewell"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$\"$INSTDIR\${EXE}$\",0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" "$\"$INSTDIR\uninstall.exe$\""
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" "$\"$INSTDIR\uninstall.exe$\" /S"
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1

    ${If} $StartAtSignIn = ${BST_CHECKED}
        WriteRegStr HKCU "${RUN_KEY}" "Tidewell" "$\"$INSTDIR\${EXE}$\" /tray"
    ${Else}
        Call RemoveOwnRunValue
    ${EndIf}
SectionEnd

; Each entry goes only when it belongs to this copy (the folder this
; uninstaller lies in); files go by name, never a folder with its contents.
!macro RemoveOwnRunValue un
Function ${un}RemoveOwnRunValue
    ReadRegStr $0 HKCU "${RUN_KEY}" "Tidewell"
    ${If} $0 == "$\"$INSTDIR\${EXE}$\" /tray"
        DeleteRegValue HKCU "${RUN_KEY}" "Tidewell"
    ${EndIf}
FunctionEnd
!macroend
!insertmacro RemoveOwnRunValue ""
!insertmacro RemoveOwnRunValue "un."

; The .cfy type under one root's classes, when it opens this copy.
!macro RemoveOwnAssociation ROOT
    ReadRegStr $0 ${ROOT} "Software\Classes\cfy_auto_file\shell\open\command" ""
    ${If} $0 == "$\"$INSTDIR\Varnholt.Exe$\" $\"%1$\""
        DeleteRegKey ${ROOT} "Software\Classes\cfy_auto_file"
        ReadRegStr $0 ${ROOT} "Software\Classes\.cfy" ""
        ${If} $0 == "cfy_auto_file"
            DeleteRegKey ${ROOT} "Software\Classes\.cfy"
        ${EndIf}
        StrCpy $R0 1
    ${EndIf}
!macroend

Section "Uninstall"
    Call un.EndRunningCopy
    Delete "$INSTDIR\MSHook.dll"
    Delete "$INSTDIR\uninstall.exe"
    ; Only when empty: whatever the user put there stays, and so does the folder.
    RMDir "$INSTDIR"

    Delete "$SMPROGRAMS\Tidewell.lnk"
    Call un.RemoveOwnRunValue
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == "$INSTDIR"
        DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ${EndIf}

    ; The program's own registration: per user, machine-wide where this user
    ; may, and the old WIN.INI entry. Its settings stay.
    StrCpy $R0 0
    !insertmacro RemoveOwnAssociation HKCU
    !insertmacro RemoveOwnAssociation HKLM
    ReadINIStr $0 "win.ini" "Extensions" "CFY"
    ${If} $0 == "$INSTDIR\Varnholt.Exe ^.CFY"
        DeleteINIStr "win.ini" "Extensions" "CFY"
    ${EndIf}
    ${If} $R0 = 1
        System::Call "shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)"
    ${EndIf}
SectionEnd
