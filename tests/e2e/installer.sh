#!/usr/bin/env bash
# vantro-setup.exe run silently in a fresh prefix, as an administrator deploys
# it: a folder it cannot write refused before anything is written; the files,
# the kivra links with the launcher's own values, the Start-menu shortcut and
# the uninstall entry; a link through the shell's handler before the launcher
# was ever started; an upgrade that closes the running launcher and keeps the
# game folder; an uninstall that leaves nothing, and one that leaves a kivra
# key another program took over; and the refusal as a person sees it.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin installer
command -v chattr >/dev/null || { echo "e2e: chattr is missing (e2fsprogs)" >&2; exit 1; }

uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantro'
shortcut="$E2E_C/ProgramData/Microsoft/Windows/Start Menu/Programs/Vantro.lnk"
installed="$E2E_C/Program Files/Vantro"
exe='C:\Program Files\Vantro\vantro.exe'
link='kivra://spectator%7C127.0.0.1:8088%7Ckey%7C1/'
e2e_game_exe "$E2E_C/Games/LoL"

# value <key> <name, or empty for the default>: type and data as reg shows them.
value() {
  if [ -n "$2" ]; then e2e_registry "$1" /v "$2"; else e2e_registry "$1" /ve; fi |
    grep -o 'REG_[A-Z_]* .*'
}
# key <key>: "there" when the key exists.
key() { wine reg query "$1" >/dev/null 2>&1 && echo there; }
# uninstall: the uninstaller hands over to a copy of itself and ends at once;
# the copy removes the uninstall entry last.
uninstall() {
  wine 'C:\Program Files\Vantro\uninstall.exe' /S >/dev/null 2>&1
  local i
  for ((i = 0; i < 300; i++)); do
    [ -z "$(key "$uninstall_key")" ] && return
    sleep 0.1
  done
}
# nothing_left <what>: no file, key or shortcut of Vantro remains.
nothing_left() {
  e2e_expect "$1: the install folder is gone" "$([ -e "$installed" ] && echo "left: $(ls -A "$installed")")" ""
  e2e_expect "$1: the shortcut is gone" "$([ -e "$shortcut" ] && echo there)" ""
  e2e_expect "$1: the uninstall entry is gone" "$(key "$uninstall_key")" ""
}

mkdir -p "$E2E_C/locked"
chattr +i "$E2E_C/locked" || { echo "e2e: this file system cannot make a folder immutable" >&2; exit 1; }
trap 'chattr -i "$E2E_C/locked" 2>/dev/null; e2e_end' EXIT
e2e_install '/D=C:\locked\Vantro'
e2e_expect "a folder that cannot be written is refused" "$? $(ls -A "$E2E_C/locked")" "3 "
e2e_expect "refused: nothing registered" "$(key 'HKCR\kivra')$(key "$uninstall_key")" ""
# The launcher reads its settings through its own path in ANSI (code page
# 1252 here): a folder with Chinese characters is refused, also when silent.
# (No spaces: the shell would quote the argument, and /D= takes none.)
e2e_install '/D=C:\游戏\Vantro'
e2e_expect "a folder the ANSI code page cannot spell is refused" \
  "$? $([ -e "$E2E_C/游戏" ] && echo made)" "3 "
e2e_install '/D=C:\Jeuxé\Vantro'
e2e_expect "a folder it can spell is taken" "$? $(ls "$E2E_C/Jeuxé/Vantro")" "0 uninstall.exe
vantro.exe"
# Gone again, so the installs below do not follow its InstallLocation.
wine 'C:\Jeuxé\Vantro\uninstall.exe' /S >/dev/null 2>&1
for _ in $(seq 100); do [ -e "$E2E_C/Jeuxé/Vantro" ] || break; sleep 0.1; done
e2e_expect "and uninstalled from there" "$(key "$uninstall_key")" ""

e2e_install
e2e_expect "installed" "$?" 0
e2e_expect "installed files" "$(find "$installed" -mindepth 1 -printf '%f\n' | sort | tr '\n' ' ')" "uninstall.exe vantro.exe "
e2e_expect "the launcher as built" "$(cmp "$VANTRO_EXE" "$installed/vantro.exe" && echo same)" same
e2e_expect "scheme name" "$(value 'HKCR\kivra' '')" "REG_SZ    kivraProtocol"
e2e_expect "URL Protocol" "$(value 'HKCR\kivra' 'URL Protocol')" "REG_SZ    $exe"
e2e_expect "icon" "$(value 'HKCR\kivra\DefaultIcon' '')" "REG_SZ    $exe,1"
e2e_expect "open command" "$(value 'HKCR\kivra\shell\open\command' '')" "REG_SZ    \"$exe\" \"%1\""
entry=""
for name in DisplayName DisplayVersion Publisher DisplayIcon InstallLocation UninstallString \
  QuietUninstallString NoModify NoRepair; do
  entry+="$name=$(value "$uninstall_key" "$name")|"
