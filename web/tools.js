// The compiler and the machine as functions over bytes: what the page's worker calls, and what the
// tests call under Node. The compiler runs once per compile in a fresh instance over a folder in
// memory, as `pas2asm --map map.json source.pas` runs with standard input at its end; the machine
// is the engine of pas2asm-run behind the functions of src/play/play.h.
import { MemoryWasi, withRefusals } from './wasi.js';

const MAP_FILE = 'map.json';
const SOURCE_FILE = 'source.pas';

// The texts are CP866, as the compiler reads and writes them.
const CP866_UPPER =
  'АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдежзийклмноп░▒▓│┤╡╢╖╕╣║╗╝╜╛┐└┴┬├─┼╞╟╚╔╩╦╠═╬╧╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀рстуфхцчшщъыьэюяЁёЄєЇїЎў°∙·√№¤■\u00a0';

export function decodeCp866(bytes) {
  let text = '';
  for (const b of bytes) text += b < 0x80 ? String.fromCharCode(b) : CP866_UPPER[b - 0x80];
  return text;
}

// A character without a CP866 form becomes "?", as a DOS editor would have no way to type it.
export function encodeCp866(text) {
  const bytes = [];
  for (const ch of text) {
    const code = ch.codePointAt(0);
    if (code < 0x80) bytes.push(code);
    else {
      const at = CP866_UPPER.indexOf(ch);
      bytes.push(at >= 0 ? 0x80 + at : 0x3f);
    }
  }
  return Uint8Array.from(bytes);
}

function asBytes(source) {
  return typeof source === 'string' ? encodeCp866(source) : new Uint8Array(source);
}

// { console, errors, exitCode, asm, map }: standard output and error, the exit code, out1.asm
// (null when none was written) and the map's JSON text (null without one).
export function compile(compilerModule, source) {
  const files = new Map([[SOURCE_FILE, asBytes(source)]]);
  const wasi = new MemoryWasi({ args: ['pas2asm', '--map', MAP_FILE, SOURCE_FILE], files });
  const instance = new WebAssembly.Instance(compilerModule, withRefusals(compilerModule, wasi.imports));
  const exitCode = wasi.start(instance);
  const map = files.get(MAP_FILE);
  return {
    console: wasi.output(),
    errors: wasi.errors(),
    exitCode,
    asm: files.get('out1.asm') ?? null,
    map: exitCode === 0 && map ? new TextDecoder().decode(map) : null,
  };
}

// The machine with one program loaded at a time.
export class Machine {
  constructor(machineModule) {
    this.module = machineModule;
    this.fresh();
  }

  fresh() {
    const wasi = new MemoryWasi();
    this.instance = new WebAssembly.Instance(this.module, withRefusals(this.module, wasi.imports));
    wasi.initialize(this.instance);
    this.x = this.instance.exports;
  }

  put(parts) {
    const size = parts.reduce((n, p) => n + p.length, 0);
    const ptr = this.x.PlayBuffer(size);
    const into = new Uint8Array(this.x.memory.buffer, ptr, size);
    let at = 0;
    for (const p of parts) {
      into.set(p, at);
      at += p.length;
    }
  }

  result() {
    return new Uint8Array(this.x.memory.buffer, this.x.PlayResult(), this.x.PlayResultSize()).slice();
  }

  text() {
    return decodeCp866(this.result());
  }

  json() {
    return JSON.parse(new TextDecoder().decode(this.result()));
  }

  // Returns 0, or the runner's exit code for an out1.asm it refuses (its words: this.text()).
  load({ asm, source, map, input = new Uint8Array(), checkStack = false, budget = 0 }) {
    this.fresh();
    const parts = [asm, asBytes(source), new TextEncoder().encode(map ?? ''), asBytes(input)];
    this.put(parts);
    return this.x.PlayLoad(parts[0].length, parts[1].length, parts[2].length, parts[3].length, checkStack ? 1 : 0, budget);
  }

  finish() {
    const exitCode = this.x.PlayFinish();
    return { exitCode, message: this.text() };
  }

  // how: 'instruction', 'statement', 'continue' or 'line' (to `line`).
  step(how, line = 0) {
    this.x.PlayStep(['instruction', 'statement', 'continue', 'line'].indexOf(how), line);
    return this.json();
  }

  state() {
    this.x.PlayState();
    return this.json();
  }

  breakpoint(line, on) {
    return this.x.PlayBreakpoint(line, on ? 1 : 0) !== 0;
  }

  output() {
    this.x.PlayOutput();
    return this.result();
  }

  exe() {
    this.x.PlayExe();
    return this.result();
  }

  compileFailed(exitCode) {
    this.x.PlayCompileFailed(exitCode);
    return this.text();
  }
}

// What pas2asm-run does with a source and its input: { output, exitCode, message, console }. The
// output is the program's bytes; the message is the runner's lines, which pas2asm-run writes to
// standard error after the compiler's console texts (console: its standard output and error).
export function run(compilerModule, machine, source, input = '') {
  const compiled = compile(compilerModule, source);
  const consoleText = MemoryWasi.joined([compiled.console, compiled.errors]);
  if (compiled.exitCode !== 0 || !compiled.asm) {
    return { output: new Uint8Array(), exitCode: 2, message: machine.compileFailed(compiled.exitCode), console: consoleText };
  }
  const refused = machine.load({ asm: compiled.asm, source, map: compiled.map, input: asBytes(input) });
  if (refused) return { output: new Uint8Array(), exitCode: refused, message: machine.text(), console: consoleText };
  const end = machine.finish();
  return { output: machine.output(), exitCode: end.exitCode, message: end.message, console: consoleText };
}
