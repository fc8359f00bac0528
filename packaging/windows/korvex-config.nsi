; Per-user installer for the Windows configurator: no administrator rights, installs under the
; user's local application data, a Start-menu entry, an entry in Apps & features, an uninstaller.
; Built by scripts/package-windows:
;   makensis -DVERSION=1.0.0 -DEXE=path/korvex-config.exe -DREADME=path/README.txt
;            -DLICENSE=path/LICENSE.txt -DOUTFILE=path/setup.exe [-DICON=path/korvex-config.ico]
;            korvex-config.nsi

!ifndef VERSION
  !error "define VERSION (see the top of this file)"
!endif
!ifndef EXE
  !error "define EXE (see the top of this file)"
!endif
!ifndef README
  !error "define README (see the top of this file)"
!endif
!ifndef LICENSE
  !error "define LICENSE (see the top of this file)"
!endif
!ifndef OUTFILE
  !error "define OUTFILE (see the top of this file)"
!endif

!define PRODUCT "Korvex Rotary Encoders Configuration"
!define PUBLISHER "Korvex"
; The key name is what the test and other tools look for; keep it stable across versions.
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\KorvexConfig"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"

Unicode true
; The program is x64 only, and so is the installer: Debian's wine64 runs no 32-bit programs.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

Name "${PRODUCT}"
BrandingText "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
; A reinstall or upgrade goes where the user put the first one.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

; The installer's own file properties.
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "Copyright (c) 2026 the ${PRODUCT} authors, MIT licence"

!include "MUI2.nsh"
!include "FileFunc.nsh"

!ifdef ICON
  !define MUI_ICON "${ICON}"
  !define MUI_UNICON "${ICON}"
!endif
!define MUI_ABORTWARNING
; Modern UI's default welcome text speaks of system files; this installer touches none.
!define MUI_WELCOMEPAGE_TEXT "This installs ${PRODUCT} ${VERSION} for your user account only: \
no administrator rights are needed, and nothing outside its folder, its Start-menu entry and its \
entry in Apps and features is changed.$\r$\n$\r$\nClick Next to continue."
; The MIT licence asks nothing of the user who installs, so the page shows it with a Next button
; rather than an "I Agree" one.
!define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"
!define MUI_LICENSEPAGE_TEXT_BOTTOM "${PRODUCT} is free software under the MIT licence above. \
Click Next to continue."
!define MUI_FINISHPAGE_RUN "$INSTDIR\korvex-config.exe"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Install"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File "/oname=korvex-config.exe" "${EXE}"
  File "/oname=README.txt" "${README}"
  File "/oname=LICENSE.txt" "${LICENSE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The shortcut takes its icon from the program's own icon resource.
  CreateShortCut "${SHORTCUT}" "$INSTDIR\korvex-config.exe" "" "$INSTDIR\korvex-config.exe" 0 \
    SW_SHOWNORMAL "" "Configure Korvex rotary-encoder boards"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\korvex-config.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Removes exactly what the installer put there; the folder goes only if nothing else is in it,
; so a user who installed into a folder of their own keeps their files.
Section "Uninstall"
  SetShellVarContext current
  Delete "${SHORTCUT}"
  Delete "$INSTDIR\korvex-config.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
