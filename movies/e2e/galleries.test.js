// Publishes sample projects with the program and plays each movie in headless Chromium with the
// Ruffle web build: the movie must report the project's photos, show the first one, open a photo's
// link, start the music, survive missing and damaged pieces, and never hit an unsupported call or
// a script error.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { execFileSync } = require('node:child_process');
const { Session } = require('./player');

const appDir = process.env.GALLERIA_APP_DIR;
const samples = process.env.GALLERIA_SAMPLES;
const galleria = path.join(appDir || '', 'galleria');
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'galleria-movies-'));

const W = 960;
const H = 540;
const BAND = 84; // the caption band at the bottom of every template

// --- making projects ---------------------------------------------------------------------------

function run(args) {
  return execFileSync(galleria, args, { encoding: 'utf8', env: { ...process.env, GALLERIA_HOME: work } });
}

function setElement(xml, name, value) {
  const re = new RegExp(`<${name}>[^<]*</${name}>|<${name} ?/>`);
  assert.match(xml, re, `no element ${name}`);
  return xml.replace(re, `<${name}>${value}</${name}>`);
}

function xmlText(s) {
  return s.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;');
}

// photos: [{ file, caption?, description?, url?, urlType? }]; template: { Field: value } applied
// to the project's Template element. Returns the movie's file name under `work`.
function publish(name, { type = 'st_3d_Cool', photos, template = {}, music = [], size }) {
  const project = path.join(work, name + '.qmvk');
  const args = ['--new', project, '--template', type];
  if (size) args.push('--size', size);
  for (const m of music) args.push('--music', m);
  run(args.concat(photos.map((p) => path.join(samples, p.file))));
  let xml = fs.readFileSync(project, 'utf8');
  const blocks = xml.split('<TImageObj>');
  photos.forEach((p, i) => {
    let b = blocks[i + 1];
    if (p.caption !== undefined) b = setElement(b, 'Caption', xmlText(p.caption));
    if (p.description !== undefined) b = setElement(b, 'Description', xmlText(p.description));
    if (p.url !== undefined) b = setElement(b, 'URL', xmlText(p.url));
    if (p.urlType !== undefined) b = setElement(b, 'URLType', p.urlType);
    blocks[i + 1] = b;
  });
  xml = blocks.join('<TImageObj>');
  const [head, rest] = xml.split('<Template>');
  let [tpl, tail] = rest.split('</Template>');
  for (const [k, v] of Object.entries(template)) tpl = setElement(tpl, k, v);
  fs.writeFileSync(project, head + '<Template>' + tpl + '</Template>' + tail);
  run(['--publish', 'swf', '--output', path.join(work, name + '.swf'), project]);
  return name + '.swf';
}

function captionsOf(play) {
  return play.tracesMatching(/^photo \d+: /).map((t) => t.replace(/^photo \d+: /, ''));
}

function shownRect(trace) {
  const [, i, x, y, w, h] = /^shown (\d+) (-?\d+) (-?\d+) (\d+) (\d+)$/.exec(trace).map(Number);
  return { index: i, x, y, w, h };
}

// Mean difference (0..255) between the screenshot and the photo drawn into `rect`, over blocks
// of 16 pixels inside the part of `rect` that is on the stage and above the caption band.
async function difference(play, shot, photoFile, rect) {
  const region = {
    x: Math.max(0, rect.x) + 4, y: Math.max(0, rect.y) + 4,
    r: Math.min(W, rect.x + rect.w) - 4, b: Math.min(H - BAND - 10, rect.y + rect.h) - 4,
  };
  assert.ok(region.r - region.x > 64 && region.b - region.y > 64, 'the shown photo is too small to compare');
  return play.page.evaluate(async ({ shot, url, rect, region }) => {
    const load = (src) => new Promise((ok, fail) => {
      const img = new Image(); img.onload = () => ok(img); img.onerror = fail; img.src = src;
    });
    const [s, p] = await Promise.all([load('data:image/png;base64,' + shot), load(url)]);
    const canvas = (draw) => { const c = new OffscreenCanvas(s.width, s.height).getContext('2d'); draw(c); return c; };
    const a = canvas((c) => c.drawImage(s, 0, 0));
    const b = canvas((c) => { c.imageSmoothingQuality = 'high'; c.drawImage(p, rect.x, rect.y, rect.w, rect.h); });
    const w = Math.floor(region.r - region.x), h = Math.floor(region.b - region.y);
    const da = a.getImageData(region.x, region.y, w, h).data;
    const db = b.getImageData(region.x, region.y, w, h).data;
    const B = 16;
    let sum = 0, blocks = 0;
    for (let by = 0; by + B <= h; by += B) {
      for (let bx = 0; bx + B <= w; bx += B) {
        const ma = [0, 0, 0], mb = [0, 0, 0];
        for (let y = by; y < by + B; y++) {
          for (let x = bx; x < bx + B; x++) {
            const o = (y * w + x) * 4;
            for (let k = 0; k < 3; k++) { ma[k] += da[o + k]; mb[k] += db[o + k]; }
          }
        }
        for (let k = 0; k < 3; k++) sum += Math.abs(ma[k] - mb[k]) / (B * B);
        blocks++;
      }
    }
    return sum / (blocks * 3);
  }, { shot: shot.toString('base64'), url: '/files/photos/' + encodeURIComponent(photoFile), rect, region });
}

