// The program's side of the page. Each job gets a Web Worker of its own,
// which the page ends once the answer has come, so a run is a process: it
// starts clean, and its memory is given back when it ends. This script
// follows the module (createQorvelix) and its WebAssembly code (QORVELIX_WASM,
// base64) in the worker's source.
//
// The page sends one message:
//   {job: 'run', args, folder, files: [[path, blob], ...]}
//     runs `qorvelix ARGS` in FOLDER of a run folder holding the files;
//     answers {stdout, stderr, status, written: [[path, blob]], removed:
//     [path], outside: [[path, blob]]}
//   {job: 'tones', path, blob}
//     answers {tones: [{tone, start, end, offset, size, present, samples}]}
//     or {error}: every entry of the bank's table, decoded by the program
'use strict';

// Where the added files are, as paths below it.
const RUN_DIR = '/work';
// How much of an added file one read takes from the disk at least.
const READ_AHEAD = 4 << 20;

// The module's code, compiled once for the instances of this worker.
function compileModule() {
  const text = atob(QORVELIX_WASM);
  const bytes = new Uint8Array(text.length);
  for (let i = 0; i < text.length; i++) {
    bytes[i] = text.charCodeAt(i);
  }
  return WebAssembly.compile(bytes);
}

// A fresh instance of the program whose streams go to `out` and `err` byte
// by byte; `exited(status)` hears how the process ended.
async function startProgram(out, err, exited) {
  const code = await compileModule();
  return createQorvelix({
    noInitialRun: true,
    // The code is here already: no fetch, which the page's policy forbids.
    instantiateWasm(imports, receive) {
      WebAssembly.instantiate(code, imports).then((instance) => receive(instance, code));
      return {};
    },
    stdin: () => null,
    stdout: (byte) => out.push(byte),
    stderr: (byte) => err.push(byte),
    onExit: exited,
    print: () => {},
    printErr: (text) => console.warn(text),
  });
}

// The bytes of one stream, gathered as they come.
class Bytes {
  constructor() {
    this.bytes = new Uint8Array(4096);
    this.length = 0;
  }

  push(byte) {
    if (this.length === this.bytes.length) {
      const grown = new Uint8Array(this.bytes.length * 2);
      grown.set(this.bytes);
      this.bytes = grown;
    }
    this.bytes[this.length++] = byte < 0 ? byte + 256 : byte;
  }

  done() {
    return this.bytes.slice(0, this.length);
  }
}

function makeParents(FS, path) {
  const parts = path.split('/');
  let dir = '';
  for (const part of parts.slice(0, -1)) {
    dir += '/' + part;
    if (!FS.analyzePath(dir).exists) {
      FS.mkdir(dir);
    }
  }
}

// Puts `blob` at `path` as a file of the in-memory file system whose bytes
// are read from the blob when the program reads them, so a file the user
// added is never copied whole into the run: of a 1 GB bank whose head alone
// is read, one window of READ_AHEAD bytes is. It is an ordinary in-memory file for
// everything else (a rename over it, unlinking it, its status); the first
// write or truncation takes its bytes into memory and makes it one for
// good, marked `changed`. Returns the node.
function putBlobFile(FS, path, blob) {
  makeParents(FS, path);
  FS.writeFile(path, new Uint8Array(0));
  const node = FS.lookupPath(path).node;
  const plainNode = node.node_ops;
  const plainStream = node.stream_ops;
  const reader = new FileReaderSync();

  function readBlob(start, end) {
    try {
      return new Uint8Array(reader.readAsArrayBuffer(blob.slice(start, end)));
    } catch (e) {
      // The file changed or went away on the disk since it was added: a read
      // error, as the console would meet.
      throw new FS.ErrnoError(29);
    }
  }

  // Keeps the first `size` bytes (all by default) in memory from now on.
  function ownBytes(target, size = target.usedBytes) {
    if (target.blob) {
      const kept = Math.min(size, target.usedBytes);
      target.contents = kept > 0 ? readBlob(0, kept) : null;
      target.usedBytes = kept;
      target.blob = null;
      target.window = null;
      target.node_ops = plainNode;
      target.stream_ops = plainStream;
    }
    target.changed = true;
  }

  node.blob = blob;
  node.contents = null;
  node.usedBytes = blob.size;
  node.node_ops = Object.assign({}, plainNode, {
    setattr(target, attr) {
      if (attr.size !== undefined) {
        ownBytes(target, attr.size);
      }
      return plainNode.setattr(target, attr);
    },
  });
  // A stream keeps the operations its file had when it was opened, so each
  // one looks whether the bytes are still the blob's.
  node.stream_ops = Object.assign({}, plainStream, {
    read(stream, buffer, offset, length, position) {
      const target = stream.node;
      if (!target.blob) {
        return plainStream.read(stream, buffer, offset, length, position);
      }
      const end = Math.min(position + length, target.usedBytes);
      if (position >= end) {
        return 0;
      }
      // Each read of the blob is a trip to the browser, so the program's
      // small reads are served from a window read ahead of them.
      let window = target.window;
      if (!window || position < window.start || end > window.start + window.bytes.length) {
        window = { start: position, bytes: readBlob(position, Math.max(end, position + READ_AHEAD)) };
        target.window = window;
      }
      buffer.set(window.bytes.subarray(position - window.start, end - window.start), offset);
      return end - position;
    },
    write(stream, ...rest) {
      ownBytes(stream.node);
      return plainStream.write(stream, ...rest);
    },
    allocate(stream, ...rest) {
      ownBytes(stream.node);
      return plainStream.allocate(stream, ...rest);
    },
    mmap(stream, ...rest) {
      ownBytes(stream.node);
      return plainStream.mmap(stream, ...rest);
    },
  });
  return node;
}

