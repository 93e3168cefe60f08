; An NSIS installer of the seed-sized package's files (solid LZMA), for start to
; first window and a silent install (/S /D=DIR)
; side by side with ours. makensis -DFILES=DIR -DOUT=EXE bench/nsis.nsi
Unicode true
SetCompressor /SOLID lzma
Name "Tovarin"
OutFile "${OUT}"
InstallDir "$PROGRAMFILES\Tovarin-NSIS"
RequestExecutionLevel admin
Page directory
Page instfiles
Section
  SetOutPath "$INSTDIR"
  File /r "${FILES}\*"
SectionEnd