async function waitFor(cond, timeout, what) {
  const end = Date.now() + timeout;
  while (Date.now() < end) {
    if (cond()) return;
    await new Promise((r) => setTimeout(r, 100));
  }
  assert.fail('timed out waiting for ' + what);
}

function assertClean(play) {
  assert.deepEqual(play.problems(), [], 'unsupported calls or script errors in the player log');
}

// --- the checks --------------------------------------------------------------------------------

let session;

test.before(async () => {
  assert.ok(appDir && samples, 'GALLERIA_APP_DIR and GALLERIA_SAMPLES must be set');
  fs.mkdirSync(path.join(work, 'photos'));
  for (const f of fs.readdirSync(samples)) fs.copyFileSync(path.join(samples, f), path.join(work, 'photos', f));
  session = await Session.open(work);
});

test.after(async () => {
  if (session) await session.close();
  fs.rmSync(work, { recursive: true, force: true });
});

const gallery = [
  { file: 'Test card.jpg', caption: 'Test card', description: 'Bars & steps', url: 'LINK/first', urlType: 'st_new' },
  { file: 'Mandelbrot.jpg', caption: 'Mandelbrot <set>', description: 'A fractal' },
  { file: 'Café lumière.jpg', caption: 'Café lumière' },
  { file: 'Triangles.jpg', caption: 'Triangles', url: 'LINK/fourth', urlType: 'st_current' },
  { file: 'Carpet.jpg', caption: '' },
];

function withLinks(photos) {
  const base = `http://127.0.0.1:${session.http.port}/link`;
  return photos.map((p) => (p.url ? { ...p, url: p.url.replace('LINK', base) } : p));
}

for (const type of ['st_3d_Cool', 'st_3d_Wall', 'st_2d_Slide']) {
  test(`${type}: reports the photos, shows the first one, opens its link`, async (t) => {
    const movie = publish('gallery_' + type, {
      type, photos: withLinks(gallery),
      // No light: the comparison with the photo wants its own colours.
      template: { UseLight: 'False', DragType: 'st_Drag' },
    });
    const play = await session.play(movie, W, H);
    try {
      await play.waitForTrace(new RegExp(`^template ${type}: \\d+ photos$`));
      assert.deepEqual(play.tracesMatching(/^template .*: \d+ photos$/), [`template ${type}: 5 photos`]);
      const shown = shownRect(await play.waitForTrace(/^shown 0 /));
      assert.deepEqual(captionsOf(play), gallery.map((p) => p.caption));
      assert.ok(play.tracesMatching(/^player: scale showAll$/).length === 1, 'stage not shown with "show all"');

      await new Promise((r) => setTimeout(r, 300));
      const shot = await play.screenshot(W, H);
      const own = await difference(play, shot, 'Test card.jpg', shown);
      const other = await difference(play, shot, 'Mandelbrot.jpg', shown);
      t.diagnostic(`difference from the first photo ${own.toFixed(1)}, from another ${other.toFixed(1)}`);
      assert.ok(own < 12, `the first photo is not where the movie says (difference ${own.toFixed(1)})`);
      assert.ok(other > own * 2, `the shown region is no closer to the first photo (${own.toFixed(1)}) than to another (${other.toFixed(1)})`);

      await play.hideNotices();
      const popup = play.context.waitForEvent('page', { timeout: 8000 });
      await play.page.mouse.click(shown.x + shown.w / 2, shown.y + shown.h / 2 - 10);
      await play.waitForTrace(/^link 0 /, 8000);
      await popup;
      await waitFor(() => session.links.includes('/link/first'), 8000, 'the link to be opened');

      // Keyboard navigation: the next photo comes into place, and its caption is the second one.
      await play.press('ArrowRight');
      await play.waitForTrace(/^shown 1 /, 10000);

      // The play control sits where the pause control appears once playing.
      await play.page.mouse.click(W - 128, H - 42);
      await play.waitForTrace(/^play$/, 5000);
      await play.page.mouse.click(W - 128, H - 42);
      await play.waitForTrace(/^pause$/, 5000);
      assertClean(play);
    } finally {
      await play.close();
    }
  });
}

