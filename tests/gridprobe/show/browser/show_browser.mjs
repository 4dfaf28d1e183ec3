// show_browser.mjs: the page of `gridprobe-manager show` in headless Chromium:
// nothing fetched, the grid, the calls and the rods on screen, the slider and
// the keys stepping through the calls, the zoom of a large grid.
//   node show_browser.mjs MANAGER
import { execFileSync } from 'node:child_process';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { inflateSync } from 'node:zlib';
import { chromium } from 'playwright-core';

const manager = resolve(process.argv[2]);
const failures = [];
let checks = 0;
function check(ok, what) {
  ++checks;
  if (!ok) failures.push(what);
}

// The screenshot's pixels: 8-bit RGB or RGBA, not interlaced, as Chromium
// writes them.
function decodePng(buf) {
  let pos = 8, width = 0, height = 0, type = 0;
  const idat = [];
  while (pos < buf.length) {
    const len = buf.readUInt32BE(pos);
    const kind = buf.toString('latin1', pos + 4, pos + 8);
    const body = buf.subarray(pos + 8, pos + 8 + len);
    if (kind === 'IHDR') {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      if (body[8] !== 8 || body[12] !== 0) throw new Error('unexpected PNG form');
      type = body[9];
    } else if (kind === 'IDAT') {
      idat.push(body);
    }
    pos += 12 + len;
  }
  const bpp = type === 6 ? 4 : type === 2 ? 3 : 0;
  if (bpp === 0) throw new Error(`PNG colour type ${type}`);
  const raw = inflateSync(Buffer.concat(idat));
  const stride = width * bpp;
  const px = Buffer.alloc(stride * height);
  for (let y = 0; y < height; ++y) {
    const filter = raw[y * (stride + 1)];
    const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let x = 0; x < stride; ++x) {
      const a = x >= bpp ? px[y * stride + x - bpp] : 0;
      const b = y > 0 ? px[(y - 1) * stride + x] : 0;
      const c = x >= bpp && y > 0 ? px[(y - 1) * stride + x - bpp] : 0;
      let v = line[x];
      if (filter === 1) v += a;
      else if (filter === 2) v += b;
      else if (filter === 3) v += (a + b) >> 1;
      else if (filter === 4) {
        const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b),
              pc = Math.abs(p - c);
        v += pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
      }
      px[y * stride + x] = v & 255;
    }
  }
  return {
    at(x, y) {
      const i = Math.round(y) * stride + Math.round(x) * bpp;
      return { r: px[i], g: px[i + 1], b: px[i + 2] };
    },
  };
}

const dark = (p) => 0.3 * p.r + 0.59 * p.g + 0.11 * p.b < 130;
const white = (p) => p.r > 248 && p.g > 248 && p.b > 248;
const orange = (p) => p.r > 200 && p.r > p.g + 25 && p.g > p.b + 15;
const bluish = (p) => p.b > p.r + 10 && !white(p);
const green = (p) => p.g > p.r + 40 && p.g > p.b + 30;
const show = (p) => `rgb(${p.r},${p.g},${p.b})`;

// Screen position of a point in grid units of the SVG with this id.
async function screenAt(page, svgId, x, y) {
  return page.evaluate(([id, x, y]) => {
    const svg = document.getElementById(id);
    const pt = svg.createSVGPoint();
    pt.x = x;
    pt.y = y;
    const s = pt.matrixTransform(svg.getScreenCTM());
    return { x: s.x, y: s.y };
  }, [svgId, x, y]);
}
// Screen position of the centre of cell (row, column).
const cellAt = (page, svgId, r, c) => screenAt(page, svgId, c - 0.5, r - 0.5);

async function shot(page) {
  return decodePng(await page.screenshot());
}

const dir = mkdtempSync(join(tmpdir(), 'judgekit-show-'));
function makePage(name, rodsIn, rodsLog) {
  writeFileSync(join(dir, `${name}.in`), rodsIn);
  writeFileSync(join(dir, `${name}.log`), rodsLog);
  execFileSync(manager, ['show', `${name}.in`, `${name}.log`, '-o',
                         `${name}.html`], { cwd: dir });
  return `file://${join(dir, `${name}.html`)}`;
}

