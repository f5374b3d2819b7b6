; The benchmarks' peer: an installer of the same files made with makensis (Debian package nsis),
; zlib-compressed file by file (its default, not solid), of the same architecture as the program
; it is measured against. It does what our quiet install does, short of removing earlier versions
; and starting the application: unpacks every file into the user's local application data, writes
; its uninstaller and an uninstall entry, and makes a Start-menu shortcut.
;
;   makensis -DTREE=<folder> -DOUT=<program> -DTARGET=x86-unicode|amd64-unicode peer-installer.nsi
;
; Run it with /S; its uninstaller ("uninstall.exe" in the folder) with /S as well.
Target ${TARGET}
SetCompressor zlib
Name "Lexmora benchmark peer"
OutFile "${OUT}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Apps\Lexmora Peer"
!define ENTRY "Software\Microsoft\Windows\CurrentVersion\Uninstall\LexmoraPeer"

Section
  SetOutPath "$INSTDIR"
  File /r "${TREE}/*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKCU "${ENTRY}" "DisplayName" "Lexmora benchmark peer"
  WriteRegStr HKCU "${ENTRY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${ENTRY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  CreateDirectory "$STARTMENU\Kelvora Peer"
  CreateShortCut "$STARTMENU\Kelvora Peer\Lexmora.lnk" "$INSTDIR\lexmora.exe"
SectionEnd

Section Uninstall
  RMDir /r "$INSTDIR"
  RMDir /r "$STARTMENU\Kelvora Peer"
  DeleteRegKey HKCU "${ENTRY}"
SectionEnd
