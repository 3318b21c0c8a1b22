// window.pas2asm: the playground driven without its buttons (docs/playground.md). Every call
// goes to the worker and returns a promise; stop() ends the worker at once, failing the calls it
// had, and the next call starts a fresh one. Nothing is fetched after the page's load.
import { decodeCp866, encodeCp866 } from './tools.js';

let worker = null;
let nextId = 1;
const pending = new Map();

// Everything the playground fetches, fetched once as the page loads: the worker's script (started
// from memory, again after each Stop) and the two modules, compiled here and handed to each worker.
export const loaded = (async () => {
  const at = (name) => new URL(name, import.meta.url);
  const [script, compiler, machine] = await Promise.all([
    fetch(at('worker.js')).then((r) => r.blob()),
    WebAssembly.compileStreaming(fetch(at('pas2asm.wasm'))),
    WebAssembly.compileStreaming(fetch(at('pas2asm-machine.wasm'))),
  ]);
  return { script: URL.createObjectURL(new Blob([script], { type: 'text/javascript' })), compiler, machine };
})();

async function start() {
  const { script, compiler, machine } = await loaded;
  worker = new Worker(script, { type: 'module' });
  worker.onmessage = ({ data }) => {
    const call = pending.get(data.id);
    if (!call) return;
    pending.delete(data.id);
    if ('error' in data) call.reject(new Error(data.error));
    else call.resolve(data.result);
  };
  worker.postMessage({ kind: 'init', compiler, machine });
}

export async function ask(kind, message = {}) {
  if (!worker) await start();
  const id = nextId++;
  return new Promise((resolve, reject) => {
    pending.set(id, { resolve, reject });
    worker.postMessage({ id, kind, ...message });
  });
}

// Ends whatever the worker is doing; the promises it owed are rejected with "stopped".
export function stop() {
  if (!worker) return;
  worker.terminate();
  worker = null;
  for (const call of pending.values()) call.reject(new Error('stopped'));
  pending.clear();
}

function bytes(source) {
  return typeof source === 'string' ? encodeCp866(source) : new Uint8Array(source);
}

export const api = {
  // { console, errors, exitCode, asm, map }: the console's bytes (CP866) as the compiler wrote
  // them, its standard error, its exit code, out1.asm's bytes (null when none) and the map (the
  // parsed JSON of `pas2asm --map`, null when none).
  async compile(source) {
    const r = await ask('compile', { source: bytes(source) });
    return { ...r, map: r.map ? JSON.parse(r.map) : null };
  },
  // { output, exitCode, message, console }: what pas2asm-run gives for the source with `input`
  // as its standard input: the program's output bytes, the runner's exit code, the runner's
  // words as it writes them to standard error, and the compiler's console bytes before them.
  run(source, input = '') {
    return ask('run', { source: bytes(source), input: bytes(input) });
  },
  stop,
  decode: decodeCp866,
  encode: encodeCp866,
};
