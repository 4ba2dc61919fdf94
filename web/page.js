// The page around the module: keeps the added files, runs the program on them
// in a fresh instance per run, and shows exactly what it printed.
'use strict';
(function () {
  // The folder each run works in; it holds the added files and nothing else.
  const RUN_DIR = '/work';
  // What the run folder holds between runs: path -> bytes, in the order added.
  const files = new Map();
  // The download link of each written bank: path -> {link, url}.
  const downloads = new Map();
  let running = false;

  const $ = (id) => document.getElementById(id);
  const operation = $('operation');
  const target = $('target');
  const runButton = $('run');

  // ---- The file set and its list

  function sizeText(bytes) {
    return bytes.length === 1 ? '1 byte' : bytes.length + ' bytes';
  }

  function removeDownload(path) {
    const old = downloads.get(path);
    if (old) {
      URL.revokeObjectURL(old.url);
      old.link.remove();
      downloads.delete(path);
    }
  }

  // Removes a file; the keyboard focus moves to the next Remove button, or
  // back to the file picker when the list is empty.
  function removeFile(path) {
    const index = Array.from(files.keys()).indexOf(path);
    files.delete(path);
    removeDownload(path);
    render();
    const buttons = $('file-list').querySelectorAll('button');
    (buttons[Math.min(index, buttons.length - 1)] || $('files')).focus();
  }

  // The first file whose name fits the operation: a list for link, a bank
  // for view.
  function fittingTarget() {
    const ending = operation.value === 'view' ? '.ppc' : '.lxi';
    for (const path of files.keys()) {
      if (path.toLowerCase().endsWith(ending)) {
        return path;
      }
    }
    return files.size > 0 ? files.keys().next().value : '';
  }

  function renderTargets() {
    const kept = files.has(target.value) ? target.value : fittingTarget();
    target.replaceChildren();
    for (const path of files.keys()) {
      target.append(new Option(path, path, false, path === kept));
    }
    target.value = kept;
  }

  function renderCommand() {
    $('command').textContent = 'qorvelix ' + operation.value + ' ' + target.value;
    runButton.disabled = running || target.value === '';
  }

  function render() {
    const list = $('file-list');
    list.replaceChildren();
    for (const [path, bytes] of files) {
      const item = document.createElement('li');
      const name = document.createElement('span');
      name.className = 'name';
      name.textContent = path;
      const size = document.createElement('span');
      size.className = 'size';
      size.textContent = sizeText(bytes);
      const remove = document.createElement('button');
      remove.type = 'button';
      remove.textContent = 'Remove';
      remove.setAttribute('aria-label', 'Remove ' + path);
      remove.addEventListener('click', () => removeFile(path));
      item.append(name, size, remove);
      list.append(item);
    }
    $('files-empty').hidden = files.size > 0;
    renderTargets();
    renderCommand();
  }

  // ---- Adding files: the pickers and drops

  // Reads every {path, file} pair and adds it; a file of the same path
  // replaces the one there.
  async function addAll(pairs) {
    const read = await Promise.all(
      pairs.map(async ({ path, file }) => [path, new Uint8Array(await file.arrayBuffer())]));
    for (const [path, bytes] of read) {
      files.set(path, bytes);
    }
    render();
  }

  function pickerPairs(input) {
    // A folder picker names each file by its path from the chosen folder on.
    return Array.from(input.files, (file) => ({ path: file.webkitRelativePath || file.name, file }));
  }

  function entryFile(entry) {
    return new Promise((resolve, reject) => entry.file(resolve, reject));
  }

  function entryBatch(reader) {
    return new Promise((resolve, reject) => reader.readEntries(resolve, reject));
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

  function dropped(event) {
    event.preventDefault();
    $('drop').classList.remove('over');
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
      .catch((e) => note('A dropped file could not be read: ' + e));
  }

  for (const id of ['files', 'folder']) {
    const input = $(id);
    input.addEventListener('change', () => {
      addAll(pickerPairs(input))
        .catch((e) => note('A file could not be read: ' + e))
        .finally(() => {
          input.value = '';
        });
    });
  }
  for (const zone of [$('drop'), $('files')]) {
    zone.addEventListener('dragover', (event) => {
      event.preventDefault();
      $('drop').classList.add('over');
    });
    zone.addEventListener('dragleave', () => $('drop').classList.remove('over'));
    zone.addEventListener('drop', dropped);
  }
  // A drop anywhere else must not replace the page with the dropped file.
  window.addEventListener('dragover', (event) => event.preventDefault());
  window.addEventListener('drop', (event) => event.preventDefault());

  // ---- One run

  function note(text) {
    $('note').textContent = text;
  }

  // Shows the bytes of one stream as text; error and warning lines are marked
  // for the style, their text left exactly as printed.
  function showStream(element, bytes) {
    const text = new TextDecoder('utf-8').decode(new Uint8Array(bytes));
    element.replaceChildren();
    for (const line of text.match(/[^\n]*\n|[^\n]+$/g) || []) {
      if (line.startsWith('E ') || line.startsWith('W ')) {
        const span = document.createElement('span');
        span.className = line.startsWith('E ') ? 'error' : 'warning';
        span.textContent = line;
        element.append(span);
      } else {
        element.append(line);
      }
    }
  }

  function makeParents(FS, path) {
    const parts = path.split('/').filter((part) => part !== '');
    let dir = '';
    for (const part of parts.slice(0, -1)) {
      dir += (dir ? '/' : '') + part;
      if (!FS.analyzePath(dir).exists) {
        FS.mkdir(dir);
      }
    }
  }

  function sameBytes(a, b) {
    if (a.length !== b.length) {
      return false;
    }
    for (let i = 0; i < a.length; i++) {
      if (a[i] !== b[i]) {
        return false;
      }
    }
    return true;
  }

  // Every file below `dir` of the run folder: path -> bytes.
  function readTree(FS, dir, found) {
    for (const name of FS.readdir(dir === '' ? '.' : dir)) {
      if (name === '.' || name === '..') {
        continue;
      }
      const path = dir === '' ? name : dir + '/' + name;
      const mode = FS.stat(path).mode;
      if (FS.isDir(mode)) {
        readTree(FS, path, found);
      } else if (FS.isFile(mode)) {
        found.set(path, FS.readFile(path));
      }
    }
    return found;
  }

  function offerDownload(path, bytes) {
    removeDownload(path);
    const url = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
    const link = document.createElement('a');
    link.href = url;
    link.download = path;
    link.textContent = path + ' (' + sizeText(bytes) + ')';
    $('downloads').append(link);
    downloads.set(path, { link, url });
  }

  // Takes over what the run left in its folder: written or changed files join
  // the set with a download link each, files it removed leave the set.
  // `given` is what the folder held when the run started.
  function takeOver(FS, given) {
    const left = readTree(FS, '', new Map());
    for (const [path, bytes] of left) {
      const before = given.get(path);
      if (!before || !sameBytes(before, bytes)) {
        files.set(path, bytes);
        offerDownload(path, bytes);
      }
    }
    for (const path of given.keys()) {
      if (!left.has(path)) {
        files.delete(path);
        removeDownload(path);
      }
    }
  }

  // A list may name a bank outside the run folder ("../X.PPC", "/X.PPC");
  // such a bank is not lost but offered for download under its full path.
  function offerOutside(FS) {
    const found = [];
    for (const name of FS.readdir('/')) {
      const top = '/' + name;
      if (['.', '..'].includes(name) || [RUN_DIR, '/dev', '/proc'].includes(top)) {
        continue;
      }
      const mode = FS.stat(top).mode;
      const written = FS.isDir(mode) ? readTree(FS, top, new Map()) : new Map([[top, FS.readFile(top)]]);
      for (const [path, bytes] of written) {
        offerDownload(path, bytes);
        found.push(path);
      }
    }
    return found;
  }

  // Runs `qorvelix OPERATION TARGET` in a fresh instance whose folder holds
  // the added files. The streams are taken byte by byte, and the status from
  // the process exit, so an early end (1 or -1) ends this instance only.
  async function run() {
    if (running || target.value === '') {
      return;
    }
    running = true;
    renderCommand();
    const args = [operation.value, target.value];
    const given = new Map(files);
    const out = [];
    const err = [];
    let status = null;
    $('status').textContent = '';
    $('stdout').replaceChildren();
    $('stderr').replaceChildren();
    note('Running…');
    try {
      const instance = await createQorvelix({
        noInitialRun: true,
        stdin: () => null,
        stdout: (byte) => out.push(byte),
        stderr: (byte) => err.push(byte),
        onExit: (code) => {
          status = code;
        },
        print: () => {},
        printErr: (text) => console.warn(text),
      });
      const FS = instance.FS;
      FS.mkdir(RUN_DIR);
      FS.chdir(RUN_DIR);
      for (const [path, bytes] of given) {
        try {
          makeParents(FS, path);
          FS.writeFile(path, bytes);
        } catch (e) {
          throw new Error(path + ' cannot be put in the folder (is a name both a file and a folder?)');
        }
      }
      const returned = instance.callMain(args);
      if (status === null) {
        status = returned;
      }
      takeOver(FS, given);
      const outside = offerOutside(FS);
      note(outside.length > 0 ? 'Written outside the folder: ' + outside.join(', ') : '');
    } catch (e) {
      note('The run stopped without an exit status: ' + (e.message || e));
    } finally {
      showStream($('stdout'), out);
      showStream($('stderr'), err);
      // A shell shows the low 8 bits of the status: -1 as 255.
      $('status').textContent = status === null ? '' : String(status & 255);
      running = false;
      render();
    }
  }

  operation.addEventListener('change', () => {
    const ending = operation.value === 'view' ? '.ppc' : '.lxi';
    if (!target.value.toLowerCase().endsWith(ending)) {
      target.value = fittingTarget();
    }
    renderCommand();
  });
  target.addEventListener('change', renderCommand);
  runButton.addEventListener('click', run);
  render();
})();
