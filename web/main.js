// The playground's page: the editor, the buttons and the panes around the worker. What it shows
// comes from the compiler's console, out1.asm and its source map, and the engine's stops.
import { defaultKeymap, history, historyKeymap, indentWithTab } from '@codemirror/commands';
import { StreamLanguage, defaultHighlightStyle, syntaxHighlighting } from '@codemirror/language';
import { pascal } from '@codemirror/legacy-modes/mode/pascal';
import { EditorState, RangeSet, StateEffect, StateField } from '@codemirror/state';
import { Decoration, EditorView, GutterMarker, drawSelection, gutter, highlightActiveLine, keymap, lineNumbers } from '@codemirror/view';
import { api, ask, loaded, stop } from './playground.js';

/* global EXAMPLES */
const $ = (id) => document.getElementById(id);
const PALETTE = 8; // colours cycled over the statements, as style.css defines them
const STATEMENT_KINDS = new Set(['assignment', 'if', 'while', 'for', 'repeat', 'read', 'write']);

const state = {
  compiled: null, // the last compile: { console, exitCode, asm, asmLines, map }
  compiledSource: null, // the text it was made from
  colourOf: [], // construct -> its statement's construct (the one whose colour it takes)
  debugging: false,
  breakpoints: new Set(),
  busy: false,
};

// --- The editor ---------------------------------------------------------------------------------

const setMarks = StateEffect.define();
const marks = StateField.define({
  create: () => Decoration.none,
  update: (value, tr) => {
    value = value.map(tr.changes);
    for (const e of tr.effects) if (e.is(setMarks)) value = e.value;
    return value;
  },
  provide: (f) => EditorView.decorations.from(f),
});

const setBreakpoints = StateEffect.define();
class BreakpointMarker extends GutterMarker {
  toDOM() {
    const dot = document.createElement('span');
    dot.className = 'breakpoint';
    dot.textContent = '●';
    return dot;
  }
}
const breakpointMarker = new BreakpointMarker();
const breakpointField = StateField.define({
  create: () => RangeSet.empty,
  update: (value, tr) => {
    value = value.map(tr.changes);
    for (const e of tr.effects) if (e.is(setBreakpoints)) value = e.value;
    return value;
  },
});

const editor = new EditorView({
  parent: $('source'),
  state: EditorState.create({
    doc: EXAMPLES[0]?.source ?? '',
    extensions: [
      breakpointField,
      gutter({
        class: 'cm-breakpoint-gutter',
        markers: (v) => v.state.field(breakpointField),
        initialSpacer: () => breakpointMarker,
        domEventHandlers: {
          mousedown: (view, line) => {
            toggleBreakpoint(view.state.doc.lineAt(line.from).number);
            return true;
          },
        },
      }),
      lineNumbers(),
      history(),
      drawSelection(),
      highlightActiveLine(),
      StreamLanguage.define(pascal),
      syntaxHighlighting(defaultHighlightStyle),
      marks,
      keymap.of([...defaultKeymap, ...historyKeymap, indentWithTab]),
      EditorView.updateListener.of((u) => {
        if (u.docChanged && state.compiled) $('stale').hidden = false;
      }),
      EditorView.domEventHandlers({ mousemove: (event, view) => hoverSource(view, event) }),
      EditorView.contentAttributes.of({ 'aria-label': 'Source of the program' }),
    ],
  }),
});

function sourceText() {
  return editor.state.doc.toString();
}

// Line and column (bytes of the CP866 source, from 1) to a position in the editor: every
// character the editor holds is one byte of the source.
function position(line, column) {
  const doc = editor.state.doc;
  if (line < 1 || line > doc.lines) return doc.length;
  const l = doc.line(line);
  return Math.min(l.from + column - 1, l.to);
}

function moveCursor(line) {
  const l = editor.state.doc.line(Math.max(1, Math.min(line, editor.state.doc.lines)));
  editor.dispatch({ selection: { anchor: l.from }, scrollIntoView: true });
  editor.focus();
}

// --- Colours from the map ------------------------------------------------------------------------

function statementOf(map, id) {
  for (let c = map.constructs[id]; c; c = c.parent === null ? null : map.constructs[c.parent]) {
    if (STATEMENT_KINDS.has(c.kind)) return c.id;
  }
  return id;
}

function colourClass(statement) {
  return `c${statement % PALETTE}`;
}

