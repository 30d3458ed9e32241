#!/usr/bin/env bash
# kovant-mkdic.exe builds KOVANT.DIC from Japan Post's zip files (read by
# our zip reader, widened without ICU under Wine) and kovant-lookup.exe
# answers from it: a code, a Japanese argument, a reading, an address;
# damaged dictionaries and an output that cannot be written are refused;
# both name paths and folders the Windows way.
# Usage: national.sh BIN_DIR JAPANPOST_DIR
set -euo pipefail
bin=$1 data=$2
run=$(cd "$(dirname "$0")/../.." && pwd)/scripts/wine-run
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$data/ken_all.zip" "$data/jigyosyo.zip" "$work/"
cd "$work"
"$run" "$bin/kovant-mkdic.exe" -q -o KOVANT.DIC --offices jigyosyo.zip ken_all.zip
status=0
expect() {
  local want=$1
  shift
  local got
  got=$("$run" "$bin/kovant-lookup.exe" --dic KOVANT.DIC "$@" | tr -d '\r') || true
  if ! grep -qF -- "$want" <<<"$got"; then
    echo "FAIL: kovant-lookup $*: want a line with: $want"
    echo "got: $got"
    status=1
  fi
}
expect $'100-0001\t100\t東京都\t千代田区\t千代田' 1000001
expect $'東京都\t千代田区\t千代田\t一致' --address 東京都千代田区千代田
expect $'北海道\t夕張市\t千代田' --find 千代田 --limit 5
# A reading in katakana needs no ICU (Wine has none): it finds the towns
# only when the dictionary holds its readings full-width, as Linux builds it.
expect $'北海道\t函館市\t大手町' --find オオテマチ --limit 5

# A damaged or missing dictionary, and a dictionary written where no folder
# can be: a message naming the file and a failing exit status, no answer.
refuse() {
  local want=$1
  shift
  local got rc=0
  got=$("$run" "$@" 2>&1 | tr -d '\r') || rc=$?
  if [ $rc -eq 0 ] || ! grep -qF -- "$want" <<<"$got"; then
    echo "FAIL: $*: want a failure saying: $want (exit $rc)"
    echo "got: $got"
    status=1
  fi
}
head -c 5000 KOVANT.DIC >cut.DIC
: >empty.DIC
refuse 'cut.DIC 辞書の' "$bin/kovant-lookup.exe" --dic cut.DIC 1000001
refuse '辞書のバージョンが違います。' "$bin/kovant-lookup.exe" --dic empty.DIC 1000001
refuse 'absent.DIC' "$bin/kovant-lookup.exe" --dic absent.DIC 1000001
refuse 'cut.DIC' "$bin/kovant-mkdic.exe" -q -o 'cut.DIC\KOVANT.DIC' ken_all.zip
# Paths and folders the Windows way: an update into a folder a file stands
# in the way of fails naming it with "\" only, --info names a dictionary
# given with "/" with "\", --help names the Windows folders.
printf x >blocker
here=$("$run" winepath -w "$work" 2>/dev/null | tr -d '\r')
forward=${here//\\//}
if got=$(KOVANT_SYSTEM_DIR="$forward/blocker/sub" "$run" "$bin/kovant-mkdic.exe" --update --system \
  --from http://127.0.0.1:9/ 2>&1 | tr -d '\r'); then
  echo "FAIL: an update into a blocked folder succeeded"
  status=1
fi
if ! grep -qF "kovant-mkdic: $here\\blocker\\sub: 作れません（" <<<"$got" || [[ $got == */* ]]; then
  echo "FAIL: the failed update said: $got"
  status=1
fi
got=$("$run" "$bin/kovant-lookup.exe" --info --dic "$forward/KOVANT.DIC" | tr -d '\r') || true
if ! grep -qxF "辞書: $here\\KOVANT.DIC" <<<"$got"; then
  echo "FAIL: --info said: $got"
  status=1
fi
# --ini given the Windows way is read (no "〒" mark with MarkSet=1).
printf '[Parms]\r\nMarkSet=1\r\n' >custom.ini
got=$("$run" "$bin/kovant-lookup.exe" --dic KOVANT.DIC --copy --ini "$here\\custom.ini" 1000001 | tr -d '\r') || true
if [[ $got != 100-0001* ]]; then
  echo "FAIL: --copy --ini $here\\custom.ini said: $got"
  status=1
fi
for tool in kovant-mkdic kovant-lookup; do
  got=$("$run" "$bin/$tool.exe" --help | tr -d '\r') || true
  for folder in '%LOCALAPPDATA%\KOVANT' '%APPDATA%\KOVANT' '%ProgramData%\KOVANT' 'uninstall.exe'; do
    grep -qF -- "$folder" <<<"$got" || { echo "FAIL: $tool --help lacks $folder"; status=1; }
  done
  if grep -q 'XDG\|/var/lib' <<<"$got"; then
    echo "FAIL: $tool --help names Linux folders: $got"
    status=1
  fi
done
[ $status -eq 0 ] && echo "kovant-mkdic.exe and kovant-lookup.exe: national dictionary built and answered"
exit $status
