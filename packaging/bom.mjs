// The bill of materials of a release (CycloneDX JSON) and the Debian package's copyright file,
// both from what the builds actually put into each program:
//   - libraries: the link map each program's link wrote (PROGRAM.map, -DQUARN_LINK_MAPS=ON):
//     archive members pulled in (static) and shared objects loaded (dynamic), each file traced to
//     its Debian package (dpkg -S, dpkg-query);
//   - sources compiled from npm packages: the program's inputs (ninja -t inputs) under
//     node_modules/, with version and integrity from package-lock.json;
//   - header-only libraries: the headers its objects included (ninja -t deps) that belong to a
//     Debian package holding no library.
//
//   node packaging/bom.mjs bom DESCRIPTION.json > quarn-host-V.cdx.json
//   node packaging/bom.mjs copyright DESCRIPTION.json > copyright
//
// DESCRIPTION.json: { version, epoch, root, builds: [{ name, dir, programs: [{ file, installed,
// artifact }] }], artifacts: { file: sha256 } }. A component whose licence is not known here stops
// the run: add it to `licences` below.
import { execFileSync, spawnSync } from 'node:child_process';
import { createHash } from 'node:crypto';
import { readFileSync, realpathSync } from 'node:fs';
import { join, resolve } from 'node:path';

// SPDX licence expressions, by Debian source package or npm package, of the code that reaches
// the programs.
const licences = {
  'deb:openssl': 'Apache-2.0',
  'deb:libsodium': 'ISC',
  'deb:libseccomp': 'LGPL-2.1-only',
  'deb:glibc': 'LGPL-2.1-or-later',
  'deb:gcc-12': 'GPL-3.0-or-later WITH GCC-exception-3.1',
  'deb:gcc-mingw-w64': 'GPL-3.0-or-later WITH GCC-exception-3.1',
  'deb:mingw-w64': 'ZPL-2.1',
  'deb:mingw-w64/winpthreads': 'MIT AND BSD-3-Clause',
  'deb:nlohmann-json3': 'MIT',
  'deb:linux': 'GPL-2.0-only WITH Linux-syscall-note',
  'deb:libargon2': 'CC0-1.0 OR Apache-2.0',
  // The reference C sources in the package, not its JavaScript (MIT).
  'npm:argon2': 'CC0-1.0 OR Apache-2.0',
  // ML-KEM and FIPS 202 are public domain (CC0); common/randombytes.c is MIT.
  'npm:pqclean': 'CC0-1.0',
  'npm:pqclean/randombytes': 'MIT',
};

// What each component is, for people reading the bill or the copyright file.
const descriptions = {
  openssl: 'OpenSSL libcrypto (AES-256-GCM, HKDF)',
  libsodium: 'libsodium',
  libseccomp: 'libseccomp (system-call filter)',
  glibc: 'GNU C library',
  'gcc-12': 'GCC runtime: libstdc++, libgcc',
  'gcc-mingw-w64': 'GCC runtime for mingw-w64: libstdc++, libgcc',
  'mingw-w64': 'mingw-w64 C runtime and Windows import libraries',
  winpthreads: 'mingw-w64 winpthreads',
  'nlohmann-json3': 'JSON for Modern C++ (header-only)',
  linux: 'Linux kernel user-space API headers',
  argon2: 'Argon2 reference C implementation (from the npm package argon2)',
  pqclean: 'PQClean ML-KEM-1024 "clean" implementation (from the npm package pqclean)',
};

// Who holds the copyright of each, as their projects state it.
const holders = {
  openssl: 'The OpenSSL Project Authors',
  libsodium: 'Frank Denis',
  libseccomp: 'Paul Moore, Red Hat, and the libseccomp contributors',
  glibc: 'Free Software Foundation, Inc.',
  'gcc-12': 'Free Software Foundation, Inc.',
  'gcc-mingw-w64': 'Free Software Foundation, Inc.',
  'mingw-w64': 'The mingw-w64 project',
  winpthreads: 'The mingw-w64 project',
  'nlohmann-json3': 'Niels Lohmann',
  linux: 'Linus Torvalds and the Linux kernel contributors',
  argon2: 'Daniel Dinu, Dmitry Khovratovich, Jean-Philippe Aumasson, Samuel Neves',
  pqclean: 'The PQClean authors (public domain); common/randombytes.c: Daan Sprenkels',
};

