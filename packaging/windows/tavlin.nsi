; The Windows installer: the library, the launcher, tavlin.exe and the pictures in one folder,
; a Start-menu shortcut for the launcher, an uninstaller and an entry in the list of installed
; programs. Built by tools/windows-build.sh:
;   makensis -DVERSION=2.0 -DBUILD=<Windows build folder> -DOUT=<installer> tavlin.nsi
; A 64-bit installer for the 64-bit programs: it writes the 64-bit registry and Program Files.
; With -DX86, a 32-bit one for the 32-bit programs, whose folder and registry entry Windows
; keeps apart from the 64-bit ones on a 64-bit PC.
!ifdef X86
Target x86-unicode
!define PROGRAMS "$PROGRAMFILES"
!else
Target amd64-unicode
!define PROGRAMS "$PROGRAMFILES64"
!endif
!define NAME "Tavlin"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavlin"

Name "${NAME} ${VERSION}"
OutFile "${OUT}"
InstallDir "${PROGRAMS}\Tavlin"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Tavlin"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${BUILD}\ZorTavlinDllCom.dll"
  File "${BUILD}\ZorTavlinControle.exe"
  File "${BUILD}\tavlin.exe"
  File "${BUILD}\Tavlin.ico"
  SetOutPath "$INSTDIR\bitmap"
  File "${BUILD}\bitmap\*.png"
  SetOutPath "$INSTDIR"
  CreateDirectory "$SMPROGRAMS\Tavlin"
  CreateShortcut "$SMPROGRAMS\Tavlin\Tavlin.lnk" "$INSTDIR\ZorTavlinControle.exe" "" "$INSTDIR\Tavlin.ico"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tavlin.ico"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Tavlin\Tavlin.lnk"
  RMDir "$SMPROGRAMS\Tavlin"
  Delete "$INSTDIR\bitmap\*.png"
  RMDir "$INSTDIR\bitmap"
  Delete "$INSTDIR\ZorTavlinDllCom.dll"
  Delete "$INSTDIR\ZorTavlinControle.exe"
  Delete "$INSTDIR\tavlin.exe"
  Delete "$INSTDIR\Tavlin.ico"
  Delete "$INSTDIR\uninstall.exe"
  ; Only what this installer put there: an update folder the user added stays.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
