; The Windows installer: Program Files, a Start menu folder, an uninstaller
; and an inbound firewall rule for the chat port, which the uninstaller
; takes away again. Built by the "release" target with BIN_DIR, DOC_DIR,
; OUTFILE and VERSION (the project's) defined on the makensis command line.

!ifndef VERSION
    !error "VERSION is not defined: build the installer with the release target"
!endif

Unicode true
; A 64-bit installer, like the program it installs.
Target amd64-unicode
Name "Norrik ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Norrik"
RequestExecutionLevel admin
; Its pages sharp at any display scale, as the program's windows are, and
; Windows 7 to 11 named in its manifest, as in the program's.
ManifestDPIAware true
ManifestSupportedOS all
SetCompressor /SOLID lzma

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Norrik"
!define FIREWALL_RULE "Norrik chat (TCP 6374)"

Page license
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles
LicenseData "${DOC_DIR}/LICENSE"

Section "Norrik"
    SetRegView 64
    SetOutPath "$INSTDIR"
    File "${BIN_DIR}/norrik.exe"
    File "${BIN_DIR}/nrkhelp.txt"
    File "${BIN_DIR}/beep.wav"
    File "${DOC_DIR}/README.md"
    File "${DOC_DIR}/LICENSE"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; The popup sound "beep.wav" is found beside the program: start it there.
    SetOutPath "$INSTDIR"
    CreateDirectory "$SMPROGRAMS\Norrik"
    CreateShortcut "$SMPROGRAMS\Norrik\Norrik.lnk" "$INSTDIR\norrik.exe"
    CreateShortcut "$SMPROGRAMS\Norrik\Norrik Help.lnk" "$INSTDIR\nrkhelp.txt"
    CreateShortcut "$SMPROGRAMS\Norrik\Uninstall Norrik.lnk" "$INSTDIR\uninstall.exe"

    ; A server needs peers to reach it; a failure here is not fatal. netsh
    ; by its full path: an elevated installer would otherwise run whatever
    ; netsh.exe lies beside it, in Downloads as often as not. The chat is
    ; not authenticated, so the port opens on private and domain networks
    ; only, never on a public one such as a cafe's.
    nsExec::Exec '"$SYSDIR\netsh.exe" advfirewall firewall add rule name="${FIREWALL_RULE}" dir=in action=allow protocol=TCP localport=6374 program="$INSTDIR\norrik.exe" profile=private,domain'
    Pop $0

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Norrik ${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Velmora Software"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    SetRegView 64
    nsExec::Exec '"$SYSDIR\netsh.exe" advfirewall firewall delete rule name="${FIREWALL_RULE}"'
    Pop $0
    Delete "$SMPROGRAMS\Norrik\Norrik.lnk"
    Delete "$SMPROGRAMS\Norrik\Norrik Help.lnk"
    Delete "$SMPROGRAMS\Norrik\Uninstall Norrik.lnk"
    RMDir "$SMPROGRAMS\Norrik"
    Delete "$INSTDIR\norrik.exe"
    Delete "$INSTDIR\nrkhelp.txt"
    Delete "$INSTDIR\beep.wav"
    Delete "$INSTDIR\README.md"
    Delete "$INSTDIR\LICENSE"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ; The user's settings under HKCU\Software\Velmora\Norrik are theirs to keep.
SectionEnd
