// The page around the program: keeps the added files, runs the program on
// them in a Web Worker (worker.js), shows what it printed and wrote, and
// plays the tones of a bank it viewed.
'use strict';
(function () {
  // The added files and those runs wrote: path -> Blob (an added File stays
  // on the disk until the program reads it), in the order added.
  const files = new Map();
  // What each list names: path -> [source path or null for a name outside
  // the run folder], for choosing a list whose files are all here.
  const listSources = new Map();
  // The target the user chose, kept while it fits.
  let chosen = '';
  // The run going on: {worker, stopped}, or null.
  let running = null;
  // This run's download links' object URLs, revoked at the next run.
  let downloadUrls = [];
  // The tones of the bank last viewed and the one playing.
  let tones = [];
  let playing = null;
  let audio = null;

  const $ = (id) => document.getElementById(id);
  const operation = $('operation');
  const target = $('target');
  const runButton = $('run');

  // ---- Text and names

  function bytesText(size) {
    return size === 1 ? '1 byte' : size + ' bytes';
  }

  // A name shown in a line of text, isolated so that its characters (a
  // right-to-left override among them) cannot reorder the rest of the line.
  function bdi(text) {
    const element = document.createElement('bdi');
    element.textContent = text;
    return element;
  }

  // An option's text cannot hold elements: the same isolation by characters.
  function isolated(text) {
    return '\u2068' + text + '\u2069';
  }

  function folderOf(path) {
    const at = path.lastIndexOf('/');
    return at < 0 ? '' : path.slice(0, at);
  }

  function baseName(path) {
    return path.slice(path.lastIndexOf('/') + 1);
  }

  // `name` as a list in `folder` names it, as a path of the run folder, or
  // null when it leads outside.
  function resolve(folder, name) {
    if (name.startsWith('/')) {
      return null;
    }
    const parts = folder === '' ? [] : folder.split('/');
    for (const part of name.split('/')) {
      if (part === '..') {
        if (parts.length === 0) {
          return null;
        }
        parts.pop();
      } else if (part !== '.' && part !== '') {
        parts.push(part);
      }
    }
    return parts.join('/');
  }

  // ---- Jobs for the program

  let programUrl = null;

  // Runs one job in a worker of its own and ends the worker with the answer.
  // `started(worker)` may keep the worker to stop it earlier.
  function job(message, started = () => {}) {
    if (!programUrl) {
      const source = $('program-source').textContent;
      programUrl = URL.createObjectURL(new Blob([source], { type: 'text/javascript' }));
    }
    return new Promise((resolveAnswer, reject) => {
      const worker = new Worker(programUrl);
      worker.onmessage = ({ data }) => {
        worker.terminate();
        if (data.failure) {
          reject(new Error(data.failure));
        } else {
          resolveAnswer(data);
        }
      };
      worker.onerror = (event) => {
        event.preventDefault();
        worker.terminate();
        reject(new Error(event.message || 'the program could not be started'));
      };
      worker.postMessage(message);
      started(worker, reject);
    });
  }

  // The program's usage text names its operations; the page offers those.
  function offerKnownOperations() {
    job({ job: 'run', args: [], folder: '', files: [] }).then(({ stderr }) => {
      const usage = new TextDecoder().decode(stderr);
      const known = new Set();
      let inList = false;
      for (const line of usage.split('\n')) {
        const first = line.match(/operation\s*:\s*(\S+)/);
        const more = line.match(/^\s+(\S+)\s*$/);
        if (first) {
          known.add(first[1]);
          inList = true;
        } else if (inList && more) {
          known.add(more[1]);
        } else {
          inList = false;
        }
      }
      if (known.size === 0) {
        return;
      }
      for (const option of [...operation.options]) {
        if (!known.has(option.value)) {
          option.remove();
        }
      }
      render();
    }).catch((e) => {
      showSummary('failed', ['The program cannot start in this browser: ' + e.message]);
    });
  }

  // ---- The file set

  function isList(path) {
    return /\.lxi$/i.test(path);
  }

  function isBank(path) {
    return /\.ppc$/i.test(path);
  }

  function fits(op, path) {
    return op === 'link' ? isList(path) : isBank(path);
  }

  // The names a list's lines give as tone sources, read the way the program
  // reads them as far as choosing a list needs: TAB-separated fields, the
  // list ending at a zero byte or Ctrl-Z.
  function sourcesOf(text, folder) {
    const sources = [];
    for (const line of text.split(/[\0\x1a]/)[0].replace(/^\uFEFF/, '').split('\n')) {
      const fields = line.replace(/\r$/, '').split('\t');
      if (fields[0] !== '' && !fields[0].startsWith(';') && fields[0] !== '*' && fields[1]) {
        sources.push(resolve(folder, fields[1]));
      }
    }
    return sources;
  }

  function readSources(path) {
    const blob = files.get(path);
    listSources.delete(path);
    if (!isList(path) || blob.size > 1 << 20) {
      return;
    }
    blob.text().then((text) => {
      if (files.get(path) === blob) {
        listSources.set(path, sourcesOf(text, folderOf(path)));
        render();
      }
    }, () => {});
  }

  // The file to offer for the operation: for link the first list whose
  // sources are all here, else the first list; for the others the first
  // bank; else the first file.
  function fittingTarget() {
    const op = operation.value;
    const paths = [...files.keys()];
    const ready = (path) => (listSources.get(path) || [null]).every((source) => files.has(source));
    return (op === 'link' && paths.find((path) => isList(path) && ready(path))) ||
      paths.find((path) => fits(op, path)) || paths[0] || '';
  }

  function addAll(pairs) {
    pairs.sort((a, b) => (a.path < b.path ? -1 : a.path > b.path ? 1 : 0));
    for (const { path, file } of pairs) {
      files.set(path, file);
      readSources(path);
    }
    render();
  }

  function removeFile(path) {
    const index = [...files.keys()].indexOf(path);
    files.delete(path);
    listSources.delete(path);
    render();
    const buttons = $('file-list').querySelectorAll('button');
    (buttons[Math.min(index, buttons.length - 1)] || $('add-files')).focus();
  }

  // ---- Showing the state

  // What the list of files shows, to leave it (and the focus in it) alone
  // while that stays the same.
  let filesShown = '';

  function renderFiles() {
    const shown = [...files].map(([path, blob]) => path + '\0' + blob.size).join('\n');
    if (shown === filesShown) {
      return;
    }
    filesShown = shown;
    const list = $('file-list');
    list.replaceChildren();
    for (const [path, blob] of files) {
      const item = document.createElement('li');
      const name = bdi(path);
      name.className = 'name';
      const size = document.createElement('span');
      size.className = 'size';
      size.textContent = bytesText(blob.size) +
        (blob.size >= 1 << 20 ? ' (' + (blob.size / (1 << 20)).toFixed(1) + ' MB)' : '');
      const remove = document.createElement('button');
      remove.type = 'button';
      remove.className = 'secondary';
      remove.textContent = 'Remove';
      remove.setAttribute('aria-label', 'Remove ' + path);
      remove.addEventListener('click', () => removeFile(path));
      item.append(name, size, remove);
      list.append(item);
    }
    $('files-empty').hidden = files.size > 0;
  }

  function renderTargets() {
    if (!files.has(chosen) || !fits(operation.value, chosen)) {
      chosen = '';
    }
    const kept = chosen || fittingTarget();
    const paths = [...files.keys()];
    if (paths.join('\n') !== [...target.options].map((o) => o.value).join('\n')) {
      target.replaceChildren(...paths.map((path) => new Option(isolated(path), path)));
    }
    target.value = kept;
    $('target-label').textContent = operation.value === 'link' ? 'List' : 'Bank';
  }

  // Where the run goes: the folder of the chosen file, as a console user
  // would cd there, and the file's name from there.
  function runPlace(path) {
    const folder = folderOf(path);
    const known = [...files.keys()].some((p) => p.startsWith(folder + '/'));
    return folder !== '' && known ? { folder, name: baseName(path) } : { folder: '', name: path };
  }

  function renderCommand() {
    const { folder, name } = runPlace(target.value);
    const line = $('command-line');
    const idle = running === null && target.value !== '';
    runButton.setAttribute('aria-disabled', String(!idle));
    runButton.textContent = running ? 'Running…' : 'Run';
    if (target.value === '') {
      line.replaceChildren('Add files to run the program on them.');
      return;
    }
    const command = document.createElement('code');
    command.id = 'command';
    command.append('qorvelix ' + operation.value + ' ', bdi(name));
    line.replaceChildren('Runs ', command, ' in ');
    if (folder === '') {
      line.append('the top folder of the added files.');
    } else {
      const where = document.createElement('code');
      where.append(bdi(folder + '/'));
      line.append('the folder ', where, ', as a console would there.');
    }
  }

  function render() {
    renderFiles();
    renderTargets();
    renderCommand();
  }

  // ---- Adding files: the pickers and drops

  function pickerPairs(input) {
    // A folder picker names each file by its path from the chosen folder on.
    return Array.from(input.files, (file) => ({ path: file.webkitRelativePath || file.name, file }));
  }

  function entryFile(entry) {
    return new Promise((resolveFile, reject) => entry.file(resolveFile, reject));
  }

  function entryBatch(reader) {
    return new Promise((resolveBatch, reject) => reader.readEntries(resolveBatch, reject));
  }

  // Every file below a dropped entry, named by its path from the dropped
  // folder on ("drums/KICK.PCM").
  async function entryPairs(entry) {
    const path = entry.fullPath.replace(/^\/+/, '');
    if (entry.isFile) {
      return [{ path, file: await entryFile(entry) }];
    }
    const reader = entry.createReader();
    const pairs = [];
    for (;;) {
      const batch = await entryBatch(reader);
      if (batch.length === 0) {
        return pairs;
      }
      for (const child of batch) {
        pairs.push(...(await entryPairs(child)));
      }
    }
  }

  function carriesFiles(event) {
    return event.dataTransfer && [...event.dataTransfer.types].includes('Files');
  }

  // Drops anywhere on the page are taken.
  let dragDepth = 0;
  window.addEventListener('dragenter', (event) => {
    if (carriesFiles(event)) {
      dragDepth++;
      document.body.classList.add('dragging');
    }
  });
  window.addEventListener('dragleave', () => {
    dragDepth = Math.max(0, dragDepth - 1);
    if (dragDepth === 0) {
      document.body.classList.remove('dragging');
    }
  });
  window.addEventListener('dragover', (event) => {
    event.preventDefault();
    if (carriesFiles(event)) {
      event.dataTransfer.dropEffect = 'copy';
    }
  });
  window.addEventListener('drop', (event) => {
    event.preventDefault();
    dragDepth = 0;
    document.body.classList.remove('dragging');
    // Items are only readable during the event, so take them all first.
    const taken = Array.from(event.dataTransfer.items || [], (item) => {
      if (item.kind !== 'file') {
        return null;
      }
      const entry = item.webkitGetAsEntry ? item.webkitGetAsEntry() : null;
      return entry ? { entry } : { file: item.getAsFile() };
    }).filter((x) => x && (x.entry || x.file));
    const work = taken.map((x) => (x.entry ? entryPairs(x.entry) : [{ path: x.file.name, file: x.file }]));
    Promise.all(work)
      .then((lists) => addAll(lists.flat()))
      .catch((e) => showSummary('failed', ['A dropped file could not be read: ' + e]));
  });

  for (const [button, id] of [['add-files', 'files'], ['add-folder', 'folder']]) {
    const input = $(id);
    $(button).addEventListener('click', () => input.click());
    input.addEventListener('change', () => {
      addAll(pickerPairs(input));
      input.value = '';
    });
  }

  // ---- One run

  // The summary line: `outcome` is done, failed or running; `parts` are
  // strings and elements.
  function showSummary(outcome, parts) {
    const summary = $('summary');
    summary.dataset.outcome = outcome;
    summary.replaceChildren(...parts);
  }

  // Shows the bytes of one stream as text: error and warning lines are marked
  // for the style and each bracketed name is isolated, the text left exactly
  // as printed.
  function showStream(element, bytes) {
    const text = new TextDecoder('utf-8').decode(bytes);
    element.replaceChildren();
    for (const line of text.match(/[^\n]*\n|[^\n]+$/g) || []) {
      const span = document.createElement('span');
      span.className = line.startsWith('E ') ? 'error' : line.startsWith('W ') ? 'warning' : 'line';
      line.split(/(\[[^\]\n]*\])/).forEach((piece, i) => {
        span.append(i % 2 === 1 ? '[' : '', i % 2 === 1 ? bdi(piece.slice(1, -1)) : piece, i % 2 === 1 ? ']' : '');
      });
      element.append(span);
    }
    return text;
  }

  // What the first error line of a run means, in plain words, as parts of a
  // sentence.
  function failureWords(printed) {
    const line = printed.split('\n').find((l) => l.startsWith('E ')) || '';
    const name = (line.match(/\[([^\]]*)\][^[]*$/) || [])[1];
    const found = [
      [/LXI NOT FOUND/, () => ['the list ', bdi(name), ' not found']],
      [/input file not found|NOT FOUND \[/, () => [bdi(name), ' not found']],
      [/TOO Large PPC-File, (\d+)/, (m) => ['the bank would be ' + m[1] + ' bytes, more than a bank can hold']],
      [/cannot read File/, () => [bdi(name), ' cannot be read']],
      [/too short File/, () => [bdi(name), ' is too short to be a bank']],
      [/NOT FOUND PPC-Element \[(.*)\/@(\d+)\]/, (m) => [bdi(m[1]), ' has no tone ' + m[2]]],
      [/BAD PPC-Format/, () => [bdi(name), ' is not a bank']],
      [/BAD @-Number, line\.(\d+)/, (m) => ['line ' + (Number(m[1]) + 1) + ' of the list has a bad tone number']],
      [/NO PCM-Filename, line\.(\d+)/, (m) => ['line ' + (Number(m[1]) + 1) + ' of the list names no file']],
      [/PPC-Filename not found/, () => ['the list names no bank to write']],
      [/cannot open \[/, () => [bdi(name), ' cannot be written']],
      [/write error \[/, () => ['writing ', bdi(name), ' went wrong']],
      [/File read error/, () => ['a file could not be read']],
      [/cannot get file status/, () => ['a name is not a plain file']],
      [/not enough memory/, () => ['not enough memory']],
    ];
    for (const [pattern, words] of found) {
      const m = line.match(pattern);
      if (m) {
        return words(m);
      }
    }
    if (/usage :/.test(printed)) {
      return ['the program does not know this operation'];
    }
    return line ? [line.replace(/^E \[[^\]]*\] */, '')] : [];
  }

  // The summary of a finished run, in plain words. `local(path)` is a
  // written file's path from the run's folder on.
  function summarise(op, path, answer, printed, written, local) {
    const status = answer.status & 255;
    const warnings = printed.split('\n').filter((l) => l.startsWith('W ')).length;
    const warned = warnings === 0 ? [] : ['; ' + (warnings === 1 ? 'a warning' : warnings + ' warnings') +
                                          ', see the lines below'];
    if (status !== 0) {
      const words = failureWords(printed);
      showSummary('failed', words.length > 0
        ? ['Failed: ', ...words, ', see the lines below']
        : ['Failed with exit status ' + status + ', see the lines below']);
      return;
    }
    if (op === 'view') {
      const count = printed.split('\n').filter((l) => /PCM Tone/.test(l)).length;
      showSummary('done', [bdi(path), ': ' + (count === 1 ? '1 tone' : count + ' tones'), ...warned]);
    } else if (op === 'link' && written.length === 1) {
      const [name, blob] = written[0];
      showSummary('done', ['Bank ', bdi(name), ' written, ' + bytesText(blob.size), ...warned]);
    } else if (written.length > 0) {
      const folder = zipFolder(written.map(([p]) => local(p)));
      showSummary('done', [folder ? 'Folder ' : 'Files ', ...(folder ? [bdi(folder)] : []),
        ' written, ' + (written.length === 1 ? '1 file' : written.length + ' files'), ...warned]);
    } else {
      showSummary('done', ['Done', ...warned]);
    }
  }

  function clearDownloads() {
    for (const url of downloadUrls) {
      URL.revokeObjectURL(url);
    }
    downloadUrls = [];
    $('downloads').replaceChildren();
    $('written').hidden = true;
  }

  // A download link for `blob`, saved as `name`; `path` is where the run
  // wrote it.
  function offerDownload(path, name, blob) {
    const url = URL.createObjectURL(blob);
    downloadUrls.push(url);
    const link = document.createElement('a');
    link.href = url;
    link.download = name;
    link.dataset.path = path;
    link.append(bdi(path), ' (' + bytesText(blob.size) + ')');
    $('downloads').append(link);
    $('written').hidden = false;
  }

  // The folder that all of `paths` lie in, named from the run's folder on,
  // or '': split writes one beside the bank, and it names their zip.
  function zipFolder(paths) {
    const tops = new Set(paths.map((path) => path.split('/')[0]));
    return tops.size === 1 && paths.every((path) => path.includes('/')) ? [...tops][0] : '';
  }

  // One zip of the files a run wrote, when it wrote more than one: their
  // paths from the run's folder on, named after the folder they share.
  async function offerZip(written, local, folder) {
    const entries = {};
    for (const [path, blob] of written) {
      entries[local(path)] = new Uint8Array(await blob.arrayBuffer());
    }
    const top = zipFolder(Object.keys(entries)) || 'qorvelix';
    const zip = new Blob([fflate.zipSync(entries)], { type: 'application/zip' });
    offerDownload((folder ? folder + '/' : '') + top + '.zip', top + '.zip', zip);
  }

  function setRunning(job) {
    running = job;
    $('result').setAttribute('aria-busy', String(job !== null));
    if (job === null && document.activeElement === $('stop')) {
      runButton.focus();
    }
    $('stop').hidden = job === null;
    renderCommand();
  }

  // Runs `qorvelix OPERATION NAME` in the file's folder, in a worker, on the
  // files as they are now; takes in what it wrote and removed.
  async function run() {
    if (running || target.value === '') {
      return;
    }
    const op = operation.value;
    const path = target.value;
    const { folder, name } = runPlace(path);
    // The next run offers the same file until the user chooses another.
    chosen = path;
    const job_ = { stopped: false, worker: null };
    setRunning(job_);
    stopPlaying();
    clearDownloads();
    $('listen').hidden = true;
    $('stdout').replaceChildren();
    $('stderr').replaceChildren();
    $('status').textContent = '';
    $('note').textContent = '';
    const spoken = document.createElement('code');
    spoken.append('qorvelix ' + op + ' ', bdi(name));
    showSummary('running', ['Running ', spoken, '…']);
    try {
      const answer = await job({ job: 'run', args: [op, name], folder, files: [...files] }, (worker, stop) => {
        job_.worker = worker;
        job_.stop = stop;
      });
      const printed = showStream($('stdout'), answer.stdout) + showStream($('stderr'), answer.stderr);
      // A shell shows the low 8 bits of the status: -1 as 255.
      $('status').textContent = String(answer.status & 255);
      for (const [p, blob] of answer.written) {
        files.set(p, blob);
        readSources(p);
        offerDownload(p, baseName(p), blob);
      }
      for (const p of answer.removed) {
        files.delete(p);
        listSources.delete(p);
      }
      for (const [p, blob] of answer.outside) {
        offerDownload(p, baseName(p), blob);
      }
      $('note').textContent = answer.outside.length > 0
        ? 'Written outside the folder: ' + answer.outside.map(([p]) => p).join(', ') : '';
      const written = [...answer.written, ...answer.outside];
      const local = (p) => (folder !== '' && p.startsWith(folder + '/') ? p.slice(folder.length + 1) : p);
      summarise(op, path, answer, printed, written, local);
      if (answer.written.length > 1) {
        await offerZip(answer.written, local, folder);
      }
      if (op === 'view' && answer.status === 0) {
        await showTones(path);
      }
      $('printed').open = $('printed').open || answer.status !== 0;
    } catch (e) {
      showSummary('failed', [job_.stopped ? 'Stopped: the run was ended, and nothing it wrote was kept'
                                          : 'The run stopped without an exit status: ' + e.message]);
    } finally {
      setRunning(null);
      render();
    }
  }

  function stopRun() {
    if (running && running.worker) {
      running.stopped = true;
      running.worker.terminate();
      running.stop(new Error('stopped'));
    }
    runButton.focus();
  }

  // ---- Listening

  function rate() {
    const input = $('rate');
    const value = Number(input.value);
    const valid = Number.isInteger(value) && value >= 3000 && value <= 96000;
    input.setAttribute('aria-invalid', String(!valid));
    return valid ? value : 16000;
  }

  function seconds(sampleCount) {
    return (sampleCount / rate()).toFixed(3) + ' s';
  }

  // What the samples of a tone look like: its peak, whether it reaches the
  // ends of the range (clipped) and whether it is too quiet to hear.
  function measure(tone) {
    let peak = 0;
    let clipped = 0;
    for (const x of tone.samples) {
      peak = Math.max(peak, Math.abs(x));
      if (x === 32767 || x === -32768) {
        clipped++;
      }
    }
    return { peak, clipped, silent: tone.samples.length > 0 && peak < 328 };
  }

  function toneNotes(tone, facts) {
    const notes = [];
    if (tone.present === 0) {
      notes.push('outside the file');
    } else if (tone.present < tone.size) {
      notes.push('cut: ' + tone.present + ' of ' + bytesText(tone.size) + ' in the file');
    }
    if (facts.clipped > 0) {
      notes.push('clipped');
    }
    if (facts.silent) {
      notes.push('silent');
    }
    return notes;
  }

  // The waveform of a tone over the whole length its table entry gives, the
  // part past the end of the file shaded, samples at the ends of the range
  // in the error colour.
  function drawWaveform(canvas, tone) {
    const scale = window.devicePixelRatio || 1;
    const width = Math.round(canvas.clientWidth * scale) || 160;
    const height = Math.round(canvas.clientHeight * scale) || 40;
    canvas.width = width;
    canvas.height = height;
    const g = canvas.getContext('2d');
    const style = getComputedStyle(canvas);
    g.clearRect(0, 0, width, height);
    const total = Math.max(tone.size * 2, tone.samples.length, 1);
    const present = Math.round((tone.samples.length / total) * width);
    if (present < width) {
      g.fillStyle = style.getPropertyValue('--missing');
      g.fillRect(present, 0, width - present, height);
    }
    g.fillStyle = style.getPropertyValue('--axis');
    g.fillRect(0, Math.floor(height / 2), width, Math.max(1, Math.round(scale)));
    const y = (x) => ((32768 - x) / 65536) * height;
    for (let column = 0; column < present; column++) {
      const from = Math.floor((column * total) / width);
      const to = Math.min(tone.samples.length, Math.max(from + 1, Math.floor(((column + 1) * total) / width)));
      let low = 32767;
      let high = -32768;
      // From the last sample of the column before, so the trace is unbroken.
      for (let i = Math.max(0, from - 1); i < to; i++) {
        low = Math.min(low, tone.samples[i]);
        high = Math.max(high, tone.samples[i]);
      }
      if (from >= to) {
        continue;
      }
      g.fillStyle = style.getPropertyValue(low === -32768 || high === 32767 ? '--clipped' : '--wave');
      g.fillRect(column, y(high), 1, Math.max(1, y(low) - y(high)));
    }
  }

  function toneLabel(tone, notes) {
    return ['Tone ' + tone.tone, bytesText(tone.size), seconds(tone.size * 2).replace(' s', ' seconds'),
            ...notes].join(', ');
  }

  function renderTones() {
    const list = $('tones');
    list.replaceChildren();
    $('no-tones').hidden = tones.length > 0;
    for (const tone of tones) {
      const facts = measure(tone);
      const notes = toneNotes(tone, facts);
      const item = document.createElement('li');
      item.setAttribute('aria-label', toneLabel(tone, notes));
      const number = document.createElement('span');
      number.className = 'tone-number';
      number.textContent = 'Tone ' + tone.tone;
      const size = document.createElement('span');
      size.className = 'tone-size';
      size.textContent = bytesText(tone.size);
      const length = document.createElement('span');
      length.className = 'tone-length';
      length.textContent = seconds(tone.size * 2);
      const canvas = document.createElement('canvas');
      canvas.setAttribute('role', 'img');
      canvas.setAttribute('aria-label', 'Waveform of tone ' + tone.tone + ': peak ' +
                          Math.round((facts.peak / 32768) * 100) + ' %' +
                          (notes.length > 0 ? ', ' + notes.join(', ') : ''));
      const note = document.createElement('span');
      note.className = 'tone-notes';
      note.textContent = notes.join(', ');
      const button = document.createElement('button');
      button.type = 'button';
      button.dataset.tone = String(tone.tone);
      button.disabled = tone.samples.length === 0;
      button.addEventListener('click', () => play(tone));
      item.append(number, size, length, canvas, button, note);
      list.append(item);
      drawWaveform(canvas, tone);
    }
    renderPlayButtons();
  }

  function renderPlayButtons() {
    for (const button of $('tones').querySelectorAll('button')) {
      const on = playing !== null && playing.tone === Number(button.dataset.tone);
      button.textContent = on ? 'Stop' : 'Play';
      button.setAttribute('aria-label', (on ? 'Stop' : 'Play') + ' tone ' + button.dataset.tone);
      button.classList.toggle('playing', on);
    }
  }

  function stopPlaying() {
    if (playing) {
      const { source } = playing;
      playing = null;
      source.onended = null;
      source.stop();
      renderPlayButtons();
    }
  }

  // Plays a tone's samples, as the chip decodes them, at the chosen rate;
  // pressing the playing tone's button again stops it.
  function play(tone) {
    const again = playing !== null && playing.tone === tone.tone;
    stopPlaying();
    if (again || tone.samples.length === 0) {
      return;
    }
    audio = audio || new AudioContext();
    audio.resume();
    const buffer = audio.createBuffer(1, tone.samples.length, rate());
    const channel = new Float32Array(tone.samples.length);
    for (let i = 0; i < channel.length; i++) {
      channel[i] = tone.samples[i] / 32768;
    }
    buffer.copyToChannel(channel, 0);
    const source = audio.createBufferSource();
    source.buffer = buffer;
    source.connect(audio.destination);
    source.onended = () => {
      if (playing && playing.source === source) {
        playing = null;
        renderPlayButtons();
      }
    };
    playing = { tone: tone.tone, source };
    source.start();
    renderPlayButtons();
  }

  async function showTones(path) {
    try {
      const answer = await job({ job: 'tones', path, blob: files.get(path) });
      if (answer.error) {
        throw new Error(answer.error);
      }
      tones = answer.tones;
      $('listen').hidden = false;
      renderTones();
    } catch (e) {
      tones = [];
      $('listen').hidden = true;
    }
  }

  $('rate').addEventListener('input', () => {
    for (const item of $('tones').children) {
      const tone = tones.find((t) => String(t.tone) === item.querySelector('button').dataset.tone);
      item.querySelector('.tone-length').textContent = seconds(tone.size * 2);
      item.setAttribute('aria-label', toneLabel(tone, toneNotes(tone, measure(tone))));
    }
  });

  // ---- Controls

  operation.addEventListener('change', render);
  target.addEventListener('change', () => {
    chosen = target.value;
    renderCommand();
  });
  runButton.addEventListener('click', run);
  $('stop').addEventListener('click', stopRun);
  render();
  offerKnownOperations();
})();
