// The playground's worker: the compiler and the machine run here, so that a program that loops
// never holds the page. It fetches nothing: the page hands it the compiled modules. Each message { id, kind, ... } is answered by { id, result } or
// { id, error }; the page ends a run at once by ending the worker, and starts another.
import { Machine, compile, run } from './tools.js';

let compiler = null;
let machine = null;
let ready;
const modules = new Promise((resolve) => {
  ready = resolve;
});

const handlers = {
  compile: ({ source }) => compile(compiler, source),
  run: ({ source, input }) => run(compiler, machine, source, input),
  exe: ({ asm }) => {
    const refused = machine.load({ asm, source: new Uint8Array(), map: '' });
    return refused ? { exitCode: refused, message: machine.text() } : { exitCode: 0, exe: machine.exe() };
  },
  // Stepping: the program is compiled and loaded with its input, breakpoints set, and the state
  // at its start answered.
  debug: ({ source, input, breakpoints }) => {
    const compiled = compile(compiler, source);
    if (compiled.exitCode !== 0 || !compiled.asm) return { compiled, state: null };
    const refused = machine.load({ asm: compiled.asm, source, map: compiled.map, input });
    if (refused) return { compiled, state: null, message: machine.text(), exitCode: refused };
    const set = breakpoints.filter((line) => machine.breakpoint(line, true));
    return { compiled, state: machine.state(), breakpoints: set };
  },
  step: ({ how, line }) => ({ state: machine.step(how, line), output: machine.output() }),
  breakpoint: ({ line, on }) => ({ set: machine.breakpoint(line, on), state: machine.state() }),
};

// The first message hands over the two compiled modules.
self.onmessage = async ({ data }) => {
  if (data.kind === 'init') {
    compiler = data.compiler;
    machine = new Machine(data.machine);
    ready();
    return;
  }
  try {
    await modules;
    self.postMessage({ id: data.id, result: handlers[data.kind](data) });
  } catch (error) {
    self.postMessage({ id: data.id, error: String(error?.stack ?? error) });
  }
};
