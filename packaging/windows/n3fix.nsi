; The Windows installer of n3fix: installs the programs for the current user, without
; administrator rights, with Start-menu shortcuts and an entry in the user's installed programs,
; and writes the uninstaller, which removes exactly what was installed and never the user's data.
;
; Built by scripts/build-windows with Debian's makensis, which passes:
;   VERSION      the project's version, 1.0.0
;   STAGE        the folder of the files to install (the zip's folder)
;   ICON         the program's icon (.ico)
;   OUTFILE      the installer to write
;   DEFINITIONS  an include written from the stage and the program's version record: the names
;                and version strings (N3_DISPLAY_NAME, N3_PRODUCT_NAME, N3_FILE_VERSION,
;                N3_COPYRIGHT, N3_PUBLISHER) and the macros N3InstallFiles and N3RemoveFiles,
;                which name every file of the stage one by one
;
; Command line, besides NSIS's own /S (silent) and /D=folder (where to install, given last):
;   /NODESKTOP   no desktop shortcut (one is made by default, silently too)
;
; A newer version installed over an older one first runs the older one's uninstaller silently, in
; its own folder: it removes the files that version installed, by name, and its shortcuts, and
; leaves the data; the new files are then installed. The data folder (%LOCALAPPDATA%\n3fix, or
; wherever the user chose, with the repair journals in it) and the settings
; (HKCU\Software\n3fix) are never touched by either.

Unicode true
Target amd64-unicode  ; the programs are 64-bit; a 64-bit installer also runs on Wine without 32-bit support
ManifestSupportedOS all
ManifestDPIAware true
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include "${DEFINITIONS}"
!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\n3fix"
!define MENU_FOLDER "$SMPROGRAMS\${N3_DISPLAY_NAME}"
!define DESKTOP_LINK "$DESKTOP\${N3_DISPLAY_NAME}.lnk"

Name "${N3_DISPLAY_NAME}"
Caption "${N3_DISPLAY_NAME} ${VERSION} 安装"
UninstallCaption "${N3_DISPLAY_NAME} ${VERSION} 卸载"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\n3fix"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${N3_DISPLAY_NAME} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

; The installer's version record, in the words of the program's own.
VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=2052 "ProductName" "${N3_PRODUCT_NAME}"
VIAddVersionKey /LANG=2052 "ProductVersion" "${N3_FILE_VERSION}"
VIAddVersionKey /LANG=2052 "FileVersion" "${N3_FILE_VERSION}"
VIAddVersionKey /LANG=2052 "FileDescription" "${N3_DISPLAY_NAME} 安装程序"
VIAddVersionKey /LANG=2052 "CompanyName" "${N3_PUBLISHER}"
VIAddVersionKey /LANG=2052 "LegalCopyright" "${N3_COPYRIGHT}"
VIAddVersionKey /LANG=2052 "OriginalFilename" "n3fix-${VERSION}-setup.exe"

; ---- Pages ------------------------------------------------------------------------------------
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC

!define MUI_WELCOMEPAGE_TEXT "本向导将在这台电脑上为当前用户安装 ${N3_DISPLAY_NAME} ${VERSION}。$\r$\n$\r$\n\
安装不需要管理员权限。帐套数据和修复日志不在程序文件夹中，以后卸载或升级都会保留它们。$\r$\n$\r$\n\
$_CLICK"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\n3fix.exe"
!define MUI_FINISHPAGE_RUN_TEXT "打开 ${N3_DISPLAY_NAME}"
!define MUI_FINISHPAGE_SHOWREADME
!define MUI_FINISHPAGE_SHOWREADME_TEXT "查看使用说明"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!define MUI_FINISHPAGE_SHOWREADME_FUNCTION ShowGuide
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "SimpChinese"

; ---- The program is not running ---------------------------------------------------------------
; A running n3fix.exe can't be opened for writing; its files could then be neither replaced nor
; removed, and a repair it is running would be cut off. The user closes it and tries again, or
; gives up; silently, the installer or uninstaller ends with status 2 and changes nothing.
!macro N3ProgramClosed folder
  ${If} ${FileExists} "${folder}\n3fix.exe"
    ${Do}
      ClearErrors
      FileOpen $0 "${folder}\n3fix.exe" a
      ${IfNot} ${Errors}
        FileClose $0
        ${Break}
      ${EndIf}
      ${If} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${N3_DISPLAY_NAME} 正在运行（${folder}\n3fix.exe）。$\r$\n$\r$\n请先关闭它的所有窗口，再点“重试”。" /SD IDCANCEL IDCANCEL`
        SetErrorLevel 2
        Quit
      ${EndIf}
    ${Loop}
  ${EndIf}
!macroend

; ---- Installing -------------------------------------------------------------------------------
Section "${N3_DISPLAY_NAME}（必需）" SecProgram
  SectionIn RO

  ; an earlier installation: its own uninstaller removes what it installed, in its own folder
  ReadRegStr $R0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $R0 != ""
  ${AndIf} ${FileExists} "$R0\uninstall.exe"
    DetailPrint "正在卸载以前安装的版本：$R0"
    ClearErrors
    ExecWait '"$R0\uninstall.exe" /S _?=$R0' $R1
    ${If} ${Errors}
    ${OrIf} $R1 != 0
      MessageBox MB_OK|MB_ICONSTOP "无法卸载以前安装的版本（$R0），什么也没有改动。$\r$\n$\r$\n\
如果 ${N3_DISPLAY_NAME} 正在运行，请先关闭它再安装。" /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
    Delete "$R0\uninstall.exe"  ; run in place, it could not remove itself
    RMDir "$R0"
  ${EndIf}
  !insertmacro N3ProgramClosed "$INSTDIR"

  !insertmacro N3InstallFiles
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; the shortcuts start in the program's folder
  CreateDirectory "${MENU_FOLDER}"
  CreateShortcut "${MENU_FOLDER}\${N3_DISPLAY_NAME}.lnk" "$INSTDIR\n3fix.exe" "" \
    "$INSTDIR\n3fix.exe" 0 SW_SHOWNORMAL "" "修正N3财务软件数据库中的科目余额和末级科目标志"
  CreateShortcut "${MENU_FOLDER}\检查和修复.lnk" "$INSTDIR\n3fix.exe" "--check-window" \
    "$INSTDIR\n3fix.exe" 0 SW_SHOWNORMAL "" "检查每个帐套的当前年度，并修复查出的问题"
  CreateShortcut "${MENU_FOLDER}\修复日志.lnk" "$INSTDIR\n3fix.exe" "--journal-window" \
    "$INSTDIR\n3fix.exe" 0 SW_SHOWNORMAL "" "查看做过的修复，并撤销修复"
  CreateShortcut "${MENU_FOLDER}\选择数据位置.lnk" "$INSTDIR\n3fix.exe" "--choose-data" \
    "$INSTDIR\n3fix.exe" 0 SW_SHOWNORMAL "" "选择帐套数据所在的位置：演示数据、SQL Server 或文件夹"
  CreateShortcut "${MENU_FOLDER}\使用说明.lnk" "$INSTDIR\n3fix.exe" "--guide" \
    "$INSTDIR\n3fix.exe" 0 SW_SHOWNORMAL "" "${N3_DISPLAY_NAME} 使用说明"
  CreateShortcut "${MENU_FOLDER}\卸载.lnk" "$INSTDIR\uninstall.exe" "" \
    "$INSTDIR\uninstall.exe" 0 SW_SHOWNORMAL "" "卸载 ${N3_DISPLAY_NAME}（保留数据和修复日志）"

  ; the entry in the user's installed programs
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${N3_DISPLAY_NAME}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${N3_PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\n3fix.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize ${SecProgram} $R2  ; in KB, as the list wants it
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $R2
SectionEnd

Section "桌面快捷方式" SecDesktop
  SetOutPath "$INSTDIR"
  CreateShortcut "${DESKTOP_LINK}" "$INSTDIR\n3fix.exe" "" \
    "$INSTDIR\n3fix.exe" 0 SW_SHOWNORMAL "" "修正N3财务软件数据库中的科目余额和末级科目标志"
SectionEnd

Function .onInit
  SetShellVarContext current
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/NODESKTOP" $R1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecDesktop}
  ${EndIf}
FunctionEnd

Function ShowGuide
  Exec '"$INSTDIR\n3fix.exe" --guide'
FunctionEnd

; ---- Uninstalling -----------------------------------------------------------------------------
; Only what the installer put there, each file by its name; a folder goes only when it is empty.
Section "Uninstall"
  !insertmacro N3ProgramClosed "$INSTDIR"

  !insertmacro N3RemoveFiles
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  Delete "${MENU_FOLDER}\${N3_DISPLAY_NAME}.lnk"
  Delete "${MENU_FOLDER}\检查和修复.lnk"
  Delete "${MENU_FOLDER}\修复日志.lnk"
  Delete "${MENU_FOLDER}\选择数据位置.lnk"
  Delete "${MENU_FOLDER}\使用说明.lnk"
  Delete "${MENU_FOLDER}\卸载.lnk"
  RMDir "${MENU_FOLDER}"
  Delete "${DESKTOP_LINK}"

  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

Function un.onInit
  SetShellVarContext current
FunctionEnd