// The worked case: N 10, rod 1 in row 2 over columns 3..7, rod 2 in column
// 9 over rows 5..8.
const worked = makePage('worked', '10 2 3 2 7 5 9 8 9\n',
                        'gridsize() = 10\n1 : rect (1,10,1,10) = 1\n' +
                        '2 : rect (3,4,1,10) = 0\n3 : rect (5,5,9,9) = 1\n' +
                        'report (2,3,2,7,5,9,8,9)\n');
// A large grid narrowed down on rod 1's last cell, (5000, 7000).
const big = makePage('big', '10000 5000 6990 5000 7000 1 20 9999 20\n',
                     '1 : rect (1,10000,1,10000) = 1\n' +
                     '2 : rect (5000,5000,5001,10000) = 1\n' +
                     '3 : rect (5000,5000,7501,10000) = 0\n' +
                     '4 : rect (5000,5000,6251,10000) = 1\n' +
                     '5 : rect (5000,5000,6876,10000) = 1\n' +
                     '6 : rect (5000,5000,7001,10000) = 0\n' +
                     '7 : rect (5000,5000,6990,10000) = 1\n' +
                     '8 : rect (5000,5000,6998,10000) = 1\n');

const browser = await chromium.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  chromiumSandbox: false,
  args: ['--disable-gpu', '--no-first-run', '--disable-background-networking',
         '--disable-component-update', '--disable-sync'],
});
try {
  const context = await browser.newContext({
    viewport: { width: 1100, height: 720 }, deviceScaleFactor: 1 });
  const page = await context.newPage();
  const fetched = [];
  await page.route('**/*', (route) => {
    const url = route.request().url();
    if (url.startsWith('file:')) return route.continue();
    fetched.push(url);
    return route.abort();
  });
  const errors = [];
  page.on('pageerror', (e) => errors.push(String(e)));

  await page.goto(worked);
  {
    // The page opens on its last step: every call, the rods, the report.
    let px = await shot(page);
    let p = await cellAt(page, 'grid', 10, 1);
    check(orange(px.at(p.x, p.y)), `cell (10,1) under call 1 alone is orange: ${show(px.at(p.x, p.y))}`);
    p = await cellAt(page, 'grid', 3, 1);
    check(bluish(px.at(p.x, p.y)), `cell (3,1) under call 2 is blue: ${show(px.at(p.x, p.y))}`);
    for (const [r, c] of [[2, 3], [2, 5], [2, 7], [5, 9], [8, 9]]) {
      p = await cellAt(page, 'grid', r, c);
      check(dark(px.at(p.x, p.y)), `rod cell (${r},${c}) is dark: ${show(px.at(p.x, p.y))}`);
    }
    p = await screenAt(page, 'grid', 4.5, 1); // rod 1's top edge, column 5
    check(green(px.at(p.x, p.y - 3)), `a right report rings rod 1 in green: ${show(px.at(p.x, p.y - 3))}`);
    check((await page.textContent('#end')) === 'Right answer with 3 calls.',
          'the last step shows the verdict');
    check((await page.textContent('#line')) === 'report (2,3,2,7,5,9,8,9)',
          'the last step shows the report line');

    // The slider: Home goes before the first call, then one call a key.
    await page.focus('#step');
    await page.keyboard.press('Home');
    check((await page.inputValue('#step')) === '0', 'Home moves the slider to 0');
    check((await page.textContent('#line')) === '(before the first call)',
          'step 0 shows no call');
    check((await page.textContent('#end')) === '', 'no verdict before the end');
    px = await shot(page);
    p = await cellAt(page, 'grid', 10, 1);
    check(white(px.at(p.x, p.y)), `an empty cell before any call is white: ${show(px.at(p.x, p.y))}`);
    // The grid: the line between columns 1 and 2 of row 10 is drawn.
    let line = await screenAt(page, 'grid', 1, 9.5);
    let darkest = 255;
    for (let dx = -1; dx <= 1; ++dx) darkest = Math.min(darkest, px.at(line.x + dx, line.y).g);
    check(darkest < 240, `a cell line is drawn between columns 1 and 2: ${darkest}`);
    p = await cellAt(page, 'grid', 2, 5);
    check(dark(px.at(p.x, p.y)), 'the rods are there before any call');
    check(!green(px.at(p.x, (await screenAt(page, 'grid', 4.5, 1)).y - 3)),
          'the report is not shown before its step');

    await page.keyboard.press('ArrowRight');
    check((await page.textContent('#line')) === '1 : rect (1,10,1,10) = 1',
          `step 1 shows call 1: ${await page.textContent('#line')}`);
    check((await page.textContent('#stepno')) === 'Step 1 of 4', 'step 1 of 4');
    px = await shot(page);
    p = await cellAt(page, 'grid', 10, 1);
    check(orange(px.at(p.x, p.y)), `call 1 covers cell (10,1) in orange: ${show(px.at(p.x, p.y))}`);
    p = await cellAt(page, 'grid', 3, 1);
    check(!bluish(px.at(p.x, p.y)), 'call 2 is not drawn yet at step 1');
    check((await page.getAttribute('#current', 'width')) === '10',
          'the current call is outlined');

    await page.keyboard.press('ArrowRight');
    check((await page.textContent('#line')) === '2 : rect (3,4,1,10) = 0',
          'step 2 shows call 2');
    px = await shot(page);
    p = await cellAt(page, 'grid', 3, 1);
    check(bluish(px.at(p.x, p.y)), `call 2 at step 2 is blue: ${show(px.at(p.x, p.y))}`);
    check((await page.getAttribute('#current', 'y')) === '2' &&
          (await page.getAttribute('#current', 'height')) === '2',
          'the outline moved to call 2');

    // The keys also work without the slider's focus; clicking a line jumps.
    await page.click('h1');
    await page.keyboard.press('End');
    check((await page.inputValue('#step')) === '4', 'End goes to the last step');
    await page.keyboard.press('ArrowLeft');
    check((await page.textContent('#line')) === '3 : rect (5,5,9,9) = 1',
          'Left steps back to call 3');
    await page.click('#transcript li:nth-child(2)');
    check((await page.inputValue('#step')) === '1', 'clicking line 1 shows step 1');

    // The large grid: to scale, and the zoom on where the calls narrowed.
    await page.goto(big);
    const box = await page.getAttribute('#zoom', 'viewBox');
    const side = Number(box.split(' ')[2]);
    check(side < 100, `the zoom closes in on the last calls: ${box}`);
    check((await page.textContent('#zoomtext')).includes('rows'), 'the zoom says where it is');
    px = await shot(page);
    p = await cellAt(page, 'zoom', 5000, 6999);
    check(dark(px.at(p.x, p.y)), `rod 1's end is dark in the zoom: ${show(px.at(p.x, p.y))}`);
    p = await cellAt(page, 'zoom', 5005, 7000);
    check(orange(px.at(p.x, p.y)), `call 1 shows in the zoom: ${show(px.at(p.x, p.y))}`);
    p = await cellAt(page, 'grid', 3000, 20);
    check(dark(px.at(p.x, p.y)), 'rod 2 is visible at full scale');
    await page.focus('#step');
    await page.keyboard.press('Home');
    check(Number((await page.getAttribute('#zoom', 'viewBox')).split(' ')[2]) > 10000,
          'before any call the zoom shows the whole grid');

    check(fetched.length === 0, `the page fetched nothing: ${fetched.join(' ')}`);
    check(errors.length === 0, `no script errors: ${errors.join(' ')}`);
  }
} finally {
  await browser.close();
  rmSync(dir, { recursive: true, force: true });
}

for (const f of failures) console.log(`FAILED: ${f}`);
console.log(`${checks - failures.length} passed, ${failures.length} failed`);
process.exit(failures.length === 0 && checks > 0 ? 0 : 1);
