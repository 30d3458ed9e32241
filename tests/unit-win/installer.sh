#!/usr/bin/env bash
# The installer under Wine: made by scripts/package-windows, installed
# silently into a folder of the test's own, the installed kovant-lookup.exe
# answers from the installed dictionary, the Start-menu entry and the
# uninstall entry exist; the uninstaller (which returns before it has
# finished) removes all it installed and keeps the user's settings.
# Usage: installer.sh BUILD_DIR   (inside scripts/with-wine)
set -euo pipefail
build=$(realpath "$1")
here=$(cd "$(dirname "$0")/../.." && pwd)
run=$here/scripts/wine-run
KOVANT_PACKAGE_NO_BUILD=1 "$here/scripts/package-windows" "$build" >/dev/null
installer=$(ls "$build"/package/kovant-*-win64.exe)

unix() { "$run" winepath -u "$1" 2>/dev/null | tr -d '\r'; }
windir() { "$run" cmd /c echo "$1" 2>/dev/null | tr -d '\r'; }
target="C:\\kovant-install-test-$$"
target_unix=$(unix "$target")
settings_unix=$(unix "$(windir '%APPDATA%')\\KOVANT")
menu_unix=$(unix "$(windir '%APPDATA%')\\Microsoft\\Windows\\Start Menu\\Programs\\KOVANT")
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\KOVANT'
status=0
fail() { echo "FAIL: $*"; status=1; }
cleanup() { rm -rf "$target_unix" "$settings_unix/installer-test.ini"; }
trap cleanup EXIT

"$run" "$installer" /S "/D=$target"
for f in kovant-lookup.exe kovant-mkdic.exe kovant-link.exe KOVANT.DIC uninstall.exe LICENSE.txt; do
  [ -e "$target_unix/$f" ] || fail "not installed: $f"
done
[ -n "$(ls "$menu_unix"/*.lnk 2>/dev/null)" ] || fail "no Start-menu entry in $menu_unix"
"$run" reg query "$key" /v DisplayName >/dev/null 2>&1 || fail "no uninstall entry $key"
answer=$("$run" "$target_unix/kovant-lookup.exe" 1000001 | tr -d '\r') || true
grep -qF $'100-0001\t100\t東京都\t千代田区\t千代田' <<<"$answer" || fail "installed kovant-lookup answered: $answer"

# The user's settings, which the uninstaller must keep.
mkdir -p "$settings_unix"
printf '[Parms]\r\nMarkSet=1\r\n' >"$settings_unix/installer-test.ini"
"$run" "$target_unix/uninstall.exe" /S
# The uninstaller copies itself away and returns at once: wait for its work.
for _ in $(seq 600); do
  [ -e "$target_unix" ] || break
  sleep 0.1
done
[ ! -e "$target_unix" ] || fail "left after uninstalling: $(ls -A "$target_unix")"
[ ! -e "$menu_unix" ] || fail "Start-menu entry left: $menu_unix"
"$run" reg query "$key" >/dev/null 2>&1 && fail "uninstall entry left: $key"
[ -e "$settings_unix/installer-test.ini" ] || fail "the user's settings were removed"
[ $status -eq 0 ] && echo "installed, answered, uninstalled; settings kept"
exit $status
