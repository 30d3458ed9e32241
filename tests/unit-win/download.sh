#!/usr/bin/env bash
# The download through WinHTTP under Wine, from a local HTTP server that
# serves Japan Post's files: kovant-mkdic.exe --download saves them byte for
# byte, --update builds and installs the dictionary into KOVANT_HOME, and a
# missing file or another scheme is an error with its message.
# Usage: download.sh BIN_DIR JAPANPOST_DIR   (inside scripts/with-wine)
set -euo pipefail
bin=$1 data=$2
run=$(cd "$(dirname "$0")/../.." && pwd)/scripts/wine-run
work=$(mktemp -d)
server=""
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/site" "$work/saved" "$work/home"
cp "$data/ken_all.zip" "$data/jigyosyo.zip" "$work/site/"
python3 -c '
import functools, http.server, sys
handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=sys.argv[1])
s = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
open(sys.argv[2], "w").write(str(s.server_address[1]))
s.serve_forever()' "$work/site" "$work/port.tmp" 2>/dev/null &
server=$!
for _ in $(seq 100); do
  [ -s "$work/port.tmp" ] && break
  sleep 0.1
done
[ -s "$work/port.tmp" ] || { echo "FAIL: the HTTP server did not start"; exit 1; }
url=http://127.0.0.1:$(cat "$work/port.tmp")
status=0
fail() { echo "FAIL: $*"; status=1; }
win() { "$run" winepath -w "$1" 2>/dev/null | tr -d '\r'; }

"$run" "$bin/kovant-mkdic.exe" --download "$(win "$work/saved")" --from "$url" >"$work/out" 2>&1 ||
  fail "--download: $(cat "$work/out")"
for f in ken_all.zip jigyosyo.zip; do
  cmp -s "$work/site/$f" "$work/saved/$f" || fail "$f not saved byte for byte"
done
KOVANT_HOME=$(win "$work/home") "$run" "$bin/kovant-mkdic.exe" --update -q --from "$url" >"$work/out" 2>&1 ||
  fail "--update: $(cat "$work/out")"
answer=$("$run" "$bin/kovant-lookup.exe" --dic "$(win "$work/home")\\KOVANT.DIC" 1000001 | tr -d '\r') || true
grep -qF $'東京都\t千代田区\t千代田' <<<"$answer" || fail "the updated dictionary answered: $answer"

if "$run" "$bin/kovant-mkdic.exe" --download "$(win "$work/saved")" --from "$url/missing" >"$work/out" 2>&1; then
  fail "a missing file was no error"
fi
grep -q "HTTP 404" "$work/out" || fail "a missing file: $(cat "$work/out")"
if "$run" "$bin/kovant-mkdic.exe" --download "$(win "$work/saved")" --from "ftp://127.0.0.1/" >"$work/out" 2>&1; then
  fail "ftp was no error"
fi
grep -q "http と https のほかは使えません" "$work/out" || fail "ftp: $(cat "$work/out")"
[ $status -eq 0 ] && echo "downloaded through WinHTTP, updated, errors reported"
exit $status