test('a script address is not opened; a link for the current window replaces the gallery', async () => {
  const photos = [{ file: 'Carpet.jpg', url: 'javascript:location="/link/script"' }, ...withLinks(gallery).slice(3, 4)];
  const movie = publish('current_window', { type: 'st_2d_Slide', photos, template: { UseLight: 'False' } });
  const play = await session.play(movie, W, H);
  try {
    let shown = shownRect(await play.waitForTrace(/^shown 0 /));
    await play.hideNotices();
    await play.page.mouse.click(shown.x + shown.w / 2, Math.min(shown.y + shown.h / 2, H / 2));
    await play.waitForTrace(/^note: The link of photo 1 is not a web or mail address/, 5000);
    await play.press('ArrowRight');
    shown = shownRect(await play.waitForTrace(/^shown 1 /, 10000));
    const navigated = play.page.waitForURL(/\/link\/fourth\??$/, { timeout: 8000 });
    await play.page.mouse.click(shown.x + shown.w / 2, Math.min(shown.y + shown.h / 2, H / 2));
    await navigated;
    assert.equal(play.popups.length, 0, 'a new window was opened');
    assert.ok(!session.links.includes('/link/script'), 'the script address ran');
  } finally {
    await play.close();
  }
});

test('a gallery without photos still plays', async () => {
  const movie = publish('empty', { photos: [] });
  const play = await session.play(movie, W, H);
  try {
    await play.waitForTrace(/^template st_3d_Cool: 0 photos$/);
    await play.waitForTrace(/^fps /, 8000); // still running
    assert.deepEqual(play.tracesMatching(/^note: /), []);
    assertClean(play);
  } finally {
    await play.close();
  }
});

test('a missing background picture is left out with a note', async () => {
  const movie = publish('no_background', {
    photos: gallery.slice(0, 2).map((p) => ({ file: p.file, caption: p.caption })),
    template: { UseBgImage: 'True', BgImage: path.join(work, 'gone.jpg'), ThumbImg: path.join(work, 'gone_thumb.jpeg') },
  });
  const play = await session.play(movie, W, H);
  try {
    await play.waitForTrace(/^note: The background picture is missing or damaged/);
    await play.waitForTrace(/^shown 0 /);
    assertClean(play);
  } finally {
    await play.close();
  }
});

test('a corrupt photo piece is skipped, an undecodable photo is noted, the rest plays', async () => {
  const photos = gallery.slice(0, 4).map((p) => ({ file: p.file, caption: p.caption }));
  const movie = publish('corrupt', { type: 'st_3d_Wall', photos });
  const file = path.join(work, movie);
  const bytes = fs.readFileSync(file);
  const xml = bytes.toString('latin1');
  const offsets = [...xml.matchAll(/<TImageObj>[\s\S]*?<MD5O>(\d+)<\/MD5O>\s*<CRTS>(\d+)<\/CRTS>/g)]
    .map((m) => ({ offset: +m[1], size: +m[2] }));
  assert.equal(offsets.length, 4);
  // The player movie states its own length; the marker and the two lengths follow it.
  const marker = bytes.readUInt32LE(4);
  assert.equal(xml.slice(marker, marker + 5), '*****');
  const descLength = bytes.readUInt32BE(marker + 5);
  const dataStart = marker + 9 + descLength + 4;
  // Photo 2: its length field no longer agrees with the description.
  bytes.writeUInt32BE(offsets[1].size + 1, dataStart + offsets[1].offset);
  // Photo 3: a whole piece whose bytes are no picture.
  bytes.fill(0x55, dataStart + offsets[2].offset + 4, dataStart + offsets[2].offset + 4 + offsets[2].size);
  fs.writeFileSync(file, bytes);

  const play = await session.play(movie, W, H);
  try {
    await play.waitForTrace(/^note: Photo 2 \("Mandelbrot <set>"\) is missing or damaged/);
    await play.waitForTrace(/^template st_3d_Wall: 3 photos$/);
    await play.waitForTrace(/^template st_3d_Wall: scroll /);
    assert.deepEqual(captionsOf(play), ['Test card', 'Café lumière', 'Triangles']);
    await play.waitForTrace(/^shown 0 /);
    // The undecodable one is now the second photo: step to it and the note must come.
    await play.press('ArrowRight');
    await play.waitForTrace(/^note: Photo 2 cannot be decoded/, 10000);
    await play.waitForTrace(/^fps /, 8000);
    assertClean(play);
  } finally {
    await play.close();
  }
});

