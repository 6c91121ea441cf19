// What the browser tests share: the person's side (a fresh HOME with the desktop application's
// state folder, a vault, the fake desktop application), the test extension's script, the collector
// its replies are posted to, the run with its deadline, the ending of every process the browser
// left, and the comparison of each reply with its case. Each browser has a small driver
// (chromium.mjs, firefox.mjs) that packs the extension, registers the host and starts the browser.
//
//   node DRIVER.mjs --bin BUILD_DIR [--browser PATH] [--timeout SECONDS] [--installed]
//
// BUILD_DIR holds quarn-host, quarn-host-register and the test tools (vault-writer,
// fake-desktop). With --installed the host is the one a package installed, found by the browser
// through the package's system-wide manifests alone: nothing is registered, only checked (with
// the installed quarn-host-register's status --system), and the cases that need a host of their
// own are left out. Exits 0 when every reply matched, 1 otherwise.
import { spawn, spawnSync } from 'node:child_process';
import {
  chmodSync, closeSync, existsSync, mkdirSync, mkdtempSync, openSync, readFileSync, readdirSync,
  rmSync, writeFileSync,
} from 'node:fs';
import { createServer } from 'node:http';
import { tmpdir } from 'node:os';
import { basename, join, resolve } from 'node:path';
import { parseArgs } from 'node:util';

import { cases as allCases, liveAnswer, vault } from './cases.mjs';

// Where the packages put the programs.
export const installedHost = '/usr/libexec/quarn/quarn-host';
export const installedRegister = '/usr/bin/quarn-host-register';

export const hostName = 'com.quarn.host';
// A second registration, used by the cases that record the host's arguments.
export const recorderName = 'com.quarn.args_recorder';

const sleep = (ms) => new Promise((resolve) => { setTimeout(resolve, ms); });

// Single-quotes a word for /bin/sh.
const shellWord = (s) => `'${s.replaceAll("'", "'\\''")}'`;

// The processes of this run: those in the session of a process it started (each is started in a
// session of its own) and those carrying the run's marker in their environment, which is how the
// helpers a browser starts in sessions or groups of their own are still found. Zombies are dead
// and do not count.
function processesOfRun(sessions, marker) {
  const found = [];
  for (const name of readdirSync('/proc')) {
    if (!/^\d+$/.test(name) || Number(name) === process.pid) continue;
    const pid = Number(name);
    let stat;
    let environ = '';
    let command = '';
    try {
      stat = readFileSync(`/proc/${pid}/stat`, 'latin1');
    } catch {
      continue;
    }
    const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
    if (fields[0] === 'Z' || fields[0] === 'X') continue;
    try { environ = readFileSync(`/proc/${pid}/environ`, 'latin1'); } catch { /* gone, or not ours */ }
    try { command = readFileSync(`/proc/${pid}/cmdline`, 'latin1').replaceAll('\0', ' ').trim(); } catch { /* gone */ }
    if (sessions.has(Number(fields[3])) || environ.split('\0').includes(marker)) {
      found.push({ pid, group: Number(fields[2]), command: command || stat.slice(0, stat.lastIndexOf(')') + 1) });
    }
  }
  return found;
}

function kill(pid, signal) {
  try { process.kill(pid, signal); } catch { /* already gone */ }
}