const [mode, descriptionFile] = process.argv.slice(2);
if (!['bom', 'copyright'].includes(mode) || !descriptionFile) {
  process.stderr.write('usage: bom.mjs bom|copyright DESCRIPTION.json\n');
  process.exit(2);
}
const description = JSON.parse(readFileSync(descriptionFile, 'utf8'));
const root = description.root;
const lock = JSON.parse(readFileSync(join(root, 'package-lock.json'), 'utf8')).packages;

const run = (command, args, options = {}) => execFileSync(command, args, { encoding: 'utf8', maxBuffer: 1 << 28, ...options });

// Archives that hold winpthreads, which comes with the mingw-w64 runtime in one Debian package
// but is its own project.
const winpthreads = new Set();

// Files in the link map: archives with the members taken from them, and shared objects loaded.
function linkedFiles(mapFile, buildDir) {
  const text = readFileSync(mapFile, 'utf8');
  const files = new Map();
  const add = (path, linkage) => {
    const full = resolve(buildDir, path);
    if (!files.has(full)) files.set(full, linkage);
  };
  const memory = text.indexOf('\nLinker script and memory map');
  const archives = memory < 0 ? text : text.slice(0, memory);
  for (const m of archives.matchAll(/^(\S+\.a)\((.*)\)$/gm)) {
    add(m[1], 'static');
    // mingw-w64 ships winpthreads as libpthread.a, its members named libwinpthread_la-*.
    if (m[2].startsWith('libwinpthread')) winpthreads.add(resolve(buildDir, m[1]));
  }
  for (const m of text.slice(memory).matchAll(/^LOAD (\S+)$/gm)) {
    const path = m[1];
    if (/\.so(\.\d+)*$/.test(path)) add(path, 'dynamic');
    else if (/\.(o|obj)$/.test(path)) add(path, 'static');
  }
  return files;
}

// The Debian package of each path (trying the path as written, resolved, and the /usr-merged
// forms), or nothing for a file no package holds.
function packagesOf(paths) {
  const candidates = new Map();
  for (const p of paths) {
    // The file itself first: a shared object's link names the runtime package.
    const list = [];
    try { list.push(realpathSync(p)); } catch { /* gone */ }
    list.push(p);
    for (const c of [...list]) {
      if (c.startsWith('/usr/lib/')) list.push(c.slice(4));
      if (c.startsWith('/lib/')) list.push(`/usr${c}`);
    }
    candidates.set(p, [...new Set(list)]);
  }
  const all = [...new Set([...candidates.values()].flat())];
  const owner = new Map();
  for (let i = 0; i < all.length; i += 200) {
    const r = spawnSync('dpkg', ['-S', ...all.slice(i, i + 200)], { encoding: 'utf8', maxBuffer: 1 << 26 });
    for (const line of r.stdout.split('\n')) {
      const m = /^([^:\s][^:]*?)(?::[a-z0-9]+)?: (\/.*)$/.exec(line);
      if (m && !m[1].includes(' ')) owner.set(m[2], m[1].split(',')[0].trim());
    }
  }
  const result = new Map();
  for (const [p, list] of candidates) {
    const found = list.find((c) => owner.has(c));
    if (found) result.set(p, owner.get(found));
  }
  return result;
}

const packageInfo = new Map();
function debianPackage(name) {
  if (!packageInfo.has(name)) {
    const [pkg, version, source, arch] = run('dpkg-query', ['-W', '-f=${Package}\t${Version}\t${source:Package}\t${Architecture}', name]).split('\t');
    packageInfo.set(name, { pkg, version, source, arch });
  }
  return packageInfo.get(name);
}

function holdsLibrary(pkg) {
  return run('dpkg', ['-L', pkg]).split('\n').some((f) => /\.(a|so(\.\d+)*|dll)$/.test(f));
}

function ninja(dir, args) {
  return run('ninja', ['-C', dir, ...args]).split('\n').filter(Boolean);
}

