// The part of WASI (preview 1) that the compiler and the machine call, over files held in memory:
// one folder, "/", whose files are a Map from name to bytes. Standard input is the bytes given,
// standard output and error are kept. A run ends through proc_exit, which throws WasiExit out of
// the instance: each run takes a fresh instance, so nothing of the last run is left.

const ERRNO = { success: 0, badf: 8, exist: 20, inval: 28, isdir: 31, noent: 44, nosys: 52, notdir: 54, spipe: 70 };
const FILETYPE = { character: 2, directory: 3, regular: 4 };
const OFLAGS = { creat: 1, directory: 2, excl: 4, trunc: 8 };
const FDFLAGS_APPEND = 1;
const ROOT_FD = 3;

export class WasiExit {
  constructor(code) {
    this.code = code;
  }
}

export class MemoryWasi {
  // `files`: Map name -> Uint8Array, the folder's files (changed in place); `args`: the command
  // line, its first word the program's name; `stdin`: Uint8Array.
  constructor({ args = ['pas2asm'], files = new Map(), stdin = new Uint8Array() } = {}) {
    this.args = args;
    this.files = files;
    this.stdin = stdin;
    this.stdinAt = 0;
    this.stdout = [];
    this.stderr = [];
    this.open = new Map(); // fd -> { name, at, append }
    this.nextFd = ROOT_FD + 1;
    this.memory = null;
    this.imports = { wasi_snapshot_preview1: this.calls() };
  }

  // Runs a command module's _start; returns the exit code.
  start(instance) {
    this.memory = instance.exports.memory;
    try {
      instance.exports._start();
      return 0;
    } catch (error) {
      if (error instanceof WasiExit) return error.code;
      throw error;
    }
  }

  // Prepares a reactor module: its exports are then called directly.
  initialize(instance) {
    this.memory = instance.exports.memory;
    if (instance.exports._initialize) instance.exports._initialize();
  }

  static joined(chunks) {
    const size = chunks.reduce((n, c) => n + c.length, 0);
    const all = new Uint8Array(size);
    let at = 0;
    for (const c of chunks) {
      all.set(c, at);
      at += c.length;
    }
    return all;
  }

  output() {
    return MemoryWasi.joined(this.stdout);
  }

  errors() {
    return MemoryWasi.joined(this.stderr);
  }

  view() {
    return new DataView(this.memory.buffer);
  }

  bytes(ptr, len) {
    return new Uint8Array(this.memory.buffer, ptr, len);
  }

  text(ptr, len) {
    return new TextDecoder().decode(this.bytes(ptr, len));
  }

  // The pieces of an iovec list as views into memory.
  pieces(iovs, count) {
    const v = this.view();
    const list = [];
    for (let i = 0; i < count; i++) {
      const ptr = v.getUint32(iovs + 8 * i, true);
      const len = v.getUint32(iovs + 8 * i + 4, true);
      list.push(this.bytes(ptr, len));
    }
    return list;
  }

  // A name in the one folder: "a", "./a" and "/a" are the same file; a deeper path has no file.
  static plain(path) {
    const name = path.replace(/^(\.?\/)+/, '');
    return name === '' || name === '.' ? '' : name;
  }

  writeFile(fd, data, offset) {
    const f = this.open.get(fd);
    const old = this.files.get(f.name);
    const at = f.append ? old.length : offset ?? f.at;
    const end = at + data.length;
    let file = old;
    if (end > old.length) {
      file = new Uint8Array(end);
      file.set(old);
    }
    file.set(data, at);
    this.files.set(f.name, file);
    if (offset === undefined) f.at = end;
  }

  readFile(fd, into, offset) {
    const f = this.open.get(fd);
    const file = this.files.get(f.name) ?? new Uint8Array();
    let at = offset ?? f.at;
    let done = 0;
    for (const piece of into) {
      const n = Math.max(0, Math.min(piece.length, file.length - at));
      piece.set(file.subarray(at, at + n));
      at += n;
      done += n;
      if (n < piece.length) break;
    }
    if (offset === undefined) f.at = at;
    return done;
  }

