// Opens the browser page from the disk in headless Chromium, drives it through
// its controls and checks that every run prints, returns and writes exactly
// what the console program does with the same files in the same folder; that
// the summary says so in plain words, the tones play as the chip decodes
// them, the page answers during a run on a large file, and axe finds nothing
// to fault.
//
// node page_test.mjs --page PAGE.html --program QORVELIX --tones DIR --examples DIR
//                    [--screenshots DIR]
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

const options = {};
for (let i = 2; i + 1 < process.argv.length; i += 2) {
  options[process.argv[i].replace(/^--/, '')] = path.resolve(process.argv[i + 1]);
}
for (const name of ['page', 'program', 'tones', 'examples']) {
  assert.ok(options[name] && fs.existsSync(options[name]), `--${name} must name an existing path`);
}

let puppeteer;
let unzipSync;
try {
  ({ default: puppeteer } = await import('puppeteer-core'));
  ({ unzipSync } = await import('fflate'));
} catch (e) {
  assert.fail(`puppeteer-core cannot be loaded (run npm ci --prefix tests/web first): ${e.message}`);
}
const here = path.dirname(fileURLToPath(import.meta.url));
const axeSource = fs.readFileSync(path.join(here, 'node_modules/axe-core/axe.min.js'), 'utf8');

