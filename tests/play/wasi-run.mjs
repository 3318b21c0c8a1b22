// Runs the WebAssembly compiler under Node's WASI as a process would run the native one.
//
//   node wasi-run.mjs MODULE.wasm ARG...   one run in the current folder, with this process's
//                                          standard streams; exits with the program's exit code
//   node wasi-run.mjs --serve MODULE.wasm  many runs: one JSON line per run on standard input,
//        {"cwd": FOLDER, "args": [...], "stdin": FILE|null, "stdout": FILE, "stderr": FILE},
//        answered by one line {"exit": CODE}; the module is compiled once, each run gets a
//        fresh instance
//
// The program sees the whole file system at "/" and its working folder in PWD, which the WASI
// runtime of the compiler takes as its working folder.
import fs from 'node:fs';
import readline from 'node:readline';
import v8 from 'node:v8';
import { WASI } from 'node:wasi';

// Node 20 crashes now and then (SIGSEGV) once its optimizer turns the WASI calls into "fast API
// calls", after a few hundred runs in one process (Node's issues 46777 and 53087); the calls made
// the ordinary way are sound.
v8.setFlagsFromString('--no-turbo-fast-api-calls');
process.removeAllListeners('warning'); // WASI is "experimental" in Node 20; said once is enough

function runOnce(module, args, cwd, stdin, stdout, stderr) {
  const wasi = new WASI({
    version: 'preview1',
    args: ['pas2asm', ...args],
    env: { PWD: cwd },
    preopens: { '/': '/' },
    stdin, stdout, stderr,
    returnOnExit: true,
  });
  const instance = new WebAssembly.Instance(module, wasi.getImportObject());
  return wasi.start(instance);
}

const argv = process.argv.slice(2);
if (argv[0] === '--serve') {
  const module = new WebAssembly.Module(fs.readFileSync(argv[1]));
  const lines = readline.createInterface({ input: process.stdin });
  for await (const line of lines) {
    const run = JSON.parse(line);
    const stdin = fs.openSync(run.stdin ?? '/dev/null', 'r');
    const stdout = fs.openSync(run.stdout, 'w');
    const stderr = fs.openSync(run.stderr, 'w');
    let exit;
    try {
      exit = runOnce(module, run.args, run.cwd, stdin, stdout, stderr);
    } catch (error) {
      exit = `trap: ${error.message}`;
    } finally {
      for (const fd of [stdin, stdout, stderr]) fs.closeSync(fd);
    }
    process.stdout.write(JSON.stringify({ exit }) + '\n');
  }
} else {
  const module = new WebAssembly.Module(fs.readFileSync(argv[0]));
  process.exitCode = runOnce(module, argv.slice(1), process.cwd(), 0, 1, 2);
}