// The bytes of the file `node` as a blob: the added one itself when they are
// still its bytes.
function nodeBlob(node) {
  if (node.blob) {
    return node.blob;
  }
  return new Blob([node.contents ? node.contents.subarray(0, node.usedBytes) : new Uint8Array(0)]);
}

// Every file below the in-memory folder `node`, as [path, node] with paths
// from `prefix` on. Read from the folders' own entries.
function filesBelow(FS, node, prefix, found = []) {
  for (const name of Object.keys(node.contents).sort()) {
    const child = node.contents[name];
    const path = prefix + name;
    if (FS.isDir(child.mode)) {
      filesBelow(FS, child, path + '/', found);
    } else if (FS.isFile(child.mode)) {
      found.push([path, child]);
    }
  }
  return found;
}

// Runs the program on the files and tells what the run changed. A file is
// written when the node at its path is not the one put there for it, or was
// changed: the program writes a bank beside its name and renames it over,
// and nothing else makes a new node. No byte is compared.
async function run({ args, folder, files }) {
  const out = new Bytes();
  const err = new Bytes();
  let status = null;
  const program = await startProgram(out, err, (code) => {
    status = code;
  });
  const FS = program.FS;
  FS.mkdir(RUN_DIR);
  const given = new Map();
  for (const [path, blob] of files) {
    try {
      given.set(path, putBlobFile(FS, RUN_DIR + '/' + path, blob));
    } catch (e) {
      throw new Error(path + ' cannot be put in the folder (is a name both a file and a folder?)');
    }
  }
  FS.chdir(folder === '' ? RUN_DIR : RUN_DIR + '/' + folder);
  const returned = program.callMain(args);
  if (status === null) {
    status = returned;
  }

  const written = [];
  const left = new Set();
  for (const [path, node] of filesBelow(FS, FS.lookupPath(RUN_DIR).node, '')) {
    left.add(path);
    if (given.get(path) !== node || node.changed) {
      written.push([path, nodeBlob(node)]);
    }
  }
  const removed = [...given.keys()].filter((path) => !left.has(path));
  // A list may name a bank outside the run folder ("../X.PPC", "/X.PPC").
  const outside = [];
  const root = FS.lookupPath('/').node;
  for (const name of Object.keys(root.contents).sort()) {
    const top = '/' + name;
    if (![RUN_DIR, '/dev', '/proc'].includes(top)) {
      const node = root.contents[name];
      const found = FS.isDir(node.mode) ? filesBelow(FS, node, top + '/') : [[top, node]];
      for (const [path, file] of found) {
        outside.push([path, nodeBlob(file)]);
      }
    }
  }
  return { stdout: out.done(), stderr: err.done(), status, written, removed, outside };
}

// Every entry of the table of the bank `blob`, decoded by the program.
async function tones({ path, blob }) {
  const ignored = new Bytes();
  const program = await startProgram(ignored, ignored, () => {});
  const name = RUN_DIR + '/' + path.split('/').pop();
  program.FS.mkdir(RUN_DIR);
  putBlobFile(program.FS, name, blob);
  const FACTS = 5;
  const facts = program._malloc(FACTS * 4 + 4);
  const samplesAt = facts + FACTS * 4;
  const found = [];
  try {
    for (let tone = 0; tone < 256; tone++) {
      const count = program.ccall('qorvelix_tone_samples', 'number', ['string', 'number', 'number', 'number'],
                                  [name, tone, facts, samplesAt]);
      if (count < 0) {
        return { error: new TextDecoder().decode(ignored.done()).trim() || 'The bank cannot be read.' };
      }
      const [start, end, offset, size, present] = program.HEAP32.slice(facts / 4, facts / 4 + FACTS);
      const pointer = program.HEAP32[samplesAt / 4];
      const samples = pointer ? program.HEAP16.slice(pointer / 2, pointer / 2 + count) : new Int16Array(0);
      program._free(pointer);
      if (start !== 0) {
        found.push({ tone, start, end, offset, size, present, samples });
      }
    }
  } finally {
    program._free(facts);
  }
  return { tones: found };
}

self.onmessage = async ({ data }) => {
  let answer;
  try {
    answer = await (data.job === 'tones' ? tones(data) : run(data));
  } catch (e) {
    answer = { failure: String((e && e.message) || e) };
  }
  const moved = (answer.tones || []).map((t) => t.samples.buffer);
  self.postMessage(answer, moved);
};