const TONES = ['KICK.PCM', 'SNARE.PCM', 'HAT.PCM', 'BASS.PCM', 'LEAD.PCM', 'PAD.WAV'];
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'qorvelix-web-'));
const downloads = path.join(scratch, 'downloads');
const tone = (name) => fs.readFileSync(path.join(options.tones, name));
const example = (name) => fs.readFileSync(path.join(options.examples, name));
const examples = (folder = '') => Object.fromEntries([
  ...TONES.map((name) => [folder + name, tone(name)]),
  [folder + 'drums.lxi', example('drums.lxi')],
  [folder + 'demo.lxi', example('demo.lxi')],
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

// The console program run as the page runs it: in the folder of the file
// named, with its name from there. Its streams, its status as a shell sees
// it, and the files the run wrote or changed.
function consoleRun(dir, [op, file]) {
  const before = tree(dir);
  const folder = path.dirname(file);
  const inFolder = folder !== '.' && fs.existsSync(path.join(dir, folder));
  const run = spawnSync(options.program, [op, inFolder ? path.basename(file) : file],
                        { cwd: inFolder ? path.join(dir, folder) : dir });
  assert.equal(run.error, undefined);
  const written = new Map([...tree(dir)].filter(([p, b]) => !before.has(p) || !before.get(p).equals(b)));
  return { stdout: run.stdout.toString(), stderr: run.stderr.toString(), status: String(run.status), written };
}

// The chip's decoder, as the test's own reference for what the page plays.
function decode(bytes) {
  const F = [57, 57, 57, 57, 77, 102, 128, 153];
  const samples = [];
  let x = 0;
  let step = 127;
  for (const byte of bytes) {
    for (const n of [byte >> 4, byte & 15]) {
      const d = Math.trunc(((2 * (n & 7) + 1) * step) / 8);
      x = Math.min(32767, Math.max(-32768, n & 8 ? x - d : x + d));
      samples.push(x);
      step = Math.min(24576, Math.max(127, Math.trunc((step * F[n & 7]) / 64)));
    }
  }
  return samples;
}

// The tones of a bank's table: the bytes of each inside the file.
function bankTones(bank) {
  const found = [];
  for (let t = 0; t < 256; t++) {
    const start = bank.readUInt16LE(0x20 + 4 * t);
    const end = bank.readUInt16LE(0x22 + 4 * t);
    if (start !== 0) {
      const offset = start * 32 - 160;
      const size = (end - start + 1) * 32;
      found.push({ tone: t, size, bytes: bank.subarray(Math.max(0, offset), offset < 0 ? 0 : offset + Math.max(0, size)) });
    }
  }
  return found;
}

async function settled(page) {
  await page.waitForFunction(() => document.querySelector('#run').getAttribute('aria-disabled') === 'false' &&
                                   document.querySelector('#summary').dataset.outcome !== 'running');
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
  // Every value #status takes during the run, in order; how long the main
  // thread went without running a timer.
  await page.evaluate(() => {
    window.statusSeen = [];
    window.statusObserver?.disconnect();
    window.statusObserver = new MutationObserver(() =>
      window.statusSeen.push(document.querySelector('#status').textContent));
    window.statusObserver.observe(document.querySelector('#status'), { childList: true, characterData: true, subtree: true });
    window.longestGap = 0;
    let last = performance.now();
    clearInterval(window.ticker);
    window.ticker = setInterval(() => {
      window.longestGap = Math.max(window.longestGap, performance.now() - last);
      last = performance.now();
    }, 20);
  });
  const started = Date.now();
  await page.click('#run');
  await settled(page);
  const took = Date.now() - started;
  const seen = await page.evaluate(() => window.statusSeen);
  assert.ok(seen.length <= 2 && (seen.length === 1 || seen[0] === ''), `status during a run: ${seen}`);
  return page.evaluate((took) => {
    clearInterval(window.ticker);
    const summary = document.querySelector('#summary');
    const streams = document.querySelector('#stdout').textContent + document.querySelector('#stderr').textContent;
    return {
      took,
      stdout: document.querySelector('#stdout').textContent,
      stderr: document.querySelector('#stderr').textContent,
      status: document.querySelector('#status').textContent,
      note: document.querySelector('#note').textContent,
      outcome: summary.dataset.outcome,
      summary: summary.textContent,
      focus: document.activeElement.id,
      gap: window.longestGap,
      files: [...document.querySelectorAll('#file-list .name')].map((e) => e.textContent).sort(),
      links: [...document.querySelectorAll('#downloads a')].map((a) => a.dataset.path).sort(),
      // Every bracketed name of the streams is isolated.
      names: [...streams.matchAll(/\[([^\]\n]*)\]/g)].map((m) => m[1]),
      isolated: [...document.querySelectorAll('#stdout bdi, #stderr bdi')].map((e) => e.textContent),
    };
  }, took);
}

// The downloads the browser has begun and finished, and what waits for them.
const saves = { begun: [], done: new Set(), waiting: [] };
function untilSaves(test) {
  return new Promise((resolve) => {
    const look = () => {
      const found = test();
      if (found) {
        resolve(found);
      }
      return Boolean(found);
    };
    if (!look()) {
      saves.waiting.push(look);
    }
  });
}
function savesChanged() {
  saves.waiting = saves.waiting.filter((look) => !look());
}

// Saves the file a link of #downloads offers, as a browser would: the name
// it is saved under and its bytes. `file` is the path the run wrote.
async function downloaded(page, file) {
  const link = await page.$(`#downloads a[data-path="${file}"]`);
  assert.ok(link, `a download link for ${file}`);
  const count = saves.begun.length;
  await link.click();
  const { guid, suggestedFilename } = await untilSaves(() => saves.begun[count]);
  await untilSaves(() => saves.done.has(guid));
  const saved = path.join(downloads, guid);
  const bytes = fs.readFileSync(saved);
  fs.rmSync(saved);
  return { name: suggestedFilename, bytes };
}

// Plays every tone listed and checks that each buffer holds the decoder's
// samples of the bank's bytes divided by 32768, at the chosen rate.
async function checkTones(page, bank, label) {
  const want = bankTones(bank);
  const rows = await page.$$eval('#tones li', (items) => items.map((li) => ({
    label: li.getAttribute('aria-label'), text: li.textContent })));
  assert.equal(rows.length, want.length, `${label}: one row a tone`);
  for (const [i, t] of want.entries()) {
    assert.match(rows[i].label, new RegExp(`^Tone ${t.tone}, ${t.size} bytes, `), `${label}: row name`);
    await page.evaluate(() => { window.played = []; });
    await page.click(`button[data-tone="${t.tone}"]`);
    const played = await page.evaluate(() => window.played.map((p) => ({ rate: p.rate, samples: p.samples })));
    if (t.bytes.length === 0) {
      assert.equal(played.length, 0, `${label}: tone ${t.tone} has nothing to play`);
      continue;
    }
    assert.equal(played.length, 1, `${label}: tone ${t.tone} plays`);
    assert.equal(played[0].rate, 16000, `${label}: tone ${t.tone} at 16 kHz`);
    assert.deepEqual(played[0].samples, decode(t.bytes), `${label}: the samples of tone ${t.tone}`);
  }
  // Another button stops the tone playing; the rate control sets the rate.
  if (want.length >= 2) {
    await page.click(`button[data-tone="${want[0].tone}"]`);
    await page.$eval('#rate', (input) => {
      input.value = '8000';
      input.dispatchEvent(new Event('input'));
    });
    await page.click(`button[data-tone="${want[1].tone}"]`);
    const last = await page.evaluate(() => window.played.slice(-2).map((p) => ({ rate: p.rate, stopped: p.stopped })));
    assert.deepEqual(last, [{ rate: 16000, stopped: true }, { rate: 8000, stopped: false }], `${label}: stop and rate`);
    const length = await page.$eval('#tones li .tone-length', (e) => e.textContent);
    assert.equal(length, (want[0].size * 2 / 8000).toFixed(3) + ' s', `${label}: length at 8 kHz`);
    await page.$eval('#rate', (input) => {
      input.value = '16000';
      input.dispatchEvent(new Event('input'));
    });
  }
}

// axe-core finds no violation in the page as it is now.
async function checkAccessible(page, state) {
  await page.evaluate(axeSource);
  const { violations } = await page.evaluate(() => window.axe.run(document));
  assert.deepEqual(violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target).join(' ')}`), [],
                   `axe: ${state}`);
}

async function shoot(page, name) {
  if (options.screenshots) {
    fs.mkdirSync(options.screenshots, { recursive: true });
    await page.screenshot({ path: path.join(options.screenshots, name + '.png'), fullPage: true });
  }
}

// The processes of the browser, in bytes of resident memory.
function browserMemory(browser) {
  const children = new Map();
  for (const pid of fs.readdirSync('/proc').filter((p) => /^\d+$/.test(p))) {
    try {
      const parent = fs.readFileSync(`/proc/${pid}/stat`, 'utf8').match(/\) \S+ (\d+)/)[1];
      children.set(parent, [...(children.get(parent) || []), pid]);
    } catch { /* ended meanwhile */ }
  }
  let total = 0;
  const visit = (pid) => {
    try {
      total += Number(fs.readFileSync(`/proc/${pid}/statm`, 'utf8').split(' ')[1]) * 4096;
    } catch { /* ended meanwhile */ }
    (children.get(pid) || []).forEach(visit);
  };
  visit(String(browser.process().pid));
  return total;
}

// One case: the same files in a folder of the console program's and added to
// a freshly opened page, then the same runs in both, compared run by run.
// A run is [args, summary, expect, outside]: the summary the page must show,
// and `expect(console)` may check that a case reaches the failure it is for.
// `during(page, state)` looks at the page when it is empty, loaded, and
// after each run (its args).
async function check(browser, name, files, runs, during = async () => {}) {
  const dir = path.join(scratch, name);
  const upload = path.join(scratch, name + '-upload');
  fs.mkdirSync(dir);
  fs.mkdirSync(upload);
  for (const [file, bytes] of Object.entries(files)) {
    for (const root of [dir, upload]) {
      fs.mkdirSync(path.dirname(path.join(root, file)), { recursive: true });
    }
    if (Buffer.isBuffer(bytes)) {
      fs.writeFileSync(path.join(dir, file), bytes);
      fs.writeFileSync(path.join(upload, file), bytes);
    } else {
      // A large file, {size, fill}: `fill` over and over, or zeros as sparse
      // as the file system allows; the copy to add is the same file.
      const fd = fs.openSync(path.join(dir, file), 'w');
      for (let at = 0; bytes.fill && at < bytes.size; at += bytes.fill.length) {
        fs.writeSync(fd, bytes.fill, 0, Math.min(bytes.fill.length, bytes.size - at));
      }
      fs.ftruncateSync(fd, bytes.size);
      fs.closeSync(fd);
      fs.linkSync(path.join(dir, file), path.join(upload, file));
    }
  }
  const page = await browser.newPage();
  await page.setViewport({ width: 1280, height: 900 });
  const outside = [];
  const pageUrl = pathToFileURL(options.page).href;
  await page.setRequestInterception(true);
  page.on('request', (request) => {
    const url = request.url();
    if (url === pageUrl || url.startsWith('blob:')) {
      request.continue();
    } else {
      outside.push(url);
      request.abort();
    }
  });
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  page.on('console', (m) => {
    // The refusals of the policy's probe below are meant.
    if (m.type() === 'error' && !m.text().includes('data:,probe')) {
      errors.push(m.text());
    }
  });
  // What the page hands to the sound output, kept from sounding: each tone
  // starts an hour from now, so it is playing until the page stops it.
  await page.evaluateOnNewDocument(() => {
    window.played = [];
    const { start, stop } = AudioBufferSourceNode.prototype;
    const sources = new Map();
    AudioBufferSourceNode.prototype.start = function () {
      const channel = this.buffer.getChannelData(0);
      const record = { rate: this.buffer.sampleRate, samples: Array.from(channel, (x) => x * 32768), stopped: false };
      sources.set(this, record);
      window.played.push(record);
      return start.call(this, this.context.currentTime + 3600);
    };
    AudioBufferSourceNode.prototype.stop = function (...args) {
      sources.get(this).stopped = true;
      return stop.apply(this, args);
    };
  });
  await page.goto(pageUrl);
  await during(page, 'empty');
  // Plain names through the file picker, "folder/name" through the folder
  // picker, one folder at a time.
  const names = Object.keys(files);
  const loose = names.filter((file) => !file.includes('/'));
  if (loose.length > 0) {
    await (await page.$('#files')).uploadFile(...loose.map((file) => path.join(upload, file)));
  }
  for (const folder of new Set(names.filter((file) => file.includes('/')).map((file) => file.split('/')[0]))) {
    // The browser lists a folder after the call returns: the next folder
    // must not take its place before the page has taken its files.
    await (await page.$('#folder')).uploadFile(path.join(upload, folder));
    await page.waitForFunction((top) => [...document.querySelectorAll('#target option')]
      .some((o) => o.value.startsWith(top)), {}, folder + '/');
  }
  await page.waitForFunction((n) => document.querySelectorAll('#target option').length === n, {},
                             Object.keys(files).length);
  await during(page, 'loaded');

  for (const [args, summary, expect, outside = []] of runs) {
    const label = `${name}: qorvelix ${args.join(' ')}`;
    const want = consoleRun(dir, args);
    if (expect) {
      expect(want);
    }
    const got = await pageRun(page, args);
    assert.equal(got.stdout, want.stdout, `${label}: standard output`);
    assert.equal(got.stderr, want.stderr, `${label}: standard error`);
    assert.equal(got.status, want.status, `${label}: status`);
    assert.equal(got.outcome, want.status === '0' ? 'done' : 'failed', `${label}: outcome`);
    assert.match(got.summary, summary, `${label}: summary`);
    assert.equal(got.focus, 'run', `${label}: the focus stays on Run`);
    assert.ok(got.gap < 500, `${label}: the page went ${got.gap} ms without a timer`);
    assert.deepEqual(got.isolated, got.names, `${label}: names isolated`);
    // A bank written outside the folder is offered under its full path.
    const far = outside.map((file) => '/' + file);
    assert.equal(got.note, far.length ? 'Written outside the folder: ' + far.join(', ') : '', label);
    for (const file of outside) {
      const bytes = fs.readFileSync(path.join(dir, '..', file));
      assert.ok((await downloaded(page, '/' + file)).bytes.equals(bytes), `${label}: the bytes of ${file}`);
    }
    assert.deepEqual(got.files, [...tree(dir).keys()].sort(), `${label}: the folder's files`);
    // This run's files, and no other, are offered; each saved under its name.
    const zips = got.links.filter((p) => p.endsWith('.zip') && !want.written.has(p));
    assert.deepEqual(got.links.filter((p) => !zips.includes(p)), [...want.written.keys(), ...far].sort(),
                     `${label}: the links`);
    for (const [file, bytes] of want.written) {
      const saved = await downloaded(page, file);
      assert.equal(saved.name, path.basename(file), `${label}: the name ${file} is saved as`);
      assert.ok(saved.bytes.equals(bytes), `${label}: the bytes of ${file}`);
    }
    // A zip holds every file written, by its path from the run's folder.
    for (const zip of zips) {
      const folder = path.dirname(args[1]) === '.' ? '' : path.dirname(args[1]) + '/';
      const entries = unzipSync((await downloaded(page, zip)).bytes);
      assert.deepEqual(Object.keys(entries).sort(), [...want.written.keys()].map((p) => p.slice(folder.length)).sort(),
                       `${label}: the files of ${zip}`);
      for (const [file, bytes] of want.written) {
        assert.ok(bytes.equals(entries[file.slice(folder.length)]), `${label}: ${file} in ${zip}`);
      }
    }
    if (args[0] === 'view' && want.status === '0') {
      await checkTones(page, fs.readFileSync(path.join(dir, args[1])), label);
    }
    await during(page, args);
    console.log(`ok  ${label}  (status ${want.status}, ${got.took} ms, longest wait ${Math.round(got.gap)} ms)`);
  }
  assert.deepEqual(outside, [], `${name}: the page asked for nothing outside itself`);
  assert.deepEqual(errors, [], `${name}: no script errors`);
  await page.close();
}

