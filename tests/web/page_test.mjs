// Opens the browser page from the disk in headless Chromium, drives it through
// its controls and checks that every run prints, returns and writes exactly
// what the console program does with the same files.
//
// node page_test.mjs --page PAGE.html --program QORVELIX --tones DIR --examples DIR
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

const options = {};
for (let i = 2; i + 1 < process.argv.length; i += 2) {
  options[process.argv[i].replace(/^--/, '')] = path.resolve(process.argv[i + 1]);
}
for (const name of ['page', 'program', 'tones', 'examples']) {
  assert.ok(options[name] && fs.existsSync(options[name]), `--${name} must name an existing path`);
}

let puppeteer;
try {
  ({ default: puppeteer } = await import('puppeteer-core'));
} catch (e) {
  assert.fail(`puppeteer-core cannot be loaded (run npm ci --prefix tests/web first): ${e.message}`);
}

const TONES = ['KICK.PCM', 'SNARE.PCM', 'HAT.PCM', 'BASS.PCM', 'LEAD.PCM', 'PAD.WAV'];
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'qorvelix-web-'));
const tone = (name) => fs.readFileSync(path.join(options.tones, name));
const example = (name) => fs.readFileSync(path.join(options.examples, name));
const examples = () => Object.fromEntries([
  ...TONES.map((name) => [name, tone(name)]),
  ['drums.lxi', example('drums.lxi')],
  ['demo.lxi', example('demo.lxi')],
]);

// Every file below `dir`: relative path -> bytes.
function tree(dir, prefix = '', found = new Map()) {
  for (const entry of fs.readdirSync(path.join(dir, prefix), { withFileTypes: true })) {
    const rel = prefix ? prefix + '/' + entry.name : entry.name;
    if (entry.isDirectory()) {
      tree(dir, rel, found);
    } else {
      found.set(rel, fs.readFileSync(path.join(dir, rel)));
    }
  }
  return found;
}

// The console program in `dir`: its streams, its status as a shell sees it,
// and the files the run wrote or changed.
function consoleRun(dir, args) {
  const before = tree(dir);
  const run = spawnSync(options.program, args, { cwd: dir });
  assert.equal(run.error, undefined);
  const written = new Map([...tree(dir)].filter(([p, b]) => !before.has(p) || !before.get(p).equals(b)));
  return { stdout: run.stdout.toString(), stderr: run.stderr.toString(), status: String(run.status), written };
}

async function pageRun(page, args) {
  await page.select('#operation', args[0]);
  await page.evaluate((target) => {
    // A name the file set lacks is offered too, to reach the missing-list end.
    const select = document.querySelector('#target');
    if (![...select.options].some((o) => o.value === target)) {
      select.append(new Option(target, target));
    }
    select.value = target;
    select.dispatchEvent(new Event('change'));
  }, args[1]);
  // Every value #status takes during the run, in order.
  await page.evaluate(() => {
    window.statusSeen = [];
    window.statusObserver?.disconnect();
    window.statusObserver = new MutationObserver(() =>
      window.statusSeen.push(document.querySelector('#status').textContent));
    window.statusObserver.observe(document.querySelector('#status'), { childList: true, characterData: true, subtree: true });
  });
  await page.click('#run');
  await page.waitForFunction(() => window.statusSeen.length > 0 && window.statusSeen.at(-1) !== '' &&
                                   !document.querySelector('#run').disabled);
  const seen = await page.evaluate(() => window.statusSeen);
  assert.ok(seen.length <= 2 && (seen.length === 1 || seen[0] === ''), `status during a run: ${seen}`);
  return page.evaluate(() => ({
    stdout: document.querySelector('#stdout').textContent,
    stderr: document.querySelector('#stderr').textContent,
    status: document.querySelector('#status').textContent,
    note: document.querySelector('#note').textContent,
    files: [...document.querySelectorAll('#file-list .name')].map((e) => e.textContent).sort(),
  }));
}

async function downloaded(page, name) {
  const base64 = await page.evaluate(async (name) => {
    const link = [...document.querySelectorAll('#downloads a')].find((a) => a.download === name);
    if (!link) {
      return null;
    }
    const bytes = new Uint8Array(await (await fetch(link.href)).arrayBuffer());
    let text = '';
    for (let i = 0; i < bytes.length; i += 0x8000) {
      text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
    }
    return btoa(text);
  }, name);
  assert.notEqual(base64, null, `a download link for ${name}`);
  return Buffer.from(base64, 'base64');
}

