#!/usr/bin/env bash
# The release artifacts installed and removed as people do. Builds the .deb and the .msi with a
# test extension's ids (dev/release), and the .msi once more as an older version, then runs
#   tests/release/deb.sh   the .deb installed, used by Chromium and Firefox, purged
#   tests/release/msi.mjs  the .msi under Wine: upgrade, keys, manifests, host, uninstall
#   tests/release/artifacts.sh [TOOLS_BUILD_DIR]   (default build/release: vault-writer, fake-desktop)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
tools=${1:-build/release}
work=build/release-test
rm -rf "$work"
mkdir -p "$work/tmp"
# Temporary files (the Wine prefix, the browsers' profiles) stay here, away from a shared /tmp.
export TMPDIR=$root/$work/tmp
started=$(date +%s)

# A Chromium extension key made for the run gives the id the package is built for.
key=$work/extension.key
node -e '
  const { generateKeyPairSync } = require("node:crypto");
  const { publicKey } = generateKeyPairSync("rsa", { modulusLength: 2048,
    publicKeyEncoding: { type: "spki", format: "der" }, privateKeyEncoding: { type: "pkcs8", format: "pem" } });
  process.stdout.write(publicKey.toString("base64"));' >"$key"
extension_id=$(node tests/browser/chromium.mjs --key "$key" --print-extension-id)
firefox_id=host-e2e@quarn.test
ids=(--extension-id "$extension_id" --firefox-id "$firefox_id")

dev/release --out "$work/dist" --only deb --only msi "${ids[@]}"
dev/release --out "$work/older" --only msi --version-override 1.9.9 "${ids[@]}"
echo "== release builds: $(($(date +%s) - started)) s"

status=0
echo "== the .deb"
deb_status=0
tests/release/deb.sh "$work"/dist/quarn-host_*_amd64.deb "$tools" "$key" || deb_status=$?
# 77: no root and no sudo here, said by deb.sh; not a failure of the package.
[ $deb_status -eq 0 ] || [ $deb_status -eq 77 ] || status=1
echo "== the .msi under Wine"
node tests/release/msi.mjs --msi "$(ls "$work"/dist/*.msi)" --older "$(ls "$work"/older/*.msi)" \
  --tools "$tools" --wine-run cmake/wine-run "${ids[@]}" || status=1
echo "== release artifacts: $([ $status -eq 0 ] && echo passed || echo FAILED), $(($(date +%s) - started)) s"
exit $status