test('a damaged template piece gives a note, not a hang', async () => {
  const movie = publish('bad_template', { photos: gallery.slice(0, 2).map((p) => ({ file: p.file })) });
  const file = path.join(work, movie);
  const bytes = fs.readFileSync(file);
  const marker = bytes.readUInt32LE(4);
  const dataStart = marker + 9 + bytes.readUInt32BE(marker + 5) + 4;
  const offset = +/<Template>[\s\S]*?<MD5O>(\d+)<\/MD5O>/.exec(bytes.toString('latin1'))[1];
  bytes.writeUInt32BE(0x7FFFFFF0, dataStart + offset);
  fs.writeFileSync(file, bytes);
  const play = await session.play(movie, W, H);
  try {
    await play.waitForTrace(/^note: The gallery template is missing or damaged\.$/);
    assertClean(play);
  } finally {
    await play.close();
  }
});

test('full screen: the button, and a full-screen gallery on the first click', async () => {
  const photos = gallery.slice(0, 2).map((p) => ({ file: p.file }));
  const isFull = (play) => play.page.evaluate(() => !!document.fullscreenElement);
  for (const fullPlay of ['False', 'True']) {
    const movie = publish('full_' + fullPlay, { photos, template: { FullPlay: fullPlay } });
    const play = await session.play(movie, W, H);
    try {
      await play.waitForTrace(/^shown 0 /);
      await play.hideNotices();
      assert.equal(await isFull(play), false, 'full screen before any click');
      if (fullPlay === 'True') await play.page.mouse.click(20, 20); // beside the photos
      else await play.page.mouse.click(W - 32, H - 42); // the full-screen button
      const end = Date.now() + 5000;
      while (!(await isFull(play)) && Date.now() < end) await new Promise((r) => setTimeout(r, 100));
      assert.equal(await isFull(play), true, `not full screen (FullPlay ${fullPlay})`);
      assertClean(play);
    } finally {
      await play.close();
    }
  }
});

test('music starts when the project has music', async () => {
  const tone = path.join(work, 'tone.wav');
  execFileSync('ffmpeg', ['-loglevel', 'error', '-f', 'lavfi', '-i', 'sine=frequency=440:duration=8',
    '-ac', '2', '-ar', '44100', '-y', tone]);
  const movie = publish('music', { photos: gallery.slice(0, 2).map((p) => ({ file: p.file })), music: [tone] });
  const play = await session.play(movie, W, H);
  try {
    await play.waitForTrace(/^music: playing, \d+ ms long, loop true$/, 15000);
    await play.waitForTrace(/^shown 0 /);
    assertClean(play);
  } finally {
    await play.close();
  }
});

test('the stage takes the published size; the background picture and the display options reach the movie', async () => {
  const movie = publish('large', {
    type: 'st_3d_Wall', photos: gallery.slice(0, 3).map((p) => ({ file: p.file })), size: '1280x720',
    template: {
      DragType: 'st_Influence', UseFrame: 'True', UseFill: 'True', UseLight: 'True',
      AutoPlay: 'True', AutoLoop: 'True', AutoDelay: '1',
      UseBgImage: 'True', BgImage: path.join(samples, 'Gradient dusk.jpg'), ThumbImg: path.join(samples, 'Gradient dusk.jpg'),
    },
  });
  const play = await session.play(movie, 1280, 720);
  try {
    await play.waitForTrace(/^player: stage 1280x720$/);
    await play.waitForTrace(/^template st_3d_Wall: scroll influence, spotlight true, frame true, fill true$/);
    await play.waitForTrace(/^player: background picture shown$/);
    await play.waitForTrace(/^shown 0 /);
    // Automatic play walks on by itself every second and starts again after the last photo.
    await play.waitForTrace(/^shown 2 /, 10000);
    const after = play.traces.length;
    await waitFor(() => play.traces.slice(after).some((t) => /^shown 0 /.test(t.text)), 10000, 'the loop back to the first photo');
    assertClean(play);
  } finally {
    await play.close();
  }
});