  writeFilestat(ptr, type, size) {
    const v = this.view();
    for (let i = 0; i < 64; i += 8) v.setBigUint64(ptr + i, 0n, true);
    v.setUint8(ptr + 16, type);
    v.setBigUint64(ptr + 24, 1n, true);
    v.setBigUint64(ptr + 32, BigInt(size), true);
  }

  calls() {
    const w = this;
    const strings = (list, ptrs, buf) => {
      const v = w.view();
      let at = buf;
      list.forEach((s, i) => {
        const b = new TextEncoder().encode(s + '\0');
        w.bytes(at, b.length).set(b);
        v.setUint32(ptrs + 4 * i, at, true);
        at += b.length;
      });
      return ERRNO.success;
    };
    const sizes = (list, countPtr, sizePtr) => {
      const v = w.view();
      v.setUint32(countPtr, list.length, true);
      v.setUint32(sizePtr, list.reduce((n, s) => n + new TextEncoder().encode(s).length + 1, 0), true);
      return ERRNO.success;
    };
    return {
      args_get: (ptrs, buf) => strings(w.args, ptrs, buf),
      args_sizes_get: (countPtr, sizePtr) => sizes(w.args, countPtr, sizePtr),
      environ_get: (ptrs, buf) => strings([], ptrs, buf),
      environ_sizes_get: (countPtr, sizePtr) => sizes([], countPtr, sizePtr),
      proc_exit: (code) => {
        throw new WasiExit(code);
      },
      fd_prestat_get: (fd, ptr) => {
        if (fd !== ROOT_FD) return ERRNO.badf;
        const v = w.view();
        v.setUint32(ptr, 0, true);
        v.setUint32(ptr + 4, 1, true);
        return ERRNO.success;
      },
      fd_prestat_dir_name: (fd, ptr, len) => {
        if (fd !== ROOT_FD) return ERRNO.badf;
        w.bytes(ptr, len).set(new TextEncoder().encode('/').subarray(0, len));
        return ERRNO.success;
      },
      fd_fdstat_get: (fd, ptr) => {
        const type = fd <= 2 ? FILETYPE.character : fd === ROOT_FD ? FILETYPE.directory : w.open.has(fd) ? FILETYPE.regular : 0;
        if (!type) return ERRNO.badf;
        const v = w.view();
        v.setUint8(ptr, type);
        v.setUint16(ptr + 2, w.open.get(fd)?.append ? FDFLAGS_APPEND : 0, true);
        v.setBigUint64(ptr + 8, 0xffffffffffffffffn, true);
        v.setBigUint64(ptr + 16, 0xffffffffffffffffn, true);
        return ERRNO.success;
      },
      fd_filestat_get: (fd, ptr) => {
        if (fd <= 2) w.writeFilestat(ptr, FILETYPE.character, 0);
        else if (fd === ROOT_FD) w.writeFilestat(ptr, FILETYPE.directory, 0);
        else if (w.open.has(fd)) w.writeFilestat(ptr, FILETYPE.regular, w.files.get(w.open.get(fd).name).length);
        else return ERRNO.badf;
        return ERRNO.success;
      },
      path_filestat_get: (fd, flags, pathPtr, pathLen, ptr) => {
        if (fd !== ROOT_FD) return ERRNO.badf;
        const name = MemoryWasi.plain(w.text(pathPtr, pathLen));
        if (name === '') w.writeFilestat(ptr, FILETYPE.directory, 0);
        else if (w.files.has(name)) w.writeFilestat(ptr, FILETYPE.regular, w.files.get(name).length);
        else return ERRNO.noent;
        return ERRNO.success;
      },
      path_open: (fd, dirflags, pathPtr, pathLen, oflags, rightsBase, rightsInheriting, fdflags, fdPtr) => {
        if (fd !== ROOT_FD) return ERRNO.badf;
        const name = MemoryWasi.plain(w.text(pathPtr, pathLen));
        if (name.includes('/')) return ERRNO.noent;
        if (name === '') return oflags & OFLAGS.creat ? ERRNO.isdir : ERRNO.isdir;
        if (oflags & OFLAGS.directory) return ERRNO.notdir;
        const exists = w.files.has(name);
        if (!exists && !(oflags & OFLAGS.creat)) return ERRNO.noent;
        if (exists && oflags & OFLAGS.creat && oflags & OFLAGS.excl) return ERRNO.exist;
        if (!exists || oflags & OFLAGS.trunc) w.files.set(name, new Uint8Array());
        const opened = w.nextFd++;
        w.open.set(opened, { name, at: 0, append: (fdflags & FDFLAGS_APPEND) !== 0 });
        w.view().setUint32(fdPtr, opened, true);
        return ERRNO.success;
      },
      fd_close: (fd) => {
        if (!w.open.delete(fd)) return fd <= ROOT_FD ? ERRNO.success : ERRNO.badf;
        return ERRNO.success;
      },
      fd_read: (fd, iovs, count, nreadPtr) => {
        const into = w.pieces(iovs, count);
        let done = 0;
        if (fd === 0) {
          for (const piece of into) {
            const n = Math.min(piece.length, w.stdin.length - w.stdinAt);
            piece.set(w.stdin.subarray(w.stdinAt, w.stdinAt + n));
            w.stdinAt += n;
            done += n;
            if (n < piece.length) break;
          }
        } else if (w.open.has(fd)) {
          done = w.readFile(fd, into);
        } else {
          return ERRNO.badf;
        }
        w.view().setUint32(nreadPtr, done, true);
        return ERRNO.success;
      },
      fd_pread: (fd, iovs, count, offset, nreadPtr) => {
        if (!w.open.has(fd)) return fd <= 2 ? ERRNO.spipe : ERRNO.badf;
        w.view().setUint32(nreadPtr, w.readFile(fd, w.pieces(iovs, count), Number(offset)), true);
        return ERRNO.success;
      },
      fd_write: (fd, iovs, count, nwrittenPtr) => {
        let done = 0;
        for (const piece of w.pieces(iovs, count)) {
          const copy = piece.slice();
          if (fd === 1) w.stdout.push(copy);
          else if (fd === 2) w.stderr.push(copy);
          else if (w.open.has(fd)) w.writeFile(fd, copy);
          else return ERRNO.badf;
          done += copy.length;
        }
        w.view().setUint32(nwrittenPtr, done, true);
        return ERRNO.success;
      },
      fd_seek: (fd, offset, whence, newPtr) => {
        const f = w.open.get(fd);
        if (!f) return fd <= 2 ? ERRNO.spipe : ERRNO.badf;
        const size = w.files.get(f.name).length;
        const at = [0, f.at, size][whence] + Number(offset);
        if (whence > 2 || at < 0) return ERRNO.inval;
        f.at = at;
        w.view().setBigUint64(newPtr, BigInt(at), true);
        return ERRNO.success;
      },
      path_rename: (fd, oldPtr, oldLen, newFd, newPtr, newLen) => {
        const from = MemoryWasi.plain(w.text(oldPtr, oldLen));
        const to = MemoryWasi.plain(w.text(newPtr, newLen));
        if (!w.files.has(from)) return ERRNO.noent;
        w.files.set(to, w.files.get(from));
        if (to !== from) w.files.delete(from);
        for (const f of w.open.values()) if (f.name === from) f.name = to;
        return ERRNO.success;
      },
      path_unlink_file: (fd, pathPtr, pathLen) => {
        const name = MemoryWasi.plain(w.text(pathPtr, pathLen));
        return w.files.delete(name) ? ERRNO.success : ERRNO.noent;
      },
      clock_time_get: (id, precision, ptr) => {
        w.view().setBigUint64(ptr, BigInt(Date.now()) * 1000000n, true);
        return ERRNO.success;
      },
      random_get: (ptr, len) => {
        crypto.getRandomValues(w.bytes(ptr, len));
        return ERRNO.success;
      },
    };
  }
}

// Any call the modules make that is not above is refused, not missing: the instance still links.
export function withRefusals(module, imports) {
  const calls = imports.wasi_snapshot_preview1;
  for (const entry of WebAssembly.Module.imports(module)) {
    if (entry.module === 'wasi_snapshot_preview1' && !(entry.name in calls)) calls[entry.name] = () => ERRNO.nosys;
  }
  return imports;
}
