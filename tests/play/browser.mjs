// The playground in a real browser: Debian's chromium, headless, driven by puppeteer-core, against
// the site as pas2asm-play serves it on 127.0.0.1. A person's session (type a program, compile,
// read the colours, run with input, step, stop a program that never ends), the automation
// interface against the native tools on the golden cases, and the sizes and speeds of the page.
// No request may leave 127.0.0.1: the browser resolves no other host, and any request for
// another fails the test.
//
//   node browser.mjs --server PAS2ASM_PLAY --site SITE --compiler PAS2ASM --runner PAS2ASM_RUN
//                    --golden CASES_DIR --artefacts DIR [--bench FILE]
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import readline from 'node:readline';
import { createRequire } from 'node:module';
import { parseArgs } from 'node:util';

const here = path.dirname(new URL(import.meta.url).pathname);
const root = path.resolve(here, '..', '..');
// puppeteer-core is one of the page's npm packages (web/package-lock.json).
const { default: puppeteer } = await import(createRequire(path.join(root, 'web', 'package.json')).resolve('puppeteer-core'));
const { values: opt } = parseArgs({
  options: Object.fromEntries(['server', 'site', 'compiler', 'runner', 'golden', 'artefacts', 'bench'].map((k) => [k, { type: 'string' }])),
});
fs.mkdirSync(opt.artefacts, { recursive: true });

let passed = 0;
let failed = 0;
function check(name, ok, detail = '') {
  if (ok) passed++;
  else failed++;
  console.log(`${ok ? 'ok' : 'FAIL'} ${name}${ok || !detail ? '' : `: ${detail}`}`);
}
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

// --- The server -------------------------------------------------------------------------------

const server = spawn(path.resolve(opt.server), ['--port', '0', '--site', opt.site], { stdio: ['ignore', 'pipe', 'inherit'] });
const address = await new Promise((resolve, reject) => {
  const lines = readline.createInterface({ input: server.stdout });
  lines.once('line', (line) => resolve(line.match(/http:\/\/\S+/)?.[0]));
  server.once('exit', (code) => reject(new Error(`pas2asm-play ended with ${code}`)));
});
check('pas2asm-play prints its address on 127.0.0.1', /^http:\/\/127\.0\.0\.1:\d+\/$/.test(address), address);

const userData = fs.mkdtempSync(path.join(os.tmpdir(), 'pas2asm-chromium-'));
const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium',
  headless: true,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update', '--disable-sync', '--no-first-run', `--user-data-dir=${userData}`,
    '--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1'],
});

const requests = [];
const strays = [];
const errors = [];
async function openPage() {
  const page = await browser.newPage();
  await page.setViewport({ width: 1366, height: 768 });
  // Every request the page or its worker makes is seen here; anything but the site's own
  // address cannot be reached anyway (the browser resolves no other host), and fails the test.
  page.on('request', (request) => {
    const url = request.url();
    requests.push(url);
    if (!url.startsWith(address) && !url.startsWith('data:') && !url.startsWith('blob:')) strays.push(url);
  });
  page.on('pageerror', (e) => errors.push(e.message));
  page.on('console', (m) => m.type() === 'error' && errors.push(m.text()));
  await page.goto(address, { waitUntil: 'load' });
  await page.waitForFunction(() => document.body.classList.contains('ready') && window.pas2asm);
  return page;
}

// Replaces the editor's text as a person would: select all, delete, type.
async function typeProgram(page, text) {
  await page.click('#source .cm-content');
  await page.keyboard.down('Control');
  await page.keyboard.press('a');
  await page.keyboard.up('Control');
  await page.keyboard.press('Backspace');
  await page.keyboard.type(text);
}

