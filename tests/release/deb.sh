#!/usr/bin/env bash
# The Debian package as a person installs it: dpkg -i, then the Chromium and Firefox end-to-end
# cases against the installed host, found through the package's system-wide manifests alone (no
# registration for the user), then dpkg --purge and a check that none of its files, links or
# folders is left. The machine is restored on every path, failures included.
#   tests/release/deb.sh PACKAGE.deb TOOLS_BUILD_DIR CHROMIUM_KEY_FILE
# TOOLS_BUILD_DIR holds vault-writer and fake-desktop. Needs root, or sudo without a password;
# exits 77 (skipped) without them, and refuses to touch a quarn-host the machine already has.
set -euo pipefail
deb=$(realpath "$1")
tools=$(realpath "$2")
key=$(realpath "$3")
here=$(cd "$(dirname "$0")/.." && pwd)

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  if ! sudo -n true 2>/dev/null; then
    echo "skipped: installing a package needs root or sudo without a password"
    exit 77
  fi
  as_root=(sudo -n)
fi
if dpkg-query -W -f='${Status}' quarn-host 2>/dev/null | grep -qv "not-installed"; then
  echo "FAIL: quarn-host is already on this machine ($(dpkg-query -W -f='${Status}' quarn-host)); not touching it"
  exit 1
fi

# What the package may leave behind: its own files and links, and the folders it may create.
links=(/etc/opt/chrome/native-messaging-hosts/com.quarn.host.json
  /etc/opt/edge/native-messaging-hosts/com.quarn.host.json)
folders=(/etc/opt/chrome /etc/opt/chrome/native-messaging-hosts /etc/opt/edge
  /etc/opt/edge/native-messaging-hosts /etc/chromium/native-messaging-hosts
  /usr/lib/mozilla/native-messaging-hosts /usr/lib/mozilla /usr/libexec/quarn /usr/share/doc/quarn-host)
mapfile -t files < <(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's#^\./#/#; s#/$##' | grep -v '^/$')
existed=()
for f in "${folders[@]}"; do [ ! -e "$f" ] || existed+=("$f"); done

installed=0
restore() {
  if [ $installed -eq 1 ]; then
    "${as_root[@]}" dpkg --purge quarn-host >/dev/null 2>&1 || echo "FAIL: could not purge quarn-host"
    installed=0
  fi
}
trap restore EXIT
trap 'exit 130' INT TERM

status=0
check() { # what command...
  local what=$1
  shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; status=1; fi
}

installed=1
"${as_root[@]}" dpkg -i "$deb" >/dev/null
check "the host is at /usr/libexec/quarn/quarn-host" test -x /usr/libexec/quarn/quarn-host
check "quarn-host-register is in /usr/bin" test -x /usr/bin/quarn-host-register
for link in "${links[@]}"; do
  check "$link links to the Chromium manifest" \
    test "$(readlink "$link")" = /etc/chromium/native-messaging-hosts/com.quarn.host.json
done

for driver in chromium firefox; do
  echo "== $driver, through the installed manifests"
  node "$here/browser/$driver.mjs" --installed --bin "$tools" --key "$key" --timeout 60 || status=1
done

echo "== purge"
"${as_root[@]}" dpkg --purge quarn-host >/dev/null
installed=0
left=()
for f in "${files[@]}" "${links[@]}"; do
  [ -d "$f" ] && [ ! -L "$f" ] && continue
  if [ -e "$f" ] || [ -L "$f" ]; then left+=("$f"); fi
done
for f in "${folders[@]}"; do
  [[ " ${existed[*]} " == *" $f "* ]] && continue
  [ ! -e "$f" ] || left+=("$f/")
done
check "dpkg --purge leaves nothing${left[*]:+: ${left[*]}}" test ${#left[@]} -eq 0
check "dpkg knows no quarn-host" bash -c '! dpkg-query -W quarn-host >/dev/null 2>&1'
exit $status
