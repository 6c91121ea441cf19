// End-to-end test in a real browser: headless Chromium loads a test extension whose service
// worker sends each request to quarn-host with chrome.runtime.sendNativeMessage and reports the
// replies to a collector on a loopback port. The host's manifest is written by
// quarn-host-register into a fresh --user-data-dir.
//
//   node e2e.mjs --bin BUILD_DIR [--chromium PATH] [--timeout SECONDS]
//
// BUILD_DIR holds quarn-host, quarn-host-register and the test tools (vault-writer,
// fake-desktop). Exits 0 when every reply matched, 1 otherwise.
import { spawn, spawnSync } from 'node:child_process';
import { createHash, generateKeyPairSync } from 'node:crypto';
import { existsSync, mkdirSync, mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { parseArgs } from 'node:util';

const { values: args } = parseArgs({
  options: {
    bin: { type: 'string' },
    chromium: { type: 'string', default: '/usr/bin/chromium' },
    timeout: { type: 'string', default: '60' },
  },
});
const bin = args.bin;
const deadlineMs = Number(args.timeout) * 1000;
const hostName = 'com.quarn.host';
const children = [];
const work = mkdtempSync(join(tmpdir(), 'quarn-e2e-'));

function finish(code, message) {
  if (message) console.log(message);
  for (const child of children) {
    try { process.kill(-child.pid, 'SIGKILL'); } catch { /* already gone */ }
  }
  rmSync(work, { recursive: true, force: true });
  process.exit(code);
}
setTimeout(() => finish(1, `FAIL: no complete report within ${args.timeout} s`), deadlineMs).unref();

if (!existsSync(args.chromium)) {
  finish(1, `FAIL: Chromium not found at ${args.chromium}; run dev/bootstrap to install it`);
}
for (const tool of ['quarn-host', 'quarn-host-register', 'vault-writer', 'fake-desktop']) {
  if (!existsSync(join(bin, tool))) finish(1, `FAIL: ${join(bin, tool)} is missing; build first`);
}

function run(tool, toolArgs, env = {}) {
  const r = spawnSync(join(bin, tool), toolArgs, { env: { ...process.env, ...env }, encoding: 'utf8' });
  if (r.status !== 0) finish(1, `FAIL: ${tool} ${toolArgs.join(' ')}: ${r.stdout}${r.stderr}`);
  return r.stdout;
}

// A fixed extension id from a key made now: the id is the first 32 hex digits of the SHA-256 of
// the public key's DER, with 0-f written as a-p.
const { publicKey } = generateKeyPairSync('rsa', {
  modulusLength: 2048,
  publicKeyEncoding: { type: 'spki', format: 'der' },
  privateKeyEncoding: { type: 'pkcs8', format: 'pem' },
});
const extensionId = [...createHash('sha256').update(publicKey).digest('hex').slice(0, 32)]
  .map((c) => String.fromCharCode(97 + parseInt(c, 16))).join('');

// The person's side: a HOME with the desktop application's state folder, a vault, a live session.
const home = join(work, 'home');
const stateDir = join(home, '.quarn');
mkdirSync(stateDir, { recursive: true });
const vaultPath = join(work, 'coffre été.qv');
const entries = [
  { key: 'k1', id: 'e1', title: 'Banque', username: 'marie', password: 'p\u00e2ss "1"', url: 'https://banque.example', last_modified: 1700000000 },
  { key: 'k2', id: 'e2', title: 'Mail', username: 'm@example.org', password: '', url: '', last_modified: 0 },
];
const entriesFile = join(work, 'entries.json');
writeFileSync(entriesFile, JSON.stringify(entries));
run('vault-writer', ['--version', '2', '--password', 'correct horse', '--out', vaultPath, '--entries-json', entriesFile]);
writeFileSync(join(stateDir, 'last_vault.txt'), `  ${vaultPath}\r\n`);

const liveAnswer = '{"ok":true,"data":{"entries":[{"id":"live","title":"Depuis l\u2019application"}]},"b":-0}';
const fake = spawn(join(bin, 'fake-desktop'), ['--state-dir', stateDir, '--answer', liveAnswer],
  { detached: true, stdio: ['ignore', 'pipe', 'inherit'] });
children.push(fake);
await new Promise((resolve) => {
  let seen = '';
  fake.stdout.on('data', (chunk) => {
    seen += chunk;
    if (seen.includes('\n')) resolve();
  });
});

const entryObject = (e) => ({ id: e.id, last_modified: e.last_modified, password: e.password, title: e.title, url: e.url, username: e.username });
const cases = [
  { name: 'ping', request: { cmd: 'ping' }, reply: { data: { installed: true, version: '2.0.0' }, ok: true } },
  { name: 'invalid request', request: { cmd: 'PING' }, reply: { error: 'Requ\u00eate invalide : unknown variant `PING`, expected one of `ping`, `get_last_vault_path`, `unlock`, `try_live_session`', ok: false } },
  { name: 'get_last_vault_path', request: { cmd: 'get_last_vault_path' }, reply: { data: { path: vaultPath }, ok: true } },
  { name: 'unlock, right password', request: { cmd: 'unlock', path: vaultPath, password: 'correct horse' }, reply: { data: { entries: entries.map(entryObject) }, ok: true } },
  { name: 'unlock, wrong password', request: { cmd: 'unlock', path: vaultPath, password: 'wrong' }, reply: { error: 'Mot de passe incorrect.', ok: false } },
  { name: 'try_live_session', request: { cmd: 'try_live_session' }, reply: { b: -0, data: { entries: [{ id: 'live', title: 'Depuis l\u2019application' }] }, ok: true } },
];

// The collector: the extension posts its replies here.
const report = new Promise((resolve) => {
  const server = createServer((req, res) => {
    let body = '';
    req.on('data', (chunk) => { body += chunk; });
    req.on('end', () => {
      res.writeHead(204, { 'Access-Control-Allow-Origin': '*' });
      res.end();
      if (req.url === '/report') resolve(JSON.parse(body));
    });
  });
  server.listen(0, '127.0.0.1', () => writeExtension(server.address().port));
});

function writeExtension(port) {
  const dir = join(work, 'extension');
  mkdirSync(dir);
  writeFileSync(join(dir, 'manifest.json'), JSON.stringify({
    manifest_version: 3,
    name: 'Quarn host test',
    version: '1.0',
    key: publicKey.toString('base64'),
    background: { service_worker: 'worker.js' },
    permissions: ['nativeMessaging'],
    host_permissions: ['http://127.0.0.1/*'],
  }));
  writeFileSync(join(dir, 'worker.js'), `
const requests = ${JSON.stringify(cases.map((c) => c.request))};
(async () => {
  const replies = [];
  for (const request of requests) {
    try {
      replies.push({ reply: await chrome.runtime.sendNativeMessage(${JSON.stringify(hostName)}, request) });
    } catch (e) {
      replies.push({ failure: String(e && e.message || e) });
    }
  }
  await fetch('http://127.0.0.1:${port}/report', { method: 'POST', body: JSON.stringify(replies) });
})();
`);

  const profile = join(work, 'profile');
  run('quarn-host-register', ['install', '--user-data-dir', profile, '--extension-id', extensionId,
    '--host-path', join(bin, 'quarn-host')]);
  const status = run('quarn-host-register', ['status', '--user-data-dir', profile, '--extension-id', extensionId]);
  if (!status.includes(': ok')) finish(1, `FAIL: registration status: ${status}`);

  const chromium = spawn(args.chromium, [
    '--headless=new', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    `--user-data-dir=${profile}`, `--load-extension=${dir}`,
    `--disable-extensions-except=${dir}`, 'about:blank',
  ], { detached: true, stdio: 'ignore', env: { ...process.env, HOME: home } });
  children.push(chromium);
}

const replies = await report;
let failures = 0;
cases.forEach((c, i) => {
  const got = replies[i] && 'reply' in replies[i] ? JSON.stringify(replies[i].reply) : `failure: ${replies[i] && replies[i].failure}`;
  const want = JSON.stringify(c.reply);
  if (got === want) {
    console.log(`ok   ${c.name}`);
  } else {
    failures += 1;
    console.log(`FAIL ${c.name}\n     want ${want}\n     got  ${got}`);
  }
});
finish(failures === 0 ? 0 : 1, `${cases.length - failures} passed, ${failures} failed`);