// The source's statements marked in their colours, the current line and the lit statement on top.
function paintSource(lit = -1, current = 0) {
  const { map } = state.compiled ?? {};
  const ranges = [];
  if (map && state.compiledSource === sourceText()) {
    for (const c of map.constructs) {
      if (!STATEMENT_KINDS.has(c.kind)) continue;
      const from = position(c.line, c.column);
      const to = position(c.end[0], c.end[1]);
      if (to > from) {
        const cls = `stmt ${colourClass(c.id)}${c.id === lit ? ' lit' : ''}`;
        ranges.push(Decoration.mark({ class: cls, attributes: { 'data-construct': String(c.id) } }).range(from, to));
      }
    }
  }
  if (current > 0 && current <= editor.state.doc.lines) {
    ranges.push(Decoration.line({ class: 'current-line' }).range(editor.state.doc.line(current).from));
  }
  editor.dispatch({ effects: setMarks.of(Decoration.set(ranges, true)) });
}

function hoverSource(view, event) {
  const { map } = state.compiled ?? {};
  if (!map || state.compiledSource !== sourceText()) return;
  const pos = view.posAtCoords({ x: event.clientX, y: event.clientY });
  let best = -1;
  if (pos !== null) {
    for (const c of map.constructs) {
      if (!STATEMENT_KINDS.has(c.kind)) continue;
      const from = position(c.line, c.column);
      const to = position(c.end[0], c.end[1]);
      if (pos >= from && pos < to) best = c.id; // the innermost comes last
    }
  }
  light(best);
}

let litNow = -2;
function light(statement) {
  if (statement === litNow) return;
  litNow = statement;
  for (const el of document.querySelectorAll('#asm .lit')) el.classList.remove('lit');
  if (statement >= 0) for (const el of document.querySelectorAll(`#asm [data-statement="${statement}"]`)) el.classList.add('lit');
  paintSource(statement, state.debugging ? state.currentLine : 0);
}

// --- Compile -------------------------------------------------------------------------------------

function showConsole(bytes, errors) {
  const text = api.decode(bytes) + api.decode(errors ?? new Uint8Array());
  const box = $('console');
  box.textContent = '';
  // The error line names its line: a button there moves the cursor to it.
  for (const line of text.replace(/\x07/g, '').split(/\r?\n/)) {
    const div = document.createElement('div');
    const m = line.match(/строке (\d+)/);
    if (m) {
      const b = document.createElement('button');
      b.className = 'goto';
      b.textContent = line;
      b.title = `Go to line ${m[1]}`;
      b.onclick = () => moveCursor(Number(m[1]));
      div.append(b);
    } else {
      div.textContent = line;
    }
    box.append(div);
  }
  return text;
}

function showAsm(lines, map) {
  const box = $('asm');
  box.textContent = '';
  const owner = new Array(lines.length + 1).fill(-1);
  if (map) {
    for (const r of map.ranges) {
      if (r.construct === undefined) continue;
      for (let l = r.asm[0]; l <= r.asm[1]; l++) owner[l] = statementOf(map, r.construct);
    }
  }
  const fragment = document.createDocumentFragment();
  lines.forEach((text, i) => {
    const div = document.createElement('div');
    div.className = 'asm-line';
    div.dataset.line = String(i + 1);
    const number = document.createElement('span');
    number.className = 'number';
    number.textContent = String(i + 1);
    const code = document.createElement('span');
    code.className = 'code';
    code.textContent = text;
    if (owner[i + 1] >= 0) {
      div.dataset.statement = String(owner[i + 1]);
      div.classList.add(colourClass(owner[i + 1]));
    }
    div.append(number, code);
    fragment.append(div);
  });
  box.append(fragment);
}

$('asm').addEventListener('mouseover', (event) => {
  const line = event.target.closest('.asm-line');
  light(line?.dataset.statement ? Number(line.dataset.statement) : -1);
});
$('asm').addEventListener('mouseleave', () => light(-1));