done
e2e_expect "uninstall entry" "$entry" "$(printf '%s|' "DisplayName=REG_SZ    Vantro" \
  "DisplayVersion=REG_SZ    $VANTRO_VERSION" "Publisher=REG_SZ    Vantro" "DisplayIcon=REG_SZ    $exe" \
  'InstallLocation=REG_SZ    C:\Program Files\Vantro' \
  'UninstallString=REG_SZ    "C:\Program Files\Vantro\uninstall.exe"' \
  'QuietUninstallString=REG_SZ    "C:\Program Files\Vantro\uninstall.exe" /S' \
  "NoModify=REG_DWORD    0x1" "NoRepair=REG_DWORD    0x1")"
size=$(($(value "$uninstall_key" EstimatedSize | sed 's/.* //')))
e2e_expect "estimated size covers the launcher (KB)" \
  "$([ "$size" -ge "$(($(stat -c %s "$VANTRO_EXE") / 1024))" ] && echo yes)" yes
e2e_expect "Start-menu shortcut to the launcher" "$(grep -qaF "$exe" "$shortcut" 2>/dev/null && echo yes)" yes

# A marker the launcher would overwrite if it found its registration stale.
wine reg add 'HKCR\kivra' /v 'URL Protocol' /d marker /f >/dev/null 2>&1
e2e_use_installed
e2e_ini 'lol_path=C:\Games\LoL'
e2e_shell_open "$link"
e2e_expect "a link through the shell's handler reaches the installed launcher" "$(e2e_cmd_calls 1)" \
  "$(e2e_parameters 'C:\Games\LoL' 'spectator 127.0.0.1:8088 key 1')"
e2e_expect "the launcher found the installed registration current" \
  "$(value 'HKCR\kivra' 'URL Protocol')" "REG_SZ    marker"
e2e_close_main

# An older copy running while the new one is installed over it.
cp "$VANTRO_NOHOSTS_EXE" "$installed/vantro.exe"
e2e_start
e2e_main_window >/dev/null
e2e_install
e2e_expect "upgrade installed" "$?" 0
e2e_expect "the running launcher was asked to close and ended" "$(e2e_exit_code)" 0
e2e_expect "upgrade replaced the launcher" "$(cmp "$VANTRO_EXE" "$installed/vantro.exe" && echo same)" same
e2e_expect "upgrade kept the game folder" "$(e2e_ini_value lol_path)" 'C:\Games\LoL'

# What the tests put there is not the uninstaller's to remove.
rm -f "$installed/cmd.exe" "$E2E_CMD_LOG"
uninstall
nothing_left "uninstall"
e2e_expect "uninstall: the kivra links are gone" "$(key 'HKCR\kivra')" ""

e2e_install
wine reg add 'HKCR\kivra\shell\open\command' /ve /d '"C:\Other\other.exe" "%1"' /f >/dev/null 2>&1
uninstall
nothing_left "uninstall after another program took the links"
e2e_expect "another program's kivra links survive" "$(value 'HKCR\kivra\shell\open\command' '')" \
  'REG_SZ    "C:\Other\other.exe" "%1"'

# Run by a person: a box says why, and the folder page stays for another
# choice (the installer is left open; the test's end stops it).
(wine "$VANTRO_SETUP_EXE" '/D=C:\locked\Vantro' >/dev/null 2>&1) &
setup=$(e2e_robot wait '#32770' 20000)
e2e_robot press "$setup" 1 >/dev/null
e2e_expect "refused on the folder page: the box says why" \
  "$(sed -n 's/^text: //p' <<<"$(e2e_robot box 10000)")" '无法写入目标文件夹：\r\nC:\locked\Vantro\r\n请选择其他文件夹。'
e2e_expect "refused on the folder page: the page stays" \
  "$(e2e_robot dump "$setup" | grep -c 'class=Edit id=1019 .*text=C:\\locked\\Vantro$')" 1
e2e_finish
