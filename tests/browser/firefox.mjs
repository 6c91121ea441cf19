// End-to-end test in headless Firefox: a test add-on whose background script sends each case's
// request with browser.runtime.sendNativeMessage. Firefox reads host manifests from
// ~/.mozilla/native-messaging-hosts, written there by quarn-host-register under the test's HOME
// (or, with --installed, the package's manifest in /usr/lib/mozilla/native-messaging-hosts).
// See common.mjs for the options.
import { mkdirSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import zlib from 'node:zlib';

import { installedRegister, runBrowserTest } from './common.mjs';

// zlib.crc32 came with Node.js 20.15; Debian's Node.js 18 computes it here, bit by bit.
const crc32 = zlib.crc32 || ((data) => {
  let crc = 0xffffffff;
  for (const byte of data) {
    crc ^= byte;
    for (let bit = 0; bit < 8; bit += 1) crc = (crc >>> 1) ^ (0xedb88320 & -(crc & 1));
  }
  return (crc ^ 0xffffffff) >>> 0;
});

const addonId = 'host-e2e@quarn.test';

// Preferences that let an unsigned add-on in the profile load enabled, and keep start-up quiet.
const preferences = {
  'xpinstall.signatures.required': false,
  'extensions.autoDisableScopes': 0,
  'extensions.update.enabled': false,
  'extensions.getAddons.cache.enabled': false,
  'extensions.blocklist.enabled': false,
  'app.update.auto': false,
  'app.normandy.enabled': false,
  'browser.shell.checkDefaultBrowser': false,
  'browser.startup.page': 0,
  'browser.startup.homepage_override.mstone': 'ignore',
  'browser.aboutwelcome.enabled': false,
  'browser.safebrowsing.malware.enabled': false,
  'browser.safebrowsing.phishing.enabled': false,
  'browser.safebrowsing.downloads.enabled': false,
  'datareporting.policy.dataSubmissionEnabled': false,
  'datareporting.healthreport.uploadEnabled': false,
  'toolkit.telemetry.reportingpolicy.firstRun': false,
  'network.captive-portal-service.enabled': false,
  'network.connectivity-service.enabled': false,
};

// A zip archive whose files are stored uncompressed, which is all an .xpi needs.
function storedZip(files) {
  const locals = [];
  const centrals = [];
  let offset = 0;
  for (const [name, text] of Object.entries(files)) {
    const nameBytes = Buffer.from(name, 'utf8');
    const data = Buffer.from(text, 'utf8');
    const crc = crc32(data);
    const header = (signature, size) => {
      const b = Buffer.alloc(size);
      b.writeUInt32LE(signature, 0);
      return b;
    };
    const local = header(0x04034b50, 30);
    local.writeUInt16LE(20, 4); // version needed
    local.writeUInt16LE(0x0800, 6); // names in UTF-8
    local.writeUInt16LE(0, 8); // stored
    local.writeUInt16LE(0, 10); // time 00:00
    local.writeUInt16LE(0x21, 12); // date 1980-01-01
    local.writeUInt32LE(crc, 14);
    local.writeUInt32LE(data.length, 18);
    local.writeUInt32LE(data.length, 22);
    local.writeUInt16LE(nameBytes.length, 26);
    const central = header(0x02014b50, 46);
    central.writeUInt16LE(20, 4); // made by
    local.copy(central, 6, 4, 28); // version needed .. name length
    central.writeUInt32LE(offset, 42);
    locals.push(local, nameBytes, data);
    centrals.push(central, nameBytes);
    offset += local.length + nameBytes.length + data.length;
  }
  const directory = Buffer.concat(centrals);
  const end = Buffer.alloc(22);
  end.writeUInt32LE(0x06054b50, 0);
  end.writeUInt16LE(centrals.length / 2, 8);
  end.writeUInt16LE(centrals.length / 2, 10);
  end.writeUInt32LE(directory.length, 12);
  end.writeUInt32LE(offset, 16);
  return Buffer.concat([...locals, directory, end]);
}

await runBrowserTest({
  name: 'Firefox',
  defaultPath: '/usr/bin/firefox-esr',
  // Closing its last window makes Firefox quit by itself; its process group is killed after this.
  exitGraceMs: 5000,
  manifest: () => ({
    manifest_version: 2,
    background: { scripts: ['background.js'] },
    browser_specific_settings: { gecko: { id: addonId } },
    permissions: ['nativeMessaging', 'http://127.0.0.1/*'],
  }),
  install(t, files) {
    mkdirSync(join(t.profile, 'extensions'));
    writeFileSync(join(t.profile, 'extensions', `${addonId}.xpi`), storedZip(files));
    writeFileSync(join(t.profile, 'user.js'), Object.entries(preferences)
      .map(([key, value]) => `user_pref(${JSON.stringify(key)}, ${JSON.stringify(value)});\n`).join(''));
  },
  register(t, name, hostPath) {
    const where = ['--browser', 'firefox', '--firefox-id', addonId, '--name', name];
    t.tool('quarn-host-register', ['install', ...where, '--host-path', hostPath], t.env);
    return t.tool('quarn-host-register', ['status', ...where], t.env);
  },
  checkInstalled: (t) => t.tool(installedRegister, ['status', '--system', '--browser', 'firefox', '--firefox-id', addonId], t.env),
  launch: (t) => ['-headless', '-no-remote', '-profile', t.profile, 'about:blank'],
  // Firefox passes the manifest's path and the calling add-on's id.
  hostArgs: (t, name) => [join(t.home, '.mozilla', 'native-messaging-hosts', `${name}.json`), addonId],
});
