// End-to-end test in headless Chromium: a test extension whose service worker sends each case's
// request with chrome.runtime.sendNativeMessage; the host's manifests are written by
// quarn-host-register into a fresh --user-data-dir. See common.mjs for the options.
import { createHash, generateKeyPairSync } from 'node:crypto';
import { mkdirSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';

import { runBrowserTest } from './common.mjs';

// A fixed extension id from a key made now: the id is the first 32 hex digits of the SHA-256 of
// the public key's DER, with 0-f written as a-p.
const { publicKey } = generateKeyPairSync('rsa', {
  modulusLength: 2048,
  publicKeyEncoding: { type: 'spki', format: 'der' },
  privateKeyEncoding: { type: 'pkcs8', format: 'pem' },
});
const extensionId = [...createHash('sha256').update(publicKey).digest('hex').slice(0, 32)]
  .map((c) => String.fromCharCode(97 + parseInt(c, 16))).join('');
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
  launch: (t) => [
    '--headless=new', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    `--user-data-dir=${t.profile}`, `--load-extension=${extensionDir(t)}`,
    `--disable-extensions-except=${extensionDir(t)}`, 'about:blank',
  ],
  // Chromium passes the calling extension's origin.
  hostArgs: () => [`chrome-extension://${extensionId}/`],
});
