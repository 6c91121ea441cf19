// The Windows installer as a person uses it, under Wine in a fresh prefix: install an older
// build, upgrade it with this one (one product left, the new host in place), check the seven
// browsers' keys, the manifests they name and the installed host's answers, then uninstall and
// check that no key, manifest or program is left.
//
//   node tests/release/msi.mjs --msi NEW.msi --older OLD.msi --tools LINUX_BUILD_DIR
//        --wine-run cmake/wine-run --extension-id ID --firefox-id ID
//
// LINUX_BUILD_DIR holds vault-writer (the vault the installed host must unlock). Exits 0 when
// every check passed.
import { spawnSync } from 'node:child_process';
import { existsSync, mkdtempSync, readFileSync, readdirSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { parseArgs } from 'node:util';

const { values: args } = parseArgs({
  options: {
    msi: { type: 'string' },
    older: { type: 'string' },
    tools: { type: 'string' },
    'wine-run': { type: 'string' },
    'extension-id': { type: 'string' },
    'firefox-id': { type: 'string' },
  },
});
const started = Date.now();
const work = mkdtempSync(join(tmpdir(), 'quarn-msi-'));
const prefix = join(work, 'prefix');
const wineRun = resolve(args['wine-run']);
const windowsPath = (path) => `Z:${resolve(path).replaceAll('/', '\\')}`;

// The seven browsers' keys, and the family manifest each names.
const keys = [
  ['Software\\Google\\Chrome', 'chromium'],
  ['Software\\Chromium', 'chromium'],
  ['Software\\BraveSoftware\\Brave-Browser', 'chromium'],
  ['Software\\Vivaldi', 'chromium'],
  ['Software\\Microsoft\\Edge', 'chromium'],
  ['Software\\Mozilla', 'firefox'],
  ['Software\\LibreWolf', 'firefox'],
].map(([base, family]) => ({ key: `HKCU\\${base}\\NativeMessagingHosts\\com.quarn.host`, family }));

function wine(programArgs, { input, allowFailure = false } = {}) {
  const done = spawnSync(wineRun, [`--prefix=${prefix}`, ...programArgs], { input, maxBuffer: 1 << 26, timeout: 180000 });
  if (!allowFailure && (done.error || done.status !== 0)) {
    throw new Error(`wine ${programArgs.join(' ')}: status ${done.status} ${done.error ?? ''}\n${done.stdout}${done.stderr}`);
  }
  return done;
}

// The default value of a key in the 64-bit view, or null when the key is not there.
function registryDefault(key) {
  const done = wine(['reg', 'query', key, '/ve', '/reg:64'], { allowFailure: true });
  if (done.status !== 0) return null;
  const m = /REG_SZ\s+(.*?)\r?$/m.exec(done.stdout.toString('utf8'));
  return m ? m[1] : '';
}
function subkeys(key) {
  const done = wine(['reg', 'query', key], { allowFailure: true });
  if (done.status !== 0) return [];
  // reg writes the root in full (HKEY_CURRENT_USER).
  const full = key.replace(/^HKCU\\/, 'HKEY_CURRENT_USER\\').toLowerCase();
  return done.stdout.toString('utf8').split(/\r?\n/).filter((l) => l.toLowerCase().startsWith(`${full}\\`));
}

const frame = (body) => {
  const bytes = Buffer.from(body, 'utf8');
  const length = Buffer.alloc(4);
  length.writeUInt32LE(bytes.length);
  return Buffer.concat([length, bytes]);
};
const reply = (host, request) => {
  const out = wine([host], { input: frame(JSON.stringify(request)) }).stdout;
  return out.subarray(4).toString('utf8');
};

// The prefix's folder for a Windows path under C:.
const linuxPath = (path) => join(prefix, 'drive_c', path.replace(/^C:\\/i, '').replaceAll('\\', '/'));

let failures = 0;
const check = (what, ok, detail = '') => {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}${ok || !detail ? '' : `\n     ${detail}`}`);
  if (!ok) failures += 1;
};

try {
  const users = () => (existsSync(join(prefix, 'drive_c/users')) ? readdirSync(join(prefix, 'drive_c/users')) : []);
  const installFolders = () => users().map((u) => join(prefix, 'drive_c/users', u, 'AppData/Local/Programs/Quarn')).filter(existsSync);
  const products = () => subkeys('HKCU\\Software\\Microsoft\\Installer\\Products');
  const upgradeCodes = () => subkeys('HKCU\\Software\\Microsoft\\Installer\\UpgradeCodes');

  wine(['msiexec', '/i', windowsPath(args.older), '/qn']);
  check('the older installer registers one product', products().length === 1 && upgradeCodes().length === 1,
    [...products(), ...upgradeCodes()].join(', '));
  const olderFolder = installFolders()[0];
  check('the older installer installs into %LOCALAPPDATA%\\Programs\\Quarn', olderFolder !== undefined);
  const olderPing = olderFolder ? reply(join(olderFolder, 'quarn-host.exe'), { cmd: 'ping' }) : '';
  check('the older host answers ping', /"installed":true/.test(olderPing), olderPing);

  wine(['msiexec', '/i', windowsPath(args.msi), '/qn']);
  const folder = installFolders()[0];
  const host = folder && join(folder, 'quarn-host.exe');
  check('after the upgrade one product is registered', products().length === 1, products().join(', '));
  check('after the upgrade one upgrade code is registered', upgradeCodes().length === 1, upgradeCodes().join(', '));
  check('the installed folder holds the programs and two manifests',
    folder && JSON.stringify(readdirSync(folder).sort()) === JSON.stringify(['com.quarn.host.chromium.json', 'com.quarn.host.firefox.json', 'quarn-host-register.exe', 'quarn-host.exe']),
    folder ? readdirSync(folder).join(', ') : 'no folder');
  const ping = host ? reply(host, { cmd: 'ping' }) : '';
  check('the upgraded host is the new one', ping !== olderPing && /"installed":true/.test(ping), `${olderPing} then ${ping}`);

  for (const { key, family } of keys) {
    const named = registryDefault(key);
    let detail = `${key} = ${named}`;
    let ok = named !== null && named.toLowerCase().endsWith(`\\com.quarn.host.${family}.json`);
    if (ok) {
      const manifestFile = linuxPath(named);
      const manifest = JSON.parse(readFileSync(manifestFile, 'utf8'));
      // A relative path is taken from the manifest's own folder, as the browsers do.
      const target = /^[A-Za-z]:\\/.test(manifest.path) ? linuxPath(manifest.path) : join(dirname(manifestFile), manifest.path);
      const allowed = family === 'chromium' ? manifest.allowed_origins : manifest.allowed_extensions;
      const id = family === 'chromium' ? `chrome-extension://${args['extension-id']}/` : args['firefox-id'];
      ok = manifest.name === 'com.quarn.host' && manifest.type === 'stdio' && resolve(target) === resolve(host) &&
        existsSync(target) && JSON.stringify(allowed) === JSON.stringify([id]);
      detail += `: ${JSON.stringify(manifest)}`;
    }
    check(`${key} names the ${family} manifest, whose path is the installed host`, ok, detail);
  }
  const status = wine([join(folder, 'quarn-host-register.exe'), 'status', '--browser', 'all',
    '--extension-id', args['extension-id'], '--firefox-id', args['firefox-id']], { allowFailure: true });
  const statusText = status.stdout.toString('utf8');
  check('quarn-host-register status finds all seven ok', status.status === 0 && (statusText.match(/: ok \(/g) || []).length === 7, statusText);

  // The installed host answers the protocol and unlocks a vault written by vault-writer.
  const vault = join(work, 'coffre.qv');
  const entries = '[{"id":"e1","title":"Banque","username":"marie","password":"p\\u00e2ss","url":"https://banque.example","last_modified":1700000000}]';
  spawnSync(join(args.tools, 'vault-writer'), ['--version', '2', '--password', 'correct horse', '--out', vault, '--entries-json', '-'], { input: entries });
  const cases = [
    [{ cmd: 'ping' }, /^\{"data":\{"installed":true,"version":"[0-9.]+"\},"ok":true\}$/],
    [{ cmd: 'PING' }, /^\{"error":"Requ\u00eate invalide : unknown variant `PING`/],
    [{ cmd: 'unlock', path: windowsPath(vault), password: 'correct horse' },
      /^\{"data":\{"entries":\[\{"id":"e1","last_modified":1700000000,"password":"p\u00e2ss","title":"Banque","url":"https:\/\/banque.example","username":"marie"\}\]\},"ok":true\}$/],
    [{ cmd: 'unlock', path: windowsPath(vault), password: 'wrong' }, /^\{"error":"Mot de passe incorrect.","ok":false\}$/],
  ];
  for (const [request, expected] of cases) {
    const got = host ? reply(host, request) : '';
    check(`installed host: ${request.cmd}${request.password ? ` (${request.password})` : ''}`, expected.test(got), got);
  }

  wine(['msiexec', '/x', windowsPath(args.msi), '/qn']);
  for (const { key } of keys) check(`after uninstall no ${key}`, registryDefault(key) === null);
  check('after uninstall no Software\\Quarn key', registryDefault('HKCU\\Software\\Quarn\\Host') === null);
  check('after uninstall no program or manifest', installFolders().length === 0, installFolders().join(', '));
  check('after uninstall no product', products().length === 0 && upgradeCodes().length === 0, [...products(), ...upgradeCodes()].join(', '));
} catch (e) {
  check('the run', false, e.stack);
} finally {
  spawnSync(wineRun, [`--prefix=${prefix}`, '--stop']);
  rmSync(work, { recursive: true, force: true });
}
console.log(`msi: ${failures === 0 ? 'passed' : `${failures} failed`} (${((Date.now() - started) / 1000).toFixed(1)} s)`);
process.exit(failures === 0 ? 0 : 1);
