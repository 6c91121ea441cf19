// The exchanges every browser test makes with quarn-host, and the reply each one must get, in full.
//
// A case is { name, request(t, own), reply(t, own) } with, optionally:
//   setup(t)    runs before the browser starts (e.g. writes a vault of its own with
//               t.writeVault({ count: N })); what it returns is passed to request and reply as own;
//   recordArgs  sends the request through a host that records the arguments the browser started
//               it with, and checks them against what that browser is known to pass.
// t is the test's set-up (see common.mjs): the vault it wrote, its path, the tools.

// The person's vault, written once by the common set-up and named by last_vault.txt.
export const vault = {
  password: 'correct horse',
  entries: [
    { key: 'k1', id: 'e1', title: 'Banque', username: 'marie', password: 'p\u00e2ss "1"', url: 'https://banque.example', last_modified: 1700000000 },
    { key: 'k2', id: 'e2', title: 'Mail', username: 'm@example.org', password: '', url: '', last_modified: 0 },
  ],
};

// What the fake desktop application answers to a live-session query, byte for byte.
export const liveAnswer = '{"ok":true,"data":{"entries":[{"id":"live","title":"Depuis l\u2019application"}]},"b":-0}';

const pingReply = { data: { installed: true, version: '2.0.0' }, ok: true };
const entryObject = (e) => ({ id: e.id, last_modified: e.last_modified, password: e.password, title: e.title, url: e.url, username: e.username });

export const cases = [
  {
    name: 'ping',
    request: () => ({ cmd: 'ping' }),
    reply: () => pingReply,
  },
  {
    name: 'invalid request',
    request: () => ({ cmd: 'PING' }),
    reply: () => ({ error: 'Requ\u00eate invalide : unknown variant `PING`, expected one of `ping`, `get_last_vault_path`, `unlock`, `try_live_session`', ok: false }),
  },
  {
    name: 'get_last_vault_path',
    request: () => ({ cmd: 'get_last_vault_path' }),
    reply: (t) => ({ data: { path: t.vaultPath }, ok: true }),
  },
  {
    name: 'unlock, right password',
    request: (t) => ({ cmd: 'unlock', path: t.vaultPath, password: vault.password }),
    reply: () => ({ data: { entries: vault.entries.map(entryObject) }, ok: true }),
  },
  {
    name: 'unlock, wrong password',
    request: (t) => ({ cmd: 'unlock', path: t.vaultPath, password: 'wrong' }),
    reply: () => ({ error: 'Mot de passe incorrect.', ok: false }),
  },
  {
    name: 'try_live_session',
    request: () => ({ cmd: 'try_live_session' }),
    reply: () => ({ b: -0, data: { entries: [{ id: 'live', title: 'Depuis l\u2019application' }] }, ok: true }),
  },
  {
    // A reply the browsers would refuse (over 1 MiB) comes back as an error the extension can show.
    name: 'unlock, reply over the browsers\' limit',
    setup: (t) => {
      const entry = { key: 'big', id: 'big', title: '', username: '', password: 'x'.repeat(1100000), url: '', last_modified: 1 };
      const size = Buffer.byteLength(JSON.stringify({ data: { entries: [entryObject(entry)] }, ok: true }));
      return { path: t.writeVault({ entries: [entry] }), size };
    },
    request: (t, own) => ({ cmd: 'unlock', path: own.path, password: vault.password }),
    reply: (t, own) => ({ error: `R\u00e9ponse trop volumineuse pour le navigateur : ${own.size} octets (limite 1048576).`, ok: false }),
  },
  {
    name: 'ping through a host that records its arguments',
    recordArgs: true,
    request: () => ({ cmd: 'ping' }),
    reply: () => pingReply,
  },
];
