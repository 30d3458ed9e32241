; The Windows installer: 64-bit, per user, no administrator rights, into
; %LOCALAPPDATA%\Programs\KOVANT. Made by scripts/package-windows, which
; passes VERSION, STAGE (the folder of files to install) and OUTFILE.
; The uninstaller removes what was installed, by name, and nothing else:
; the user's settings (%APPDATA%\KOVANT) and data (%LOCALAPPDATA%\KOVANT)
; stay.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

Name "KOVANT"
Caption "KOVANT ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\KOVANT"
ShowInstDetails show
ShowUninstDetails show

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\KOVANT"

LoadLanguageFile "${NSISDIR}\Contrib\Language files\Japanese.nlf"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1041 "ProductName" "KOVANT"
VIAddVersionKey /LANG=1041 "FileDescription" "KOVANT インストーラー"
VIAddVersionKey /LANG=1041 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "LegalCopyright" "KOVANT developers"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "KOVANT"
  SetOutPath "$INSTDIR"
  !include "${STAGE}\files.nsh"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateDirectory "$SMPROGRAMS\KOVANT"
  !ifdef HAVE_GUI
    CreateShortcut "$SMPROGRAMS\KOVANT\KOVANT.lnk" "$INSTDIR\kovant.exe"
  !else
    CreateShortcut "$SMPROGRAMS\KOVANT\KOVANT (コマンド).lnk" "$SYSDIR\cmd.exe" '/k "cd /d "$INSTDIR" && kovant-lookup --help"'
  !endif
  CreateShortcut "$SMPROGRAMS\KOVANT\KOVANT のアンインストール.lnk" "$INSTDIR\uninstall.exe"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayName" "KOVANT"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINST_KEY}" "Publisher" "KOVANT developers"
  WriteRegStr HKCU "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  !include "${STAGE}\unfiles.nsh"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: whatever else the user put there stays.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\KOVANT\KOVANT.lnk"
  Delete "$SMPROGRAMS\KOVANT\KOVANT (コマンド).lnk"
  Delete "$SMPROGRAMS\KOVANT\KOVANT のアンインストール.lnk"
  RMDir "$SMPROGRAMS\KOVANT"
  DeleteRegKey HKCU "${UNINST_KEY}"
SectionEnd