// Runs the whole test in the browser the driver describes, then exits the process.
//
// The driver: { name, defaultPath, exitGraceMs, manifest(t), install(t, files),
//   register(t, name, hostPath), launch(t) -> arguments, hostArgs(t, name) -> expected arguments }.
export async function runBrowserTest(driver) {
  const { values: args } = parseArgs({
    options: {
      bin: { type: 'string' },
      browser: { type: 'string', default: driver.defaultPath },
      timeout: { type: 'string', default: '60' },
      installed: { type: 'boolean', default: false },
      // The drivers' own options.
      key: { type: 'string' },
    },
  });
  const started = Date.now();
  const bin = resolve(args.bin || '.');
  const work = mkdtempSync(join(tmpdir(), `quarn-e2e-${driver.name.toLowerCase()}-`));
  // Every process of the run inherits this variable, which finds those that leave its session.
  const marker = `QUARN_E2E_RUN=${basename(work)}`;
  const children = [];
  const sessions = new Set();
  let browser = null;

  const home = join(work, 'home');
  const t = {
    bin,
    installed: args.installed,
    work,
    home,
    stateDir: join(home, '.quarn'),
    profile: join(work, 'profile'),
    vaultPath: join(work, 'coffre été.qv'),
    // The browser runs with this environment: everything it writes stays in the work folder.
    env: {
      ...process.env,
      HOME: home,
      XDG_CONFIG_HOME: join(work, 'xdg-config'),
      XDG_CACHE_HOME: join(work, 'xdg-cache'),
      QUARN_E2E_RUN: basename(work),
    },
  };

  // The run ends early with a message: at the deadline, or when the test is stopped.
  let abort;
  const aborted = new Promise((resolve) => { abort = resolve; });
  const within = (promise) => Promise.race([promise, aborted.then((m) => { throw new Error(m); })]);
  // The installed host cannot be wrapped in a recorder without registering one.
  const cases = allCases.filter((c) => !(args.installed && c.recordArgs));
  const replies = new Array(cases.length);
  const progress = () => {
    const missing = cases.filter((_, i) => replies[i] === undefined).map((c) => c.name);
    return missing.length ? `; no reply yet for: ${missing.join(', ')}` : '';
  };
  const deadline = setTimeout(() => abort(`no complete report within ${args.timeout} s${progress()}`),
    Number(args.timeout) * 1000);
  for (const signal of ['SIGINT', 'SIGTERM']) process.on(signal, () => abort(`stopped by ${signal}`));

  // Ends every process of the run; returns those that were still there afterwards.
  async function endProcesses(grace) {
    const running = (child) => child.exitCode === null && child.signalCode === null;
    if (grace && browser && driver.exitGraceMs > 0) {
      const until = Date.now() + driver.exitGraceMs;
      while (running(browser) && Date.now() < until) await sleep(50);
      if (running(browser)) console.log(`note: ${driver.name} had not quit ${driver.exitGraceMs} ms after closing its windows`);
    }
    // The groups first, then whatever lives outside them (crash handlers, helpers that made a
    // group of their own), each by its pid; anything still there after five seconds is reported.
    // The processes started here are waited for, so that none is left a zombie.
    const groups = new Set(children.map((c) => c.pid));
    for (const group of groups) kill(-group, 'SIGKILL');
    const outside = new Map();
    for (let attempt = 0; attempt < 50; attempt += 1) {
      const left = processesOfRun(sessions, marker);
      if (left.length === 0 && !children.some(running)) break;
      for (const p of left) {
        if (!groups.has(p.group)) outside.set(p.pid, p);
        kill(p.pid, 'SIGKILL');
      }
      await sleep(100);
    }
    for (const p of outside.values()) {
      console.log(`note: ended ${p.pid} (group ${p.group}), outside the groups started: ${p.command.slice(0, 160)}`);
    }
    return processesOfRun(sessions, marker);
  }

  // Ends the processes, removes the work folder and exits; grace lets the browser quit first.
  async function finish(code, message, grace) {
    clearTimeout(deadline);
    const left = await endProcesses(grace);
    if (left.length > 0) {
      console.log(`FAIL: ${left.length} process(es) of the run could not be ended:`);
      for (const p of left) console.log(`     ${p.pid} ${p.command}`);
      code = 1;
    }
    if (code !== 0) {
      try {
        const log = readFileSync(join(work, 'browser.log'), 'utf8').trimEnd();
        if (log) console.log(`last lines ${driver.name} wrote:\n  ${log.split('\n').slice(-30).join('\n  ')}`);
      } catch { /* not started */ }
    }
    rmSync(work, { recursive: true, force: true });
    console.log(`${driver.name}: ${((Date.now() - started) / 1000).toFixed(1)} s`);
    if (message) console.log(message);
    process.exit(code);
  }

  function tool(name, toolArgs, env = process.env) {
    const r = spawnSync(name.startsWith('/') ? name : join(bin, name), toolArgs, { env, encoding: 'utf8', timeout: 30000 });
    if (r.status !== 0) throw new Error(`${name} ${toolArgs.join(' ')}: ${r.error || ''}${r.stdout}${r.stderr}`);
    return r.stdout;
  }
  t.tool = tool;

  // Writes a vault file with the given password and { entries } or { count }; returns its path.
  let vaults = 0;
  t.writeVault = ({ path = join(work, `vault-${++vaults}.qv`), password = vault.password, version = 2, entries, count }) => {
    const source = [];
    if (entries) {
      const file = `${path}.entries.json`;
      writeFileSync(file, JSON.stringify(entries));
      source.push('--entries-json', file);
    } else if (count !== undefined) {
      source.push('--count', String(count));
    }
    tool('vault-writer', ['--version', String(version), '--password', password, '--out', path, ...source]);
    return path;
  };

  // Starts a process in a session of its own, ended with the run.
  t.spawn = (command, commandArgs, options) => {
    const child = spawn(command, commandArgs, { ...options, detached: true });
    child.on('error', (e) => abort(`${command}: ${e.message}`));
    if (child.pid === undefined) return child;
    children.push(child);
    sessions.add(child.pid);
    return child;
  };

  // Registers a host under a name through the driver, then checks it with status: a browser
  // answers the same for a missing manifest as for an id it does not allow.
  t.registerHost = (name, hostPath) => {
    const status = driver.register(t, name, hostPath);
    if (!/: ok \(/.test(status)) throw new Error(`registration of ${name} is not ok:\n${status}`);
  };

  let own;
  let recordedArgs;
  try {
    if (!existsSync(args.browser)) throw new Error(`${driver.name} not found at ${args.browser}; run dev/bootstrap to install it`);
    const needed = args.installed ? ['vault-writer', 'fake-desktop'] : ['quarn-host', 'quarn-host-register', 'vault-writer', 'fake-desktop'];
    for (const name of needed) {
      if (!existsSync(join(bin, name))) throw new Error(`${join(bin, name)} is missing; build first`);
    }
    for (const path of args.installed ? [installedHost, installedRegister] : []) {
      if (!existsSync(path)) throw new Error(`${path} is missing; install the package first`);
    }
    for (const dir of [t.stateDir, t.profile, t.env.XDG_CONFIG_HOME, t.env.XDG_CACHE_HOME]) mkdirSync(dir, { recursive: true });

    // The person's side: a vault the desktop application opened last, and a live session.
    t.writeVault({ path: t.vaultPath, entries: vault.entries });
    writeFileSync(join(t.stateDir, 'last_vault.txt'), `  ${t.vaultPath}\r\n`);
    const fake = t.spawn(join(bin, 'fake-desktop'), ['--state-dir', t.stateDir, '--answer', liveAnswer],
      { stdio: ['ignore', 'pipe', 'inherit'], env: t.env });
    await within(new Promise((resolve, reject) => {
      let seen = '';
      fake.stdout.on('data', (chunk) => {
        seen += chunk;
        if (seen.includes('\n')) resolve();
      });
      fake.on('exit', (code) => reject(new Error(`fake-desktop ended with ${code} before listening`)));
    }));

    own = [];
    for (const c of cases) own.push(c.setup ? await within(Promise.resolve(c.setup(t))) : undefined);
    const exchanges = cases.map((c, i) => ({ host: c.recordArgs ? recorderName : hostName, request: c.request(t, own[i]) }));

    const port = await within(startCollector(replies));
    driver.install(t, {
      'manifest.json': JSON.stringify({
        name: 'Quarn host test',
        version: '1.0',
        permissions: ['nativeMessaging'],
        ...driver.manifest(t),
      }),
      'background.js': backgroundScript(exchanges, port),
    });

    if (args.installed) {
      // The package's manifest must already allow this extension: nothing is written here.
      const status = driver.checkInstalled(t);
      if (!/: ok \(/.test(status)) throw new Error(`the installed manifest is not ok:\n${status}`);
    } else {
      t.registerHost(hostName, join(bin, 'quarn-host'));
    }
    const argsFile = join(work, 'host-args');
    if (cases.some((c) => c.recordArgs)) {
      // Writes its arguments, NUL-separated, and becomes the host; it prints nothing itself.
      const recorder = join(work, 'recording-host');
      writeFileSync(recorder, `#!/bin/sh\nprintf '%s\\0' "$@" > ${shellWord(argsFile)} 2>/dev/null\nexec ${shellWord(join(bin, 'quarn-host'))} "$@"\n`);
      chmodSync(recorder, 0o755);
      t.registerHost(recorderName, recorder);
    }

    const logFd = openSync(join(work, 'browser.log'), 'w');
    browser = t.spawn(args.browser, driver.launch(t), { stdio: ['ignore', logFd, logFd], env: t.env });
    closeSync(logFd);
    const exited = new Promise((resolve) => { browser.on('exit', (code, signal) => resolve({ code, signal })); });
    const outcome = await within(Promise.race([replies.done, exited.then((e) => ({ exited: e }))]));
    if (outcome && outcome.exited) {
      throw new Error(`${driver.name} ended (${outcome.exited.signal || outcome.exited.code}) before reporting${progress()}`);
    }
    try {
      recordedArgs = readFileSync(argsFile, 'latin1').split('\0').slice(0, -1);
    } catch { /* compared below */ }
  } catch (e) {
    return finish(1, `FAIL: ${e.message}`, false);
  }

  let failures = 0;
  let total = 0;
  const check = (name, got, want) => {
    total += 1;
    if (got === want) {
      console.log(`ok   ${name}`);
    } else {
      failures += 1;
      console.log(`FAIL ${name}\n     want ${want}\n     got  ${got}`);
    }
  };
  cases.forEach((c, i) => {
    const r = replies[i];
    check(c.name, r && 'reply' in r ? JSON.stringify(r.reply) : `failure: ${r && r.failure}`, JSON.stringify(c.reply(t, own[i])));
    if (c.recordArgs) {
      check(`${c.name}: ${driver.name} passed ${JSON.stringify(recordedArgs)}`, JSON.stringify(recordedArgs),
        JSON.stringify(driver.hostArgs(t, recorderName)));
    }
  });
  return finish(failures === 0 ? 0 : 1, `${total - failures} passed, ${failures} failed`, true);
}

// The collector: the extension posts each result to /reply/N and then /done. Fills replies and
// gives it a done promise; resolves to the port.
function startCollector(replies) {
  let done;
  replies.done = new Promise((resolve) => { done = resolve; });
  const server = createServer((req, res) => {
    let body = '';
    req.setEncoding('utf8');
    req.on('data', (chunk) => { body += chunk; });
    req.on('end', () => {
      res.writeHead(204, { 'Access-Control-Allow-Origin': '*' });
      res.end();
      const reply = /^\/reply\/(\d+)$/.exec(req.url);
      if (req.method === 'POST' && reply && Number(reply[1]) < replies.length) {
        try {
          replies[Number(reply[1])] = JSON.parse(body);
        } catch {
          replies[Number(reply[1])] = { failure: `unreadable report: ${body}` };
        }
      } else if (req.method === 'POST' && req.url === '/done') {
        done();
      }
    });
  });
  server.unref();
  return new Promise((resolve) => {
    server.listen(0, '127.0.0.1', () => resolve(server.address().port));
  });
}

// The extension's background script: sends each request in turn and posts what came back, then
// closes the browser's windows so that the browser can quit by itself.
function backgroundScript(exchanges, port) {
  return `const api = globalThis.browser || globalThis.chrome;
const exchanges = ${JSON.stringify(exchanges)};
const post = (path, body) => fetch('http://127.0.0.1:${port}' + path, { method: 'POST', body });
(async () => {
  for (const [i, { host, request }] of exchanges.entries()) {
    let result;
    try {
      result = { reply: await api.runtime.sendNativeMessage(host, request) };
    } catch (e) {
      result = { failure: String((e && e.message) || e) };
    }
    await post('/reply/' + i, JSON.stringify(result));
  }
  await post('/done', '');
  for (const w of await api.windows.getAll()) await api.windows.remove(w.id).catch(() => {});
})();
`;
}
