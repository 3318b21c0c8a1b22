// Builds the playground's site into one folder: the page, its bundled scripts, the two
// WebAssembly modules and the guide's examples, which the page's menu lists.
//
//   node web/build.mjs --out SITE_DIR --wasm WASM_DIR --guide docs/guide.md
import * as esbuild from 'esbuild';
import fs from 'node:fs';
import path from 'node:path';
import { parseArgs } from 'node:util';

const here = path.dirname(new URL(import.meta.url).pathname);
const { values } = parseArgs({ options: { out: { type: 'string' }, wasm: { type: 'string' }, guide: { type: 'string' } } });

// Each program of the guide under its section's heading and its file name; the input that a
// session of the same section types into `pas2asm-run` with printf goes with it.
function examples(guide) {
  const list = [];
  let heading = '';
  const lines = fs.readFileSync(guide, 'utf8').split('\n');
  for (let i = 0; i < lines.length; i++) {
    const h = lines[i].match(/^#{2,4}\s+(.*)$/);
    if (h) heading = h[1].replace(/`/g, '');
    if (lines[i].trim() !== '```pascal') continue;
    const name = lines.slice(0, i).reverse().find((l) => l.trim() !== '')?.match(/`([^`]+\.pas)`/)?.[1] ?? 'program.pas';
    const end = lines.indexOf('```', i + 1);
    const source = lines.slice(i + 1, end).join('\n') + '\n';
    const entry = { title: `${heading}: ${name}`, source };
    for (let j = end + 1; j < lines.length && !/^#{2,4}\s/.test(lines[j]); j++) {
      const typed = lines[j].match(/^\$ printf '([^']*)' \| pas2asm-run (\S+)/);
      if (typed && typed[2] === name) {
        entry.input = typed[1].replace(/\\n/g, '\n');
        break;
      }
    }
    list.push(entry);
    i = end;
  }
  return list;
}

fs.rmSync(values.out, { recursive: true, force: true });
fs.mkdirSync(values.out, { recursive: true });
await esbuild.build({
  entryPoints: [path.join(here, 'main.js'), path.join(here, 'worker.js')],
  outdir: values.out,
  bundle: true,
  minify: true,
  format: 'esm',
  target: 'es2022',
  legalComments: 'none',
  define: { EXAMPLES: JSON.stringify(examples(values.guide)) },
  logLevel: 'warning',
});
for (const name of ['index.html', 'style.css']) fs.copyFileSync(path.join(here, name), path.join(values.out, name));
for (const name of ['pas2asm.wasm', 'pas2asm-machine.wasm']) fs.copyFileSync(path.join(values.wasm, name), path.join(values.out, name));
let size = 0;
for (const name of fs.readdirSync(values.out)) size += fs.statSync(path.join(values.out, name)).size;
console.log(`site: ${values.out}, ${fs.readdirSync(values.out).length} files, ${(size / 1024).toFixed(0)} KiB`);
