; The reference installer make bench measures the setup against, built by
; benchmarks/run-bench with Debian's makensis:
;
;   makensis -DPAYLOAD=DIR -DOUTFILE=FILE [-DOFFERS=DIR] [-DTARGET=amd64-unicode]
;            [-DCOMPRESSOR="/SOLID lzma"] TonvaneReference.nsi
;
; In the setup's spirit: the same application folder (PAYLOAD) and partner
; installers with their terms (OFFERS, unpacked beside the install as the
; setup stages them), Welcome, folder, components, progress and finish
; pages, English and Japanese, Start menu and desktop links, an uninstaller
; and an uninstall entry. zlib, as the setup's archive is deflated; the
; setup's solid form is measured against "/SOLID zlib" and "/SOLID lzma"
; (COMPRESSOR).

!ifdef TARGET
  Target ${TARGET}
!endif
Unicode true
!ifdef COMPRESSOR
  SetCompressor ${COMPRESSOR}
!else
  SetCompressor zlib
!endif

!include "MUI2.nsh"

!define PRODUCT "Tonvane Free"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tonvane Free Reference"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\${PRODUCT}"
RequestExecutionLevel admin

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

Section "${PRODUCT}" SectionApplication
  SectionIn RO
  SetOutPath "$INSTDIR"
  File /r "${PAYLOAD}/*"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "5.2.1.1"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Marrowfen"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tonvane.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "http://www.marrowfen.example/"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Links" SectionLinks
  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\Tonvane.exe"
  CreateShortcut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\Tonvane.exe"
SectionEnd

!ifdef OFFERS
Section "-Partner installers"
  InitPluginsDir
  SetOutPath "$PLUGINSDIR"
  File /r "${OFFERS}/*"
  SetOutPath "$INSTDIR"
SectionEnd
!endif

Section "Uninstall"
  Delete "$DESKTOP\${PRODUCT}.lnk"
  RMDir /r "$SMPROGRAMS\${PRODUCT}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  RMDir /r "$INSTDIR"
SectionEnd
