; Installer of the 32-bit Quarn: the program, its two libraries, the skin,
; an initial vlconfig.xml and the updater and dump-uploader stand-ins, a Start
; menu entry and an uninstaller. The uninstaller removes the program files and
; the start-with-Windows entry; the user's data folder (pictures, first-run
; marker) stays.
;   makensis -DSTAGE=<folder of the built program> -DCONFIG=<vlconfig.xml> -DOUTFILE=<setup.exe> quarn.nsi
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!ifndef STAGE | CONFIG | OUTFILE
  !error "STAGE, CONFIG and OUTFILE must be defined"
!endif

!define PRODUCT "Quarn"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quarn"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Quarn"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${STAGE}\Quarn.exe"
  File "${STAGE}\skinkit.dll"
  File "${STAGE}\faultcatch.dll"
  File "${STAGE}\Patchling.exe"
  File "${STAGE}\Reportling.exe"
  File /r "${STAGE}\Qnv_resource"
  File /r "${STAGE}\Ziv_resource"
  ; A reinstall keeps the remembered login.
  SetOverwrite off
  File "${CONFIG}"
  SetOverwrite on

  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\Quarn.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\卸载 ${PRODUCT}.lnk" "$INSTDIR\Uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Quarn.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$INSTDIR\Quarn.exe"
  Delete "$INSTDIR\skinkit.dll"
  Delete "$INSTDIR\faultcatch.dll"
  Delete "$INSTDIR\Patchling.exe"
  Delete "$INSTDIR\Reportling.exe"
  Delete "$INSTDIR\vlconfig.xml"
  Delete "$INSTDIR\Crash.dmp"
  RMDir /r "$INSTDIR\Qnv_resource"
  RMDir /r "$INSTDIR\Ziv_resource"
  Delete "$INSTDIR\Uninstall.exe"
  ; Only when empty: files the user put there stay.
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\卸载 ${PRODUCT}.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"

  ; The client writes the machine's Run key, or the user's without rights to it.
  DeleteRegValue HKLM "${RUN_KEY}" "Vorlane"
  DeleteRegValue HKCU "${RUN_KEY}" "Vorlane"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