async function doCompile() {
  const source = sourceText();
  setStatus('Compiling…');
  const started = performance.now();
  const r = await api.compile(source);
  const ms = performance.now() - started;
  const asmText = r.asm ? api.decode(r.asm) : '';
  state.compiled = { ...r, asmLines: asmText ? asmText.replace(/\r\n$/, '').split('\r\n') : [] };
  state.compiledSource = source;
  $('stale').hidden = true;
  const text = showConsole(r.console, r.errors);
  showAsm(state.compiled.asmLines, r.map);
  paintSource();
  $('download-asm').disabled = $('download-exe').disabled = !r.asm || r.exitCode !== 0;
  setStatus(r.exitCode === 0 ? `Compiled in ${ms.toFixed(0)} ms: out1.asm has ${state.compiled.asmLines.length} lines.` : 'Not compiled: see the console.');
  const m = text.match(/строке (\d+)/);
  if (r.exitCode !== 0 && m) moveCursor(Number(m[1]));
  return r;
}

// --- Run -----------------------------------------------------------------------------------------

function showOutput(bytes, message) {
  $('output').textContent = api.decode(bytes) + (message ? `\n${message.trimEnd()}` : '');
}

async function guarded(what, job) {
  if (state.busy) return;
  state.busy = true;
  document.body.classList.add('busy');
  $('stop').disabled = false;
  try {
    await job();
  } catch (error) {
    // Stopped: stopNow has said so already.
    if (error.message !== 'stopped') setStatus(`${what} failed: ${error.message}`);
  } finally {
    state.busy = false;
    document.body.classList.remove('busy');
    $('stop').disabled = true;
  }
}

async function doRun() {
  endDebug();
  await doCompile();
  if (state.compiled.exitCode !== 0) return;
  setStatus('Running…');
  $('output').textContent = '';
  const started = performance.now();
  const r = await api.run(sourceText(), $('input').value);
  showOutput(r.output, r.message);
  setStatus(`Ran in ${(performance.now() - started).toFixed(0)} ms: exit code ${r.exitCode}.`);
  $('exit').textContent = `exit code ${r.exitCode}`;
}

// --- Step ----------------------------------------------------------------------------------------

async function startDebug() {
  await doCompile();
  if (state.compiled.exitCode !== 0) return false;
  const r = await ask('debug', { source: api.encode(sourceText()), input: api.encode($('input').value), breakpoints: [...state.breakpoints] });
  if (!r.state) {
    showOutput(new Uint8Array(), r.message);
    return false;
  }
  state.debugging = true;
  $('output').textContent = '';
  $('exit').textContent = '';
  showState(r.state);
  return true;
}

function endDebug() {
  state.debugging = false;
  state.currentLine = 0;
  document.body.classList.remove('debugging');
  for (const el of document.querySelectorAll('#asm .current')) el.classList.remove('current');
  paintSource();
}

async function doStep(how) {
  if (!state.debugging || state.compiledSource !== sourceText()) {
    if (!(await startDebug())) return;
    if (how === 'statement' || how === 'instruction') {
      // The first press stops at the program's first statement.
      const r = await ask('step', { how: 'statement' });
      afterStep(r);
      return;
    }
  }
  afterStep(await ask('step', { how }));
}

function afterStep(r) {
  showState(r.state);
  showOutput(r.output, r.state.ended ? r.state.message : '');
  if (r.state.ended) {
    $('exit').textContent = `exit code ${r.state.exitCode}`;
    setStatus(`The program ended: exit code ${r.state.exitCode}.`);
    endDebug();
  }
}

function hex(n) {
  return n.toString(16).toUpperCase().padStart(4, '0');
}

function showState(s) {
  document.body.classList.add('debugging');
  state.currentLine = s.line;
  setStatus(s.statement ? `Stopped at ${s.statement} (${s.reason}).` : `Stopped (${s.reason}).`);
  for (const el of document.querySelectorAll('#asm .current')) el.classList.remove('current');
  const at = document.querySelector(`#asm [data-line="${s.asmLine}"]`);
  if (at) {
    at.classList.add('current');
    at.scrollIntoView({ block: 'nearest' });
  }
  paintSource(-1, s.line);
  if (s.line) {
    const l = editor.state.doc.line(Math.min(s.line, editor.state.doc.lines));
    editor.dispatch({ effects: EditorView.scrollIntoView(l.from, { y: 'nearest' }) });
  }
  const regs = $('registers');
  regs.textContent = '';
  for (const r of [...s.registers, { name: 'IP', value: s.ipValue, changed: false }]) {
    const cell = document.createElement('span');
    cell.className = r.changed ? 'reg changed' : 'reg';
    cell.dataset.name = r.name;
    cell.textContent = `${r.name} ${hex(r.value)}`;
    regs.append(cell);
  }
  $('flags').textContent = '';
  for (const f of s.flags) {
    const cell = document.createElement('span');
    cell.className = `flag${f.set ? ' set' : ''}${f.changed ? ' changed' : ''}`;
    cell.textContent = `${f.name}=${f.set ? 1 : 0}`;
    $('flags').append(cell);
  }
  $('stack').textContent = s.stack.length ? s.stack.map(hex).join(' ') : '(empty)';
  const vars = $('variables');
  vars.textContent = '';
  for (const v of s.variables) {
    const row = document.createElement('tr');
    row.className = v.changed ? 'changed' : '';
    row.dataset.name = v.name;
    for (const text of [v.name, v.type, v.value]) {
      const td = document.createElement('td');
      td.textContent = text;
      row.append(td);
    }
    vars.append(row);
  }
}

