// The Linux host and the Windows host (under Wine) give the same reply bytes for the same
// requests and vault files, with vaults written on either side.
//   node same_replies.mjs --linux BUILD_DIR --windows BUILD_DIR --wine-run SCRIPT
// Exits 77 (skipped) when the Linux build has no host yet.
import { spawnSync } from 'node:child_process';
import { existsSync, mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';

const arg = (name) => resolve(process.argv[process.argv.indexOf(name) + 1]);
const linux = arg('--linux');
const windows = arg('--windows');
const wineRun = [arg('--wine-run'), `--prefix=${join(windows, 'wineprefix')}`];
if (!existsSync(join(linux, 'quarn-host')) || !existsSync(join(linux, 'vault-writer'))) {
  console.log(`skipped: no Linux build in ${linux}`);
  process.exit(77);
}

// Wine shows the build machine's root folder as drive Z:.
const windowsPath = (path) => `Z:${path.replaceAll('/', '\\')}`;
const run = (command, args, input) => {
  const done = spawnSync(command, args, { input, maxBuffer: 1 << 26, timeout: 120000 });
  if (done.error || done.status !== 0) {
    throw new Error(`${command} ${args.join(' ')}: status ${done.status} ${done.error ?? ''}\n${done.stderr}`);
  }
  return done.stdout;
};
const linuxTool = (name, args, input) => run(join(linux, name), args, input);
const windowsTool = (name, args, input) =>
  run(wineRun[0], [wineRun[1], join(windows, `${name}.exe`), ...args], input);
const frame = (body) => {
  const bytes = Buffer.from(body, 'utf8');
  const length = Buffer.alloc(4);
  length.writeUInt32LE(bytes.length);
  return Buffer.concat([length, bytes]);
};

const work = mkdtempSync(join(tmpdir(), 'quarn-cross-'));
let failures = 0;
try {
  const entries = [
    { id: 'a1', title: 'Banque \u00e9t\u00e9 \u{1F510}', username: 'al"ice', password: 'p\\w\td', url: 'https://exemple.fr/?a=1&b=2', last_modified: 1733900000 },
    { key: 'k2', id: 'b2', title: '', username: '\u0000nul', password: '\u0085', url: '', last_modified: 0 },
  ];
  const entriesFile = join(work, 'entries.json');
  writeFileSync(entriesFile, JSON.stringify(entries));
  const password = 'cl\u00e9 "ma\u00eetre" \\ \u{1F510}';
  const vaults = [];
  for (const version of ['1', '2']) {
    const fromLinux = join(work, `v${version}-linux.qv`);
    linuxTool('vault-writer', ['--version', version, '--password', password, '--out', fromLinux,
      '--entries-json', entriesFile]);
    const fromWindows = join(work, `v${version}-windows.qv`);
    windowsTool('vault-writer', ['--version', version, '--password', password, '--out',
      windowsPath(fromWindows), '--entries-json', windowsPath(entriesFile)]);
    vaults.push(fromLinux, fromWindows);
  }
  const unlock = (path, pw) => JSON.stringify({ cmd: 'unlock', path, password: pw });
  const cases = [
    { what: 'ping', linux: '{"cmd":"ping"}' },
    { what: 'invalid request', linux: '{"cmd":"ping",}' },
    { what: 'unknown command', linux: '{"cmd":"\u0085x"}' },
    { what: 'missing vault', linux: unlock(join(work, 'missing.qv'), 'x'),
      windows: unlock(windowsPath(join(work, 'missing.qv')), 'x') },
    ...vaults.flatMap((path) => [
      { what: `unlock ${path}`, linux: unlock(path, password), windows: unlock(windowsPath(path), password) },
      { what: `wrong password ${path}`, linux: unlock(path, 'x'), windows: unlock(windowsPath(path), 'x') },
    ]),
  ];
  for (const c of cases) {
    const fromLinux = linuxTool('quarn-host', [], frame(c.linux));
    const fromWindows = windowsTool('quarn-host', [], frame(c.windows ?? c.linux));
    const same = fromLinux.equals(fromWindows);
    if (!same) failures += 1;
    console.log(`${same ? 'same' : 'DIFFERENT'}: ${c.what} (${fromLinux.length} bytes)`);
    if (!same) console.log(`  linux:   ${fromLinux.toString('utf8')}\n  windows: ${fromWindows.toString('utf8')}`);
  }
  if (!linuxTool('quarn-host', [], frame(unlock(vaults[1], password))).includes('"ok":true')) {
    console.log('a vault written on Windows does not unlock');
    failures += 1;
  }
} finally {
  rmSync(work, { recursive: true, force: true });
}
process.exit(failures === 0 ? 0 : 1);