try {
  const page = await openPage();
  const loaded = requests.length;

  // --- A person's session ----------------------------------------------------------------------

  // Typed as a person types it; the editor indents nothing by itself.
  const program = [
    'PROGRAM Squares;',
    'VAR n, i, s : INTEGER;',
    'BEGIN',
    'READ(n);',
    's := 0;',
    'FOR i := 1 TO n DO',
    's := s + i * i;',
    'WRITE(s);',
    'END.',
  ].join('\n');
  await typeProgram(page, program);
  const typed = await page.evaluate(() => document.querySelector('#source .cm-content').innerText.replace(/\u00a0/g, ' '));
  check('the program is typed into the editor', typed.split('\n').map((l) => l.trim()).join('\n').trim() === program, JSON.stringify(typed));

  await page.click('#compile');
  await page.waitForFunction(() => document.querySelectorAll('#asm .asm-line').length > 0, { timeout: 5000 }).catch(async (e) => {
    console.log(await page.evaluate(() => [document.querySelector('#status').textContent, document.querySelector('#console').textContent, document.activeElement.id]));
    throw e;
  });
  // The FOR's lines in out1.asm, from the map by the map's own rules: the ranges of the FOR and
  // of its parts (start, limit, step), but not of the statement inside it.
  const colours = await page.evaluate(async (source) => {
    const { map } = await window.pas2asm.compile(source);
    const forId = map.constructs.find((c) => c.kind === 'for').id;
    const own = new Set([forId, ...map.constructs.filter((c) => c.parent === forId && c.kind.startsWith('for-')).map((c) => c.id)]);
    const lines = map.ranges.filter((r) => own.has(r.construct)).flatMap((r) => Array.from({ length: r.asm[1] - r.asm[0] + 1 }, (_, k) => r.asm[0] + k));
    const colour = (el) => [...el.classList].find((c) => /^c\d$/.test(c));
    const sourceMark = document.querySelector(`#source [data-construct="${forId}"]`);
    const bodyId = map.constructs.find((c) => c.kind === 'assignment' && c.parent === forId).id;
    const bodyMark = document.querySelector(`#source [data-construct="${bodyId}"]`);
    return {
      count: lines.length,
      sourceColour: sourceMark && colour(sourceMark),
      sourceText: sourceMark?.textContent,
      bodyColour: bodyMark && colour(bodyMark),
      asmColours: lines.map((l) => colour(document.querySelector(`#asm [data-line="${l}"]`))),
      forComment: lines.map((l) => document.querySelector(`#asm [data-line="${l}"]`).textContent).join('\n'),
    };
  }, program);
  check("the FOR's assembly lines carry the FOR's colour",
    colours.count >= 8 && colours.sourceColour && colours.asmColours.every((c) => c === colours.sourceColour) && /FOR/.test(colours.forComment),
    JSON.stringify(colours));
  check('the statement inside the FOR has a colour of its own', colours.bodyColour && colours.bodyColour !== colours.sourceColour, JSON.stringify(colours));

  // Hovering an assembly line of the FOR lights the FOR in the source.
  await page.hover(`#asm [data-line="${await page.evaluate(() => document.querySelector('#asm .asm-line[data-statement]').dataset.line)}"]`);
  const lit = await page.evaluate(() => [...document.querySelectorAll('#source .stmt.lit')].map((e) => e.textContent));
  check('hovering an assembly line lights its statement in the source', lit.length === 1 && lit[0].startsWith('READ'), JSON.stringify(lit));

  // Run with input: 1 + 4 + 9 + 16 = 30; WRITE of an integer starts a new line.
  await page.$eval('#input', (el) => {
    el.value = '4\n';
  });
  await page.click('#run');
  await page.waitForFunction(() => document.querySelector('#exit').textContent !== '', { timeout: 10000 });
  const ran = await page.evaluate(() => ({ output: document.querySelector('#output').textContent, exit: document.querySelector('#exit').textContent }));
  check('Run with input shows the output', ran.output === '\r\n30' && ran.exit === 'exit code 0', JSON.stringify(ran));

  // Three statements: the first press stops at the first statement (READ, line 4), the next two
  // run it and "s := 0" (line 5) and stop at the FOR's start (line 6), with n read as 4 and s 0.
  for (let i = 0; i < 3; i++) {
    await page.keyboard.press('F8');
    await page.waitForFunction((n) => document.querySelector('#status').textContent.startsWith('Stopped'), {}, i);
    await sleep(50);
  }
  const stepped = await page.evaluate(() => ({
    line: document.querySelector('#source .current-line')?.textContent,
    status: document.querySelector('#status').textContent,
    n: document.querySelector('#variables tr[data-name="n"] td:last-child')?.textContent,
    s: document.querySelector('#variables tr[data-name="s"] td:last-child')?.textContent,
    asm: document.querySelector('#asm .current')?.textContent,
  }));
  check('three steps: the marked line is the FOR, n is 4', stepped.line === 'FOR i := 1 TO n DO' && stepped.n === '4' && stepped.s === '0' && stepped.asm, JSON.stringify(stepped));

  await page.screenshot({ path: path.join(opt.artefacts, 'playground.png') });

  // A program that never ends: the page still answers, and Stop ends the run at once.
  await typeProgram(page, 'PROGRAM Loop;\nVAR a : INTEGER;\nBEGIN\na := 0;\nWHILE 1 DO\na := a + 1;\nEND.');
  await page.click('#run');
  await page.waitForFunction(() => document.querySelector('#status').textContent.startsWith('Running'));
  await sleep(300);
  const started = Date.now();
  const answered = await page.evaluate(() => {
    document.querySelector('#input').value = 'still here';
    return document.querySelector('#input').value;
  });
  const answerMs = Date.now() - started;
  check('the page answers while a program loops', answered === 'still here' && answerMs < 500, `${answerMs} ms`);
  const stopStarted = Date.now();
  await page.click('#stop');
  await page.waitForFunction(() => document.querySelector('#status').textContent === 'Stopped.' && document.querySelector('#stop').disabled);
  check('Stop ends the run at once', Date.now() - stopStarted < 1000, `${Date.now() - stopStarted} ms`);
  const after = await page.evaluate(() => window.pas2asm.run('PROGRAM P; VAR a : INTEGER; BEGIN a := 7; WRITE(a); END.'));
  check('after Stop the next run works', after.exitCode === 0 && new TextDecoder().decode(new Uint8Array(Object.values(after.output))) === '\r\n7', JSON.stringify(after.exitCode));

  // --- The automation interface against the native tools -----------------------------------------

  const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'pas2asm-golden-'));
  let compared = 0;
  const disagreements = [];
  for (const group of fs.readdirSync(opt.golden).sort()) {
    const groupDir = path.join(opt.golden, group);
    if (!fs.statSync(groupDir).isDirectory()) continue;
    for (const name of fs.readdirSync(groupDir).sort()) {
      const dir = path.join(groupDir, name);
      // The cases of a plain compile of one source; the others are about the command line and
      // files left from before, which the page has not.
      if (!fs.existsSync(path.join(dir, 'source.pas')) || ['args', 'setup', 'stdin', 'immutable'].some((f) => fs.existsSync(path.join(dir, f)))) continue;
      const source = fs.readFileSync(path.join(dir, 'source.pas'));
      const work = fs.mkdtempSync(path.join(scratch, 'c-'));
      fs.writeFileSync(path.join(work, 'source.pas'), source);
      const native = spawnSync(path.resolve(opt.compiler), ['source.pas'], { cwd: work, input: '' });
      const nativeAsm = fs.existsSync(path.join(work, 'out1.asm')) ? fs.readFileSync(path.join(work, 'out1.asm')).toString('base64') : null;
      const nativeRun = spawnSync(path.resolve(opt.runner), [path.join(work, 'source.pas')], { cwd: work, input: '' });
      const page_ = await page.evaluate(async (b64) => {
        const bytes = Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
        const c = await window.pas2asm.compile(bytes);
        const r = await window.pas2asm.run(bytes, '');
        const big = (u) => {
          let s = '';
          for (let i = 0; i < u.length; i += 8192) s += String.fromCharCode(...u.subarray(i, i + 8192));
          return btoa(s);
        };
        return { console: big(c.console), errors: big(c.errors), exit: c.exitCode, asm: c.asm ? big(c.asm) : null, runOut: big(r.output), runExit: r.exitCode, runErr: big(Uint8Array.from([...r.console, ...window.pas2asm.encode(r.message)])) };
      }, source.toString('base64'));
      const problems = [];
      if (page_.exit !== native.status) problems.push(`exit ${page_.exit} against ${native.status}`);
      if (page_.console !== native.stdout.toString('base64')) problems.push('console');
      if (page_.errors !== native.stderr.toString('base64')) problems.push('standard error');
      if (page_.asm !== nativeAsm) problems.push('out1.asm');
      if (page_.runExit !== nativeRun.status) problems.push(`run exit ${page_.runExit} against ${nativeRun.status}`);
      if (page_.runOut !== nativeRun.stdout.toString('base64')) problems.push('run output');
      if (page_.runErr !== nativeRun.stderr.toString('base64')) problems.push('run message');
      if (problems.length) disagreements.push(`${group}/${name}: ${problems.join(', ')}`);
      compared++;
    }
  }
  fs.rmSync(scratch, { recursive: true, force: true });
  check(`window.pas2asm agrees with pas2asm and pas2asm-run on ${compared} golden cases`, compared >= 60 && disagreements.length === 0, disagreements.slice(0, 10).join('; '));

  // --- Sizes and speeds ------------------------------------------------------------------------

  let siteBytes = 0;
  for (const name of fs.readdirSync(opt.site)) siteBytes += fs.statSync(path.join(opt.site, name)).size;
  const hundred = spawnSync('python3', [path.join(root, 'bench', 'gen.py'), '3500', '--seed', '1']).stdout.toString();
  const speeds = await page.evaluate(async (source100) => {
    const times = [];
    for (let i = 0; i < 21; i++) {
      const t = performance.now();
      const r = await window.pas2asm.compile(source100);
      times.push(performance.now() - t);
      if (r.exitCode !== 0) return { failed: true };
    }
    const million = 'PROGRAM P; VAR I, J, S : INTEGER; BEGIN S := 0; FOR I := 1 TO 1000 DO FOR J := 1 TO 1000 DO S := S + 1; WRITE(S); END.';
    const runs = [];
    let out = null;
    for (let i = 0; i < 5; i++) {
      const t = performance.now();
      out = await window.pas2asm.run(million, '');
      runs.push(performance.now() - t);
    }
    const median = (a) => [...a].sort((x, y) => x - y)[a.length >> 1];
    return { compile: median(times), compileBest: Math.min(...times), run: median(runs), runBest: Math.min(...runs), runExit: out.exitCode, runOutput: new TextDecoder().decode(new Uint8Array(Object.values(out.output))) };
  }, hundred);
  const lines = hundred.split('\n').length - 1;
  check(`the site is at most 2 MB (${siteBytes} bytes)`, siteBytes <= 2_000_000);
  check(`compiling a ${lines}-line program in the page takes at most 50 ms (${speeds.compile?.toFixed(1)} ms)`, !speeds.failed && speeds.compile <= 50);
  check(`the million-pass loop runs in the page in at most 1 s (${speeds.run?.toFixed(0)} ms)`, speeds.runExit === 0 && speeds.runOutput.trim() === '16960' && speeds.run <= 1000, JSON.stringify(speeds));
  if (opt.bench) {
    fs.writeFileSync(opt.bench, JSON.stringify({ siteBytes, lines, ...speeds, chromium: await browser.version() }, null, 2) + '\n');
  }

  // The page, its style and script, the worker's script (started from memory: a blob of the
  // site's own) and the two modules.
  const first = requests.slice(0, loaded);
  check('the first load asked for the site alone', first.filter((u) => u.startsWith(address)).length === 6 && first.every((u) => u.startsWith(address) || u.startsWith(`blob:${address.slice(0, -1)}`)), first.join(' '));
  check('no request left 127.0.0.1, and none after the load', strays.length === 0 && requests.slice(loaded).every((u) => u.startsWith('blob:') || u.startsWith('data:')), [...strays, ...requests.slice(loaded)].join(' '));
  check('the page reported no error', errors.length === 0, errors.join(' | '));
} catch (error) {
  check('the session ran to its end', false, `${error.stack}\npage errors: ${errors.join(' | ')}`);
} finally {
  await browser.close();
  server.kill();
  fs.rmSync(userData, { recursive: true, force: true });
}
console.log(`${passed} passed, ${failed} failed`);
process.exitCode = failed ? 1 : 0;
