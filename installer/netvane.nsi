; The Netvane installation program.  makensis defines (all required):
;   VERSION   the project's version number ("1.3.12.0")
;   BINDIR    folder of the built programs, the resource library and the string files
;   HELPFILE  Netvane_Help.chm, or "" when the help is not built
;   OUTFILE   the installer to write
; Silent: "NetvaneSetup.exe /S" installs, "uninstall.exe /S" removes; "/D=<folder>" (last) picks
; the folder.  "/UPDATEKEY=<hex>" (the public key the signing tool prints, 128 hex digits) makes
; the update client install only signed lists.  An installation over an older one keeps
; everything under the product key (a key given on the command line replaces the stored one).
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include x64.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define PRODUCT "Netvane"
!define MAKER "Tarn"
!define PRODUCT_KEY "SOFTWARE\${MAKER}\Netvane-H"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "Netvane (Only Railgate)"
!define ARP_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Netvane"
!define TRAY_CLASS "Netvane_CLASS"
!define EXIT_COMMAND 5007

Var UpdateKey

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${MAKER}\${PRODUCT}"
InstallDirRegKey HKLM "${PRODUCT_KEY}" "InstalledPath"
VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${MAKER}"
VIAddVersionKey "FileDescription" "${PRODUCT} installation"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${MAKER}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Asks a running tray program to end (its exit command), so its files can be replaced or removed.
!macro CloseTrayProgram
  FindWindow $0 "${TRAY_CLASS}"
  ${If} $0 <> 0
    System::Call 'user32::SendMessageTimeoutW(p r0, i 0x0111, p ${EXIT_COMMAND}, p 0, i 2, i 30000, *p .r1)'
    Sleep 500
  ${EndIf}
!macroend

; Deletes a file, retrying for up to ten seconds: a service program that was just told to stop
; keeps its file open until its process has ended.
!macro DeleteWhenFree FILE
  StrCpy $2 0
  ${Do}
    ClearErrors
    Delete "${FILE}"
    ${IfNot} ${Errors}
    ${OrIfNot} ${FileExists} "${FILE}"
      ${Break}
    ${EndIf}
    IntOp $2 $2 + 1
    ${If} $2 >= 50
      DetailPrint "${FILE} stays in use"
      ${Break}
    ${EndIf}
    Sleep 200
  ${Loop}
!macroend

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "${PRODUCT} needs 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  SetShellVarContext all
  ; "/UPDATEKEY=<hex>": 128 hex digits (X||Y), or 130 with the leading 04 of the point.
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/UPDATEKEY=" $UpdateKey
  ${If} ${Errors}
    StrCpy $UpdateKey ""
  ${Else}
    StrLen $1 $UpdateKey
    StrCpy $3 "ok"
    ${If} $1 <> 128
    ${AndIf} $1 <> 130
      StrCpy $3 "bad"
    ${EndIf}
    ; Every character a hex digit: the span of hex digits is the whole text.
    System::Call 'shlwapi::StrSpnW(w "$UpdateKey", w "0123456789abcdefABCDEF") i .r6'
    ${If} $6 <> $1
      StrCpy $3 "bad"
    ${EndIf}
    ${If} $3 != "ok"
      MessageBox MB_ICONSTOP "/UPDATEKEY= needs the public key in hex (128 digits) that nv-update-sign.sh prints." /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Netvane"
  SetRegView 64
  SetShellVarContext all
  !insertmacro CloseTrayProgram
  ; An older installation: its service goes first (it holds NvSVC.exe); its settings stay.
  ${If} ${FileExists} "$INSTDIR\NvSVC.exe"
    ExecWait '"$INSTDIR\NvSVC.exe" -u'
    !insertmacro DeleteWhenFree "$INSTDIR\NvSVC.exe"
  ${EndIf}

  SetOutPath "$INSTDIR"
  SetOverwrite on
  File "${BINDIR}\Netvane.exe"
  File "${BINDIR}\Corekit.dll"
  File "${BINDIR}\NvIdle.dll"
  File "${BINDIR}\NvSVC.exe"
  File "${BINDIR}\Updagent.exe"
  File "${BINDIR}\continue.exe"
  File "${BINDIR}\NvUninst.dll"
  File "${BINDIR}\NvRes.dll"
  File "${BINDIR}\LDNvChng.EXE"
  File "${BINDIR}\NetvaneENG.ini"
  File "${BINDIR}\NetvaneKOR.ini"
  !if "${HELPFILE}" != ""
    File "${HELPFILE}"
  !endif
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; What a first start needs; values already there (an upgrade) are left as they are.
  WriteRegStr HKLM "${PRODUCT_KEY}" "InstalledPath" "$INSTDIR"
  ClearErrors
  ReadRegDWORD $0 HKLM "${PRODUCT_KEY}\AdOpt" "dwOpt"
  ${If} ${Errors}
    WriteRegDWORD HKLM "${PRODUCT_KEY}\AdOpt" "dwOpt" 11
  ${EndIf}
  ClearErrors
  ReadRegDWORD $0 HKLM "${PRODUCT_KEY}" "dwPktCnt"
  ${If} ${Errors}
    WriteRegDWORD HKLM "${PRODUCT_KEY}" "dwPktCnt" 3
  ${EndIf}

  ; Where the update client reads it.
  ${If} $UpdateKey != ""
    WriteRegStr HKLM "${PRODUCT_KEY}\Update" "szUpdateKey" "$UpdateKey"
  ${EndIf}

  WriteRegStr HKLM "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\Netvane.exe"'

  WriteRegStr HKLM "${ARP_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${ARP_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${ARP_KEY}" "Publisher" "${MAKER}"
  WriteRegStr HKLM "${ARP_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${ARP_KEY}" "DisplayIcon" "$INSTDIR\Netvane.exe"
  WriteRegStr HKLM "${ARP_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${ARP_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${ARP_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${ARP_KEY}" "NoRepair" 1

  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\Netvane.exe"
  !if "${HELPFILE}" != ""
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT} Help.lnk" "$INSTDIR\Netvane_Help.chm"
  !endif

  ; The launcher service: installed and started by the program itself.
  ExecWait '"$INSTDIR\NvSVC.exe" -i' $0
  ${If} $0 <> 0
    DetailPrint "NvSVC.exe -i ended with $0"
  ${EndIf}
SectionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Uninstall"
  SetRegView 64
  SetShellVarContext all
  !insertmacro CloseTrayProgram
  ; A deployment tool decides about restarts: silently, the restart question is answered no.
  ${If} ${Silent}
    System::Call 'kernel32::SetEnvironmentVariableW(w "NV_NO_MESSAGEBOX", w "1")'
  ${EndIf}

  ; The library is called from a copy: its second phase runs after the installed files are gone.
  InitPluginsDir
  CopyFiles /SILENT "$INSTDIR\NvUninst.dll" "$PLUGINSDIR\NvUninst.dll"
  ; First phase while NvSVC.exe is still there: shortcut, services, leases, product key.
  System::Call '$PLUGINSDIR\NvUninst.dll::UninstInitialize() i .r0 ?u'

  Delete "$INSTDIR\Netvane.exe"
  Delete "$INSTDIR\Corekit.dll"
  Delete "$INSTDIR\NvIdle.dll"
  !insertmacro DeleteWhenFree "$INSTDIR\NvSVC.exe"
  Delete "$INSTDIR\Updagent.exe"
  Delete "$INSTDIR\continue.exe"
  Delete "$INSTDIR\NvUninst.dll"
  Delete "$INSTDIR\NvRes.dll"
  Delete "$INSTDIR\LDNvChng.EXE"
  Delete "$INSTDIR\NetvaneENG.ini"
  Delete "$INSTDIR\NetvaneKOR.ini"
  Delete "$INSTDIR\Netvane_Help.chm"
  ; The program's own files: monthly logs, the audit trail, the traces a shipped program writes
  ; on NV_TRACE=1, and what an update leaves: the finisher's copy, a hand-over list, temporaries
  ; of a broken copy, the staging folder.
  Delete "$INSTDIR\Log\*.log"
  Delete "$INSTDIR\Log\audit.jsonl"
  Delete "$INSTDIR\Log\trace-*.txt"
  RMDir "$INSTDIR\Log"
  Delete "$INSTDIR\orgcontinue.exe"
  Delete "$INSTDIR\VerSion.txt"
  Delete "$INSTDIR\~nvcopy-*.tmp"
  RMDir /r "$INSTDIR\UpdateTemp"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  RMDir "$INSTDIR\.."

  ; Second phase after the files: Run entry and the restart question.
  System::Call '$PLUGINSDIR\NvUninst.dll::UninstUnInitialize(p $HWNDPARENT) i .r0 ?u'

  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT} Help.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  DeleteRegKey HKLM "${ARP_KEY}"
  DeleteRegKey /ifempty HKLM "SOFTWARE\${MAKER}"
SectionEnd