const fails = (pattern) => (run) => assert.match(run.stdout + run.stderr, pattern);
const list = (...lines) => Buffer.from(lines.map((l) => l + '\n').join(''));
const limit = 260928 - 1056;
const DONE = /^Bank \S+ written, \d+ bytes$/;
const SEE = ', see the lines below$';

// A bank the console program links from the example tones.
function linked(name, lines) {
  const dir = fs.mkdtempSync(path.join(scratch, 'bank-'));
  for (const t of TONES) {
    fs.writeFileSync(path.join(dir, t), tone(t));
  }
  fs.writeFileSync(path.join(dir, 'bank.lxi'), list('*\t' + name, ...lines));
  assert.equal(spawnSync(options.program, ['link', 'bank.lxi'], { cwd: dir }).status, 0);
  return fs.readFileSync(path.join(dir, name));
}

// The operations the console program's usage text lists.
const usage = spawnSync(options.program, []).stderr.toString();
const operations = usage.slice(usage.indexOf('operation :')).split('\n')
  .map((line) => line.replace('operation :', '').trim()).filter((word) => /^[a-z]+$/.test(word)).sort();

const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium',
  headless: true,
  userDataDir: path.join(scratch, 'profile'),
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--autoplay-policy=no-user-gesture-required',
         '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
