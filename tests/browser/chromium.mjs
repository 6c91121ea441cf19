// End-to-end test in headless Chromium: a test extension whose service worker sends each case's
// request with chrome.runtime.sendNativeMessage; the host's manifests are written by
// quarn-host-register into a fresh --user-data-dir (or, with --installed, the package's manifest
// in /etc/chromium/native-messaging-hosts is read). See common.mjs for the options, and:
//   --key FILE             the extension's public key (base64 of its DER), for a known id;
//                          without it a key is made for the run
//   --print-extension-id   prints the id that key gives, and exits
import { createHash, generateKeyPairSync } from 'node:crypto';
import { mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { parseArgs } from 'node:util';

import { installedRegister, runBrowserTest } from './common.mjs';

const { values: options } = parseArgs({
  options: { key: { type: 'string' }, 'print-extension-id': { type: 'boolean' } },
  strict: false,
});
// The extension id comes from its key: the first 32 hex digits of the SHA-256 of the public
// key's DER, with 0-f written as a-p.
const publicKey = options.key
  ? Buffer.from(readFileSync(options.key, 'utf8').trim(), 'base64')
  : generateKeyPairSync('rsa', {
    modulusLength: 2048,
    publicKeyEncoding: { type: 'spki', format: 'der' },
    privateKeyEncoding: { type: 'pkcs8', format: 'pem' },
  }).publicKey;
const extensionId = [...createHash('sha256').update(publicKey).digest('hex').slice(0, 32)]
  .map((c) => String.fromCharCode(97 + parseInt(c, 16))).join('');
if (options['print-extension-id']) {
  console.log(extensionId);
  process.exit(0);
}
const extensionDir = (t) => join(t.work, 'extension');

await runBrowserTest({
  name: 'Chromium',
  defaultPath: '/usr/bin/chromium',
  exitGraceMs: 5000,
  manifest: () => ({
    manifest_version: 3,
    key: publicKey.toString('base64'),
    background: { service_worker: 'background.js' },
    host_permissions: ['http://127.0.0.1/*'],
  }),
  install(t, files) {
    mkdirSync(extensionDir(t));
    for (const [name, text] of Object.entries(files)) writeFileSync(join(extensionDir(t), name), text);
  },
  register(t, name, hostPath) {
    const where = ['--user-data-dir', t.profile, '--extension-id', extensionId, '--name', name];
    t.tool('quarn-host-register', ['install', ...where, '--host-path', hostPath]);
    return t.tool('quarn-host-register', ['status', ...where]);
  },
  checkInstalled: (t) => t.tool(installedRegister, ['status', '--system', '--browser', 'chromium', '--extension-id', extensionId]),
  launch: (t) => [
    '--headless=new', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    `--user-data-dir=${t.profile}`, `--load-extension=${extensionDir(t)}`,
    `--disable-extensions-except=${extensionDir(t)}`, 'about:blank',
  ],
  // Chromium passes the calling extension's origin.
  hostArgs: () => [`chrome-extension://${extensionId}/`],
});