// The components of one program: key -> { kind, name, version, ..., linkage }.
function componentsOf(build, program) {
  const dir = resolve(root, build.dir);
  const found = new Map();
  const note = (key, fields, linkage) => {
    const c = found.get(key) || { ...fields, linkage: new Set() };
    c.linkage.add(linkage);
    found.set(key, c);
  };

  const linked = linkedFiles(join(dir, `${program.file}.map`), dir);
  const outside = [...linked.keys()].filter((p) => !p.startsWith(`${root}/`));
  const owners = packagesOf(outside);
  const libraryPackages = new Set();
  for (const path of outside) {
    const pkg = owners.get(path);
    if (!pkg) throw new Error(`${program.file}: ${path} belongs to no Debian package`);
    libraryPackages.add(pkg);
    const info = debianPackage(pkg);
    const project = winpthreads.has(path) ? `${info.source}/winpthreads` : info.source;
    note(`deb:${project}`, { kind: 'deb', project, packages: new Set(), version: info.version, arch: info.arch }, linked.get(path));
    found.get(`deb:${project}`).packages.add(info.pkg);
  }

  const inputs = ninja(dir, ['-t', 'inputs', program.file]);
  for (const input of inputs) {
    const m = /\/node_modules\/((?:@[^/]+\/)?[^/]+)\/(.*)$/.exec(input);
    if (!m || !/\.(c|cc|cpp)$/.test(m[2])) continue;
    const entry = lock[`node_modules/${m[1]}`];
    note(`npm:${m[1]}`, { kind: 'npm', project: m[1], version: entry.version, integrity: entry.integrity, resolved: entry.resolved, files: new Set() }, 'static');
    found.get(`npm:${m[1]}`).files.add(m[2]);
  }

  const objects = inputs.filter((i) => /\.(o|obj)$/.test(i));
  const headers = new Set();
  for (let i = 0; i < objects.length; i += 100) {
    for (const line of ninja(dir, ['-t', 'deps', ...objects.slice(i, i + 100)])) {
      const h = line.trim();
      if (line.startsWith('    ') && h.startsWith('/') && !h.startsWith(`${root}/`)) headers.add(h);
    }
  }
  const headerOwners = packagesOf([...headers]);
  for (const pkg of new Set(headerOwners.values())) {
    if (libraryPackages.has(pkg) || holdsLibrary(pkg)) continue;
    const info = debianPackage(pkg);
    note(`deb:${info.source}`, { kind: 'deb', project: info.source, packages: new Set([info.pkg]), version: info.version, arch: info.arch }, 'headers');
  }
  return found;
}

function licenceOf(key, c) {
  let expression = licences[key];
  if (key === 'npm:pqclean' && [...c.files].some((f) => f.endsWith('/randombytes.c'))) {
    expression = `${expression} AND ${licences['npm:pqclean/randombytes']}`;
  }
  if (!expression) throw new Error(`no licence known for ${key}: add it to packaging/bom.mjs`);
  return expression;
}

// Every component, each with the programs it went into and how.
const components = new Map();
const programs = [];
for (const build of description.builds) {
  for (const program of build.programs) {
    const ref = `program:${build.name}/${program.file}`;
    programs.push({ ref, build, program });
    for (const [key, c] of componentsOf(build, program)) {
      // The same project at another version (Debian's and mingw-w64's GCC) stays apart.
      const id = `${key}@${c.version}`;
      const entry = components.get(id) || { key, ...c, linkage: undefined, uses: [] };
      entry.uses.push({ ref, how: [...c.linkage].sort().join('+') });
      if (c.packages) entry.packages = new Set([...(entry.packages || []), ...c.packages]);
      if (c.files) entry.files = new Set([...(entry.files || []), ...c.files]);
      components.set(id, entry);
    }
  }
}
const sorted = [...components.entries()].sort(([a], [b]) => a.localeCompare(b));