// One case: the same files in a folder of the console program's and added to
// a freshly opened page, then the same runs in both, compared run by run.
// `expect(run, console)` may check that a case reaches the failure it is for.
async function check(browser, name, files, runs) {
  const dir = path.join(scratch, name);
  const upload = path.join(scratch, name + '-upload');
  fs.mkdirSync(dir);
  fs.mkdirSync(upload);
  for (const [file, bytes] of Object.entries(files)) {
    for (const root of [dir, upload]) {
      fs.mkdirSync(path.dirname(path.join(root, file)), { recursive: true });
      fs.writeFileSync(path.join(root, file), bytes);
    }
  }
  const page = await browser.newPage();
  const outside = [];
  const pageUrl = pathToFileURL(options.page).href;
  await page.setRequestInterception(true);
  page.on('request', (request) => {
    const url = request.url();
    if (url === pageUrl || url.startsWith('blob:') || url.startsWith('data:')) {
      request.continue();
    } else {
      outside.push(url);
      request.abort();
    }
  });
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto(pageUrl);
  // Plain names through the file picker, "folder/name" through the folder
  // picker, one folder at a time.
  const names = Object.keys(files);
  const loose = names.filter((file) => !file.includes('/'));
  await (await page.$('#files')).uploadFile(...loose.map((file) => path.join(upload, file)));
  for (const folder of new Set(names.filter((file) => file.includes('/')).map((file) => file.split('/')[0]))) {
    await (await page.$('#folder')).uploadFile(path.join(upload, folder));
  }
  await page.waitForFunction((n) => document.querySelectorAll('#target option').length === n, {},
                             Object.keys(files).length);

  for (const [args, expect, outside = []] of runs) {
    const label = `${name}: qorvelix ${args.join(' ')}`;
    const want = consoleRun(dir, args);
    if (expect) {
      expect(want);
    }
    const got = await pageRun(page, args);
    assert.equal(got.stdout, want.stdout, `${label}: standard output`);
    assert.equal(got.stderr, want.stderr, `${label}: standard error`);
    assert.equal(got.status, want.status, `${label}: status`);
    // A bank written outside the folder is offered under its full path.
    const far = outside.map((file) => '/' + file);
    assert.equal(got.note, far.length ? 'Written outside the folder: ' + far.join(', ') : '', label);
    for (const file of outside) {
      const bytes = fs.readFileSync(path.join(dir, '..', file));
      assert.ok((await downloaded(page, '/' + file)).equals(bytes), `${label}: the bytes of ${file}`);
    }
    assert.deepEqual(got.files, [...tree(dir).keys()].sort(), `${label}: the folder's files`);
    for (const [file, bytes] of want.written) {
      assert.ok((await downloaded(page, file)).equals(bytes), `${label}: the bytes of ${file}`);
    }
    console.log(`ok  ${label}  (status ${want.status})`);
  }
  assert.deepEqual(outside, [], `${name}: the page asked for nothing outside itself`);
  assert.deepEqual(errors, [], `${name}: no script errors`);
  await page.close();
}

const fails = (pattern) => (run) => assert.match(run.stdout + run.stderr, pattern);
const list = (...lines) => Buffer.from(lines.map((l) => l + '\n').join(''));
const limit = 260928 - 1056;

const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium',
  headless: true,
  userDataDir: path.join(scratch, 'profile'),
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
try {
  await check(browser, 'examples', examples(), [
    [['link', 'drums.lxi'], fails(/\[LINK\] done/)],
    [['link', 'demo.lxi'], fails(/\[LINK\] done/)],
    [['view', 'DEMO.PPC']],
    [['view', 'DRUMS.PPC']],
  ]);
  await check(browser, 'failures', {
    'KICK.PCM': tone('KICK.PCM'),
    'gone.lxi': list('*\tGONE.PPC', '0\tKICK.PCM', '1\tMISSING.PCM'),
    'nameless.lxi': list('0\tKICK.PCM'),
    'BIG.PCM': Buffer.alloc(limit + 1, 0x5a),
    'big.lxi': list('*\tBIG.PPC', '0\tBIG.PCM'),
    'FULL.PCM': Buffer.alloc(limit, 0xa5),
    'full.lxi': list('*\tFULL.PPC', '0\tFULL.PCM'),
    'short.ppc': Buffer.from('ADPCM DATA'),
  }, [
    [['link', 'gone.lxi'], fails(/MISSING\.PCM/)],
    [['link', 'nameless.lxi'], fails(/^E /m)],
    [['link', 'big.lxi'], fails(/TOO Large/)],
    [['link', 'full.lxi'], fails(/\[LINK\] done/)],
    [['view', 'short.ppc'], fails(/^E /m)],
    [['view', 'FULL.PPC']],
  ]);
  // A folder keeps its paths, and a bank may be written into it.
  await check(browser, 'folder', {
    'kit.lxi': list('*\tout/KIT.PPC', '0\tdrums/KICK.PCM', '1\tdrums/deep/HAT.PCM'),
    'drums/KICK.PCM': tone('KICK.PCM'),
    'drums/deep/HAT.PCM': tone('HAT.PCM'),
    'out/old.txt': Buffer.from('kept\n'),
  }, [
    [['link', 'kit.lxi'], fails(/\[LINK\] done/)],
    [['view', 'out/KIT.PPC']],
  ]);
  // The runs that end the process: each ends its own run only, and the next
  // run on the same page starts clean.
  await check(browser, 'process-ends', {
    ...examples(),
    'nodir.lxi': list('*\tno/such/dir/OUT.PPC', '0\tKICK.PCM'),
    'up.lxi': list('*\t../UP.PPC', '0\tKICK.PCM'),
  }, [
    [['link', 'NOLIST.LXI'], (run) => assert.equal(run.status, '1')],
    [['link', 'nodir.lxi'], (run) => assert.equal(run.status, '255')],
    [['link', 'up.lxi'], fails(/\[LINK\] done/), ['UP.PPC']],
    [['link', 'drums.lxi'], fails(/\[LINK\] done/)],
    [['link', 'NOLIST.LXI']],
    [['view', 'DRUMS.PPC']],
  ]);
} finally {
  await browser.close();
  fs.rmSync(scratch, { recursive: true, force: true });
}
console.log('the page matches the console program');