async function toggleBreakpoint(line) {
  const on = !state.breakpoints.has(line);
  if (on) state.breakpoints.add(line);
  else state.breakpoints.delete(line);
  if (state.debugging) {
    const r = await ask('breakpoint', { line, on });
    if (on && !r.set) state.breakpoints.delete(line);
  }
  const doc = editor.state.doc;
  const set = [...state.breakpoints].filter((l) => l <= doc.lines).sort((a, b) => a - b);
  editor.dispatch({ effects: setBreakpoints.of(RangeSet.of(set.map((l) => breakpointMarker.range(doc.line(l).from)))) });
}

// --- Downloads, examples, keys ---------------------------------------------------------------------

function download(name, bytes) {
  const url = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
  const a = document.createElement('a');
  a.href = url;
  a.download = name;
  a.click();
  setTimeout(() => URL.revokeObjectURL(url), 1000);
}

async function downloadExe() {
  const r = await ask('exe', { asm: state.compiled.asm });
  if (r.exitCode) setStatus(r.message);
  else download('prog.exe', r.exe);
}

function setStatus(text) {
  $('status').textContent = text;
}

function stopNow() {
  stop();
  endDebug();
  state.busy = false;
  document.body.classList.remove('busy');
  $('stop').disabled = true;
  setStatus('Stopped.');
}

const select = $('examples');
EXAMPLES.forEach((e, i) => {
  const option = document.createElement('option');
  option.value = String(i);
  option.textContent = e.title;
  select.append(option);
});
select.onchange = () => {
  const e = EXAMPLES[Number(select.value)];
  if (!e) return;
  endDebug();
  editor.dispatch({ changes: { from: 0, to: editor.state.doc.length, insert: e.source } });
  $('input').value = e.input ?? '';
  state.compiled = null;
  $('stale').hidden = true;
  paintSource();
};

const actions = {
  compile: () => guarded('Compiling', doCompile),
  run: () => guarded('The run', doRun),
  step: () => guarded('The step', () => doStep('statement')),
  'step-into': () => guarded('The step', () => doStep('instruction')),
  continue: () => guarded('The run', () => doStep('continue')),
  stop: stopNow,
  breakpoint: () => toggleBreakpoint(editor.state.doc.lineAt(editor.state.selection.main.head).number),
  'download-asm': () => state.compiled?.asm && download('out1.asm', state.compiled.asm),
  'download-exe': () => guarded('The .EXE', downloadExe),
};
for (const [id, act] of Object.entries(actions)) $(id).addEventListener('click', act);

// The keys of a Turbo Pascal student, and Ctrl+Enter to compile.
const KEYS = { F7: 'step-into', F8: 'step', F9: 'continue', F2: 'breakpoint', Escape: 'stop' };
document.addEventListener('keydown', (event) => {
  let name = KEYS[event.key];
  if (event.key === 'Enter' && (event.ctrlKey || event.metaKey)) name = event.shiftKey ? 'run' : 'compile';
  if (!name) return;
  if (name === 'stop' && $('stop').disabled) return;
  event.preventDefault();
  actions[name]();
});

window.pas2asm = api;
await loaded;
await ask('compile', { source: new Uint8Array() }); // the worker started, so the first compile is quick
document.body.classList.add('ready');
setStatus('Ready. Ctrl+Enter compiles, Ctrl+Shift+Enter runs, F8 steps a statement, F7 an instruction, F9 continues, F2 sets a breakpoint.');