function bom() {
  const epoch = Number(description.epoch);
  const list = [];
  for (const { ref, build, program } of programs) {
    list.push({
      type: 'application',
      'bom-ref': ref,
      name: program.file,
      version: description.version,
      properties: [
        { name: 'quarn:installed-as', value: program.installed },
        { name: 'quarn:artifacts', value: program.artifacts.join(' ') },
        { name: 'quarn:build', value: build.name },
      ],
    });
  }
  for (const [id, c] of sorted) {
    const name = c.project.split('/').pop();
    const component = {
      type: 'library',
      'bom-ref': id,
      name,
      version: c.version,
      description: descriptions[name] || name,
      licenses: [{ expression: licenceOf(c.key, c) }],
    };
    if (c.kind === 'deb') {
      const first = [...c.packages].sort()[0];
      component.purl = `pkg:deb/debian/${first}@${encodeURIComponent(c.version)}?arch=${c.arch}&distro=debian-12`;
      component.supplier = { name: 'Debian' };
    } else {
      component.purl = `pkg:npm/${c.project}@${c.version}`;
      const [alg, digest] = c.integrity.split('-');
      component.hashes = [{ alg: alg.toUpperCase().replace('SHA', 'SHA-'), content: Buffer.from(digest, 'base64').toString('hex') }];
      component.externalReferences = [{ type: 'distribution', url: c.resolved }];
    }
    component.properties = [
      ...(c.packages ? [{ name: 'quarn:debian-packages', value: [...c.packages].sort().join(' ') }] : []),
      ...c.uses.map((u) => ({ name: 'quarn:linked-into', value: `${u.ref} (${u.how})` })),
    ];
    list.push(component);
  }
  for (const [file, sha256] of Object.entries(description.artifacts).sort()) {
    list.push({ type: 'file', 'bom-ref': `artifact:${file}`, name: file, version: description.version, hashes: [{ alg: 'SHA-256', content: sha256 }] });
  }
  const document = {
    bomFormat: 'CycloneDX',
    specVersion: '1.5',
    serialNumber: '',
    version: 1,
    metadata: {
      timestamp: new Date(epoch * 1000).toISOString().replace('.000Z', 'Z'),
      tools: { components: [{ type: 'application', name: 'dev/release (packaging/bom.mjs)' }] },
      component: { type: 'application', 'bom-ref': 'quarn-host', name: 'quarn-host', version: description.version },
    },
    components: list,
    dependencies: [
      { ref: 'quarn-host', dependsOn: programs.map((p) => p.ref) },
      ...programs.map((p) => ({ ref: p.ref, dependsOn: sorted.filter(([, c]) => c.uses.some((u) => u.ref === p.ref)).map(([id]) => id) })),
    ],
  };
  // A serial number from the content: the same release gives the same document.
  const digest = createHash('sha256').update(JSON.stringify(document)).digest('hex');
  document.serialNumber = `urn:uuid:${digest.slice(0, 8)}-${digest.slice(8, 12)}-5${digest.slice(13, 16)}-${((parseInt(digest[16], 16) & 3) | 8).toString(16)}${digest.slice(17, 20)}-${digest.slice(20, 32)}`;
  return `${JSON.stringify(document, null, 2)}\n`;
}