try {
  fs.mkdirSync(downloads);
  const cdp = await browser.target().createCDPSession();
  await cdp.send('Browser.setDownloadBehavior', { behavior: 'allowAndName', downloadPath: downloads, eventsEnabled: true });
  cdp.on('Browser.downloadWillBegin', (event) => {
    saves.begun.push(event);
    savesChanged();
  });
  cdp.on('Browser.downloadProgress', (event) => {
    if (event.state === 'completed') {
      saves.done.add(event.guid);
      savesChanged();
    }
  });

  // A folder of examples: each list runs in the folder, and the list offered
  // first is one whose tones are all there.
  await check(browser, 'examples', examples('examples/'), [
    [['link', 'examples/drums.lxi'], /^Bank examples\/DRUMS\.PPC written, 1600 bytes$/, fails(/\[LINK\] done/)],
    [['link', 'examples/demo.lxi'], DONE, fails(/\[LINK\] done/)],
    [['view', 'examples/DEMO.PPC'], /^examples\/DEMO\.PPC: 4 tones$/],
    [['view', 'examples/DRUMS.PPC'], /^examples\/DRUMS\.PPC: 3 tones$/],
    [['link', 'examples/nothing.lxi'], /^Failed: the list nothing\.lxi not found, see the lines below$/],
  ], async (page, state) => {
    if (state === 'empty') {
      // The policy refuses every request.
      assert.equal(await page.evaluate(() => fetch('data:,probe').then(() => 'made', () => 'refused')), 'refused');
    }
    if (state === 'loaded') {
      assert.equal(await page.$eval('#target', (s) => s.value), 'examples/drums.lxi', 'the list offered first');
      await page.waitForFunction((n) => document.querySelectorAll('#operation option').length === n, {},
                                 operations.length);
      assert.deepEqual(await page.$$eval('#operation option', (o) => o.map((x) => x.value).sort()), operations,
                       'the operations offered');
    }
    const shown = typeof state === 'string' ? state
      : { 'examples/DRUMS.PPC': 'done', 'examples/nothing.lxi': 'failed' }[state[1]];
    if (shown) {
      await checkAccessible(page, shown);
      await shoot(page, shown + '-1280');
    }
    if (shown === 'done') {
      // On a phone each line of view's table stays on one line, and axe
      // still finds nothing.
      await page.setViewport({ width: 375, height: 800 });
      const wrapped = await page.$$eval('#stdout span', (spans) =>
        spans.filter((s) => /PCM Tone/.test(s.textContent) &&
          new Set([...s.getClientRects()].filter((r) => r.width > 0).map((r) => Math.round(r.top))).size !== 1)
          .length);
      assert.equal(wrapped, 0, 'view lines at 375 px');
      await checkAccessible(page, 'phone');
      await shoot(page, 'done-375');
      await page.setViewport({ width: 1280, height: 900 });
    }
  });
  await check(browser, 'failures', {
    'KICK.PCM': tone('KICK.PCM'),
    'gone.lxi': list('*\tGONE.PPC', '0\tKICK.PCM', '1\tMISSING.PCM'),
    'nameless.lxi': list('0\tKICK.PCM'),
    'BIG.PCM': Buffer.alloc(limit + 1, 0x5a),
    'big.lxi': list('*\tBIG.PPC', '0\tBIG.PCM'),
    'FULL.PCM': Buffer.alloc(limit, 0xa5),
    'full.lxi': list('*\tFULL.PPC', '0\tFULL.PCM'),
    'short.ppc': Buffer.from('ADPCM DATA'),
    // A name that turns the text right to left.
    'turned.lxi': list('*\tTURNED.PPC', '0\t\u202eMCP.KCIK'),
    // A bank whose last tone runs past its end: cut.
    'CUT.PPC': linked('CUT.PPC', ['0\tKICK.PCM', '1\tHAT.PCM']).subarray(0, 1056 + 256 + 40),
  }, [
    [['link', 'gone.lxi'], new RegExp('^Failed: MISSING\\.PCM not found' + SEE), fails(/MISSING\.PCM/)],
    [['link', 'nameless.lxi'], new RegExp('^Failed: the list names no bank to write' + SEE), fails(/^E /m)],
    [['link', 'big.lxi'], new RegExp('^Failed: the bank would be \\d+ bytes, more than a bank can hold' + SEE),
     fails(/TOO Large/)],
    [['link', 'full.lxi'], DONE, fails(/\[LINK\] done/)],
    [['view', 'short.ppc'], new RegExp('^Failed: short\\.ppc is too short to be a bank' + SEE), fails(/^E /m)],
    [['view', 'FULL.PPC'], /^FULL\.PPC: 1 tone$/],
    [['link', 'turned.lxi'], new RegExp('^Failed: \u202eMCP\\.KCIK not found' + SEE)],
    [['view', 'CUT.PPC'], /^CUT\.PPC: 2 tones; a warning, see the lines below$/],
  ], async (page, state) => {
    if (state === 'empty') {
      // A drop anywhere on the page adds; Remove takes away, and the focus
      // goes to the picker when the list is empty.
      await page.$eval('#help-heading', (heading) => {
        const carried = new DataTransfer();
        carried.items.add(new File(['x'], 'dropped.txt'));
        heading.dispatchEvent(new DragEvent('drop', { dataTransfer: carried, bubbles: true, cancelable: true }));
      });
      await page.waitForSelector('#file-list button');
      assert.deepEqual(await page.$$eval('#file-list .name', (e) => e.map((n) => n.textContent)), ['dropped.txt']);
      await page.click('#file-list button');
      assert.deepEqual(await page.evaluate(() => [document.querySelectorAll('#file-list li').length,
                                                  document.activeElement.id]), [0, 'add-files']);
    }
    if (state[1] === 'CUT.PPC') {
      assert.match(await page.$eval('#tones li:last-child', (li) => li.getAttribute('aria-label')),
                   /, cut: 40 of 96 bytes in the file/);
    }
  });
  // A folder keeps its paths, and a bank may be written into it.
  await check(browser, 'folder', {
    'kit.lxi': list('*\tout/KIT.PPC', '0\tdrums/KICK.PCM', '1\tdrums/deep/HAT.PCM'),
    'drums/KICK.PCM': tone('KICK.PCM'),
    'drums/deep/HAT.PCM': tone('HAT.PCM'),
    'out/old.txt': Buffer.from('kept\n'),
  }, [
    [['link', 'kit.lxi'], /^Bank out\/KIT\.PPC written, 1408 bytes$/, fails(/\[LINK\] done/)],
    [['view', 'out/KIT.PPC'], /^out\/KIT\.PPC: 2 tones$/],
  ]);
  // The runs that end the process: each ends its own run only, and the next
  // run on the same page starts clean. A list may rebuild the bank it writes
  // from its own tones, that bank added from the disk or written by a run.
  await check(browser, 'process-ends', {
    ...examples(),
    'nodir.lxi': list('*\tno/such/dir/OUT.PPC', '0\tKICK.PCM'),
    'up.lxi': list('*\t../UP.PPC', '0\tKICK.PCM'),
    'rebuild.lxi': list('*\tDRUMS.PPC', '0\tDRUMS.PPC\t2', '1\tBASS.PCM'),
    'OLD.PPC': linked('OLD.PPC', ['0\tLEAD.PCM', '1\tKICK.PCM']),
    'old.lxi': list('*\tOLD.PPC', '0\tOLD.PPC\t1'),
  }, [
    [['link', 'NOLIST.LXI'], /^Failed: the list NOLIST\.LXI not found/, (run) => assert.equal(run.status, '1')],
    [['link', 'nodir.lxi'], new RegExp('^Failed: no/such/dir/OUT\\.PPC cannot be written' + SEE),
     (run) => assert.equal(run.status, '255')],
    [['link', 'up.lxi'], /^Bank \/UP\.PPC written, 1312 bytes$/, fails(/\[LINK\] done/), ['UP.PPC']],
    [['link', 'drums.lxi'], DONE, fails(/\[LINK\] done/)],
    [['link', 'rebuild.lxi'], DONE, fails(/\[LINK\] done/)],
    [['link', 'old.lxi'], /^Bank OLD\.PPC written, 1312 bytes$/, fails(/\[LINK\] done/)],
    [['link', 'NOLIST.LXI'], /^Failed/],
    [['view', 'DRUMS.PPC'], /^DRUMS\.PPC: 2 tones$/],
  ]);
  // split writes a folder beside the bank: a link for each file, and a zip.
  if (operations.includes('split')) {
    await check(browser, 'split', { ...examples('kit/') }, [
      [['link', 'kit/drums.lxi'], DONE],
      [['split', 'kit/DRUMS.PPC'], /^Folder DRUMS written, \d+ files$/],
    ]);
  } else {
    console.log('--  split: not an operation of this program yet');
  }
  // Large files: the page answers all through each run, even one that reads
  // a 200 MB list whole, and three runs on them leave the browser's memory
  // well under three times a file's size.
  const large = 200 * 1024 * 1024;
  let before = 0;
  await check(browser, 'large', {
    'HUGE.LXI': { size: large, fill: Buffer.from(';\tnothing but comments\n'.repeat(1 << 16)) },
    'HUGE.PCM': { size: large },
    'huge.lxi': list('*\tHUGE.PPC', '0\tHUGE.PCM'),
    'HUGE.PPC': { size: large },
  }, [
    [['link', 'HUGE.LXI'], new RegExp('^Failed: the list names no bank to write' + SEE)],
    [['link', 'huge.lxi'], /^Failed: the bank would be/],
    [['view', 'HUGE.PPC'], /^HUGE\.PPC: 0 tones; a warning/],
    [['link', 'HUGE.LXI'], /^Failed/],
  ], async (page, state) => {
    if (state === 'loaded') {
      before = browserMemory(browser);
    } else if (state[0] === 'link' && state[1] === 'HUGE.LXI') {
      const grown = browserMemory(browser) - before;
      const heap = (await page.metrics()).JSHeapUsedSize;
      console.log(`    browser memory grown by ${Math.round(grown / 2 ** 20)} MB, page heap ${Math.round(heap / 2 ** 20)} MB`);
      assert.ok(grown < 3 * large && heap < 3 * large, 'memory after runs on 200 MB files');
    }
  });
} finally {
  await browser.close();
  fs.rmSync(scratch, { recursive: true, force: true });
}
console.log('the page matches the console program');
