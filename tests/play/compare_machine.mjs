// The WebAssembly compiler and machine, through the functions the page's worker calls
// (web/tools.js), against the native pas2asm-run on every program of a folder, each with its input
// (NAME.in, or none), and on a program that never ends: the program's output, the exit code and
// standard error (the compiler's console, then the runner's words) must be the same bytes.
//
//   node compare_machine.mjs --runner PAS2ASM_RUN --site SITE_DIR PROGRAMS_DIR
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { parseArgs } from 'node:util';
import { Machine, encodeCp866, run } from '../../web/tools.js';

const { values, positionals } = parseArgs({ options: { runner: { type: 'string' }, site: { type: 'string' } }, allowPositionals: true });
const compiler = new WebAssembly.Module(fs.readFileSync(path.join(values.site, 'pas2asm.wasm')));
const machine = new Machine(new WebAssembly.Module(fs.readFileSync(path.join(values.site, 'pas2asm-machine.wasm'))));

const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'pas2asm-play-'));
const cases = [];
for (const name of fs.readdirSync(positionals[0]).sort()) {
  if (!name.endsWith('.pas')) continue;
  const file = path.join(positionals[0], name);
  const inputFile = file.replace(/\.pas$/, '.in');
  cases.push({ name, file, input: fs.existsSync(inputFile) ? fs.readFileSync(inputFile) : Buffer.alloc(0) });
}
// Never ends: the budget ends it, and the runner names the loop.
const hang = path.join(scratch, 'hang.pas');
fs.writeFileSync(hang, 'PROGRAM Hang;\r\nVAR i : INTEGER;\r\nBEGIN\r\n  i := 0;\r\n  WHILE 1 DO\r\n    i := i + 1;\r\nEND.\r\n');
cases.push({ name: 'a program that never ends', file: hang, input: Buffer.alloc(0) });

let differ = 0;
for (const c of cases) {
  const native = spawnSync(path.resolve(values.runner), [path.resolve(c.file)], { input: c.input, cwd: scratch, maxBuffer: 1 << 26 });
  const started = performance.now();
  const wasm = run(compiler, machine, fs.readFileSync(c.file), c.input);
  const ms = performance.now() - started;
  const stderr = Buffer.concat([Buffer.from(wasm.console), Buffer.from(encodeCp866(wasm.message))]);
  const problems = [];
  if (native.status !== wasm.exitCode) problems.push(`exit code ${native.status} against ${wasm.exitCode}`);
  if (!Buffer.from(native.stdout).equals(Buffer.from(wasm.output))) problems.push('the output differs');
  if (!Buffer.from(native.stderr).equals(stderr))
    problems.push(`standard error ${JSON.stringify(native.stderr.toString('latin1').slice(-200))} against ${JSON.stringify(stderr.toString('latin1').slice(-200))}`);
  if (problems.length) {
    differ++;
    console.log(`differ: ${c.name}: ${problems.join('; ')}`);
  } else {
    console.log(`same: ${c.name} (exit ${wasm.exitCode}, ${ms.toFixed(0)} ms)`);
  }
}
fs.rmSync(scratch, { recursive: true, force: true });
console.log(`${cases.length - differ} passed, ${differ} failed`);
process.exitCode = differ ? 1 : 0;

