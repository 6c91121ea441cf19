#!/usr/bin/env bash
# The real host under Valgrind memcheck: a version-2 unlock and a live session must show no
# invalid access and no leak.   memcheck.sh BUILD_DIR
set -euo pipefail
bin=$1
work=$(mktemp -d)
fake_pid=
cleanup() {
  [ -n "$fake_pid" ] && kill "$fake_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

command -v valgrind >/dev/null || { echo "FAIL: valgrind is not installed (dev/bootstrap)"; exit 1; }

frame() {  # the body behind its 4-byte little-endian length
  local body=$1 n
  n=$(LC_ALL=C; printf '%s' "$body" | wc -c)
  printf "\\x$(printf %02x $((n & 255)))\\x$(printf %02x $(((n >> 8) & 255)))"
  printf "\\x$(printf %02x $(((n >> 16) & 255)))\\x$(printf %02x $(((n >> 24) & 255)))"
  printf '%s' "$body"
}

check() {  # check NAME EXPECTED-SUBSTRING REQUEST [env...]
  local name=$1 expected=$2 request=$3
  shift 3
  frame "$request" > "$work/in"
  if ! env "$@" valgrind -q --error-exitcode=99 --leak-check=full \
      --errors-for-leak-kinds=definite,indirect,possible --show-leak-kinds=definite,indirect,possible \
      "$bin/quarn-host" < "$work/in" > "$work/out" 2> "$work/valgrind.log"; then
    echo "FAIL $name: memcheck found errors"
    cat "$work/valgrind.log"
    exit 1
  fi
  if ! tail -c +5 "$work/out" | grep -qF -- "$expected"; then
    echo "FAIL $name: unexpected reply: $(tail -c +5 "$work/out")"
    exit 1
  fi
  echo "ok   $name"
}

echo '[{"id":"e1","title":"T\u00eftre","username":"u","password":"p","url":"https://x","last_modified":7}]' > "$work/entries.json"
"$bin/vault-writer" --version 2 --password 'pw' --out "$work/v2.qv" --entries-json "$work/entries.json" >/dev/null
check "unlock v2" '"password":"p","title":"Tïtre"' "{\"cmd\":\"unlock\",\"path\":\"$work/v2.qv\",\"password\":\"pw\"}"
check "unlock v2, wrong password" '"Mot de passe incorrect."' "{\"cmd\":\"unlock\",\"path\":\"$work/v2.qv\",\"password\":\"px\"}"

mkdir -p "$work/home/.quarn"
"$bin/fake-desktop" --state-dir "$work/home/.quarn" --answer '{"ok":true,"data":{"entries":[]}}' > "$work/port" &
fake_pid=$!
for _ in $(seq 50); do [ -s "$work/port" ] && break; sleep 0.1; done
check "live session" '{"data":{"entries":[]},"ok":true}' '{"cmd":"try_live_session"}' HOME="$work/home"
check "ping" '"version":"2.0.0"' '{"cmd":"ping"}'
echo "4 passed, 0 failed"