// Standalone licence texts: by reference where Debian ships them, in full otherwise.
const licenceTexts = {
  'Apache-2.0': ' On Debian systems, the full text of the Apache License 2.0 is in\n /usr/share/common-licenses/Apache-2.0.',
  'CC0-1.0': ' On Debian systems, the full text of the CC0 1.0 Universal licence is in\n /usr/share/common-licenses/CC0-1.0.',
  'LGPL-2.1-or-later': ' On Debian systems, the full text of the GNU Lesser General Public License\n version 2.1 is in /usr/share/common-licenses/LGPL-2.1.',
  'LGPL-2.1-only': ' On Debian systems, the full text of the GNU Lesser General Public License\n version 2.1 is in /usr/share/common-licenses/LGPL-2.1.',
  'GPL-3.0-or-later WITH GCC-exception-3.1': ' The GCC runtime library is under the GNU General Public License version 3\n or later with the GCC Runtime Library Exception 3.1, which lets programs\n compiled with GCC link it into programs under any licence. On Debian systems,\n the full text of the GPL version 3 is in /usr/share/common-licenses/GPL-3.',
  'GPL-2.0-only WITH Linux-syscall-note': ' Only the kernel\'s user-space API headers are used. On Debian systems, the\n full text of the GPL version 2 is in /usr/share/common-licenses/GPL-2.',
  MIT: ' Permission is hereby granted, free of charge, to any person obtaining a copy\n of this software and associated documentation files (the "Software"), to deal\n in the Software without restriction, including without limitation the rights\n to use, copy, modify, merge, publish, distribute, sublicense, and/or sell\n copies of the Software, and to permit persons to whom the Software is\n furnished to do so, subject to the following conditions:\n .\n The above copyright notice and this permission notice shall be included in\n all copies or substantial portions of the Software.\n .\n THE SOFTWARE IS PROVIDED "AS IS", WITHOUT WARRANTY OF ANY KIND, EXPRESS OR\n IMPLIED, INCLUDING BUT NOT LIMITED TO THE WARRANTIES OF MERCHANTABILITY,\n FITNESS FOR A PARTICULAR PURPOSE AND NONINFRINGEMENT. IN NO EVENT SHALL THE\n AUTHORS OR COPYRIGHT HOLDERS BE LIABLE FOR ANY CLAIM, DAMAGES OR OTHER\n LIABILITY, WHETHER IN AN ACTION OF CONTRACT, TORT OR OTHERWISE, ARISING FROM,\n OUT OF OR IN CONNECTION WITH THE SOFTWARE OR THE USE OR OTHER DEALINGS IN THE\n SOFTWARE.',
  ISC: ' Permission to use, copy, modify, and/or distribute this software for any\n purpose with or without fee is hereby granted, provided that the above\n copyright notice and this permission notice appear in all copies.\n .\n THE SOFTWARE IS PROVIDED "AS IS" AND THE AUTHOR DISCLAIMS ALL WARRANTIES\n WITH REGARD TO THIS SOFTWARE INCLUDING ALL IMPLIED WARRANTIES OF\n MERCHANTABILITY AND FITNESS. IN NO EVENT SHALL THE AUTHOR BE LIABLE FOR\n ANY SPECIAL, DIRECT, INDIRECT, OR CONSEQUENTIAL DAMAGES OR ANY DAMAGES\n WHATSOEVER RESULTING FROM LOSS OF USE, DATA OR PROFITS, WHETHER IN AN\n ACTION OF CONTRACT, NEGLIGENCE OR OTHER TORTIOUS ACTION, ARISING OUT OF\n OR IN CONNECTION WITH THE USE OR PERFORMANCE OF THIS SOFTWARE.',
};

// DEP-5 wants licence names without SPDX operators' parentheses; expressions stay as they are,
// and each name in them gets its own paragraph.
function copyright() {
  const deb = programs.filter((p) => p.build.name === 'deb').map((p) => p.ref);
  const lines = [
    'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/',
    'Upstream-Name: quarn-host',
    'Comment: The programs of this package and the third-party code built or linked',
    ' into them (from the link maps of this build; the bill of materials',
    ` quarn-host-${description.version}.cdx.json lists the same, with versions).`,
    '',
    'Files: *',
    'Copyright: The Quarn developers',
    'License: LicenseRef-Quarn',
  ];
  const used = new Set();
  for (const [, c] of sorted) {
    const uses = c.uses.filter((u) => deb.includes(u.ref));
    if (uses.length === 0) continue;
    const name = c.project.split('/').pop();
    const licence = licenceOf(c.key, c);
    for (const part of licence.split(/ (?:AND|OR) /)) used.add(part.replace(/[()]/g, ''));
    const where = uses.map((u) => `${u.ref.split('/').pop()} (${u.how})`).join(', ');
    const from = c.kind === 'deb' ? `Debian package ${[...c.packages].sort().join(', ')} ${c.version}` : `npm package ${c.project} ${c.version}`;
    lines.push('', `Files: embedded/${name}/*`, `Copyright: ${holders[name] || `the ${name} authors`}`,
      `License: ${licence.replaceAll(' AND ', ' and ').replaceAll(' OR ', ' or ')}`,
      `Comment: ${descriptions[name] || name}, from the ${from}; in ${where}.`);
  }
  lines.push('', 'License: LicenseRef-Quarn',
    ' The Quarn developers have not yet published a licence for quarn-host;',
    ' all rights reserved.');
  for (const name of [...used].sort()) {
    if (!licenceTexts[name]) throw new Error(`no licence text for ${name}: add it to packaging/bom.mjs`);
    lines.push('', `License: ${name}`, licenceTexts[name]);
  }
  return `${lines.join('\n')}\n`;
}

process.stdout.write(mode === 'bom' ? bom() : copyright());
