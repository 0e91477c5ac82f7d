// Times a 100-photo gallery at 1920 x 1080 in headless Chromium with the Ruffle web build, for
// each template: from the page's start to the first photo on screen, and the frame rate the movie
// reports while it animates (automatic scrolling, so every frame moves).
//   NODE_PATH=<build>/movies/e2e/node_modules GALLERIA_APP_DIR=<build>/app-folder \
//     node bench/movies/measure-galleries.js [seconds of animation, default 16]
'use strict';

const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { execFileSync } = require('node:child_process');
const { Session } = require('../../movies/e2e/player');

const appDir = process.env.GALLERIA_APP_DIR;
const samples = process.env.GALLERIA_SAMPLES || path.join(__dirname, '../../data/samples');
const seconds = +(process.argv[2] || 16);
const [W, H] = (process.env.GALLERIA_MEASURE_SIZE || '1920x1080').split('x').map(Number);
const PHOTOS = +(process.env.GALLERIA_MEASURE_PHOTOS || 100);
const renderers = (process.env.GALLERIA_RUFFLE_RENDERERS || 'canvas').split(',');

function galleria(args, env) {
  return execFileSync(path.join(appDir, 'galleria'), args, { encoding: 'utf8', env: { ...process.env, ...env } });
}

async function main() {
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'galleria-measure-'));
  try {
    // 100 distinct files, so that publishing converts and embeds 100 photos.
    const pool = fs.readdirSync(samples).filter((f) => /\.jpe?g$/i.test(f));
    const photos = [];
    for (let i = 0; i < PHOTOS; i++) {
      const f = path.join(work, `photo${String(i).padStart(3, '0')}.jpg`);
      fs.copyFileSync(path.join(samples, pool[i % pool.length]), f);
      photos.push(f);
    }
    const session = await Session.open(work);
    const rows = [];
    for (const type of (process.env.GALLERIA_TEMPLATES || 'st_3d_Cool,st_3d_Wall,st_2d_Slide').split(',')) {
      const project = path.join(work, type + '.qmvk');
      galleria(['--new', project, '--template', type, '--size', `${W}x${H}`, ...photos], { GALLERIA_HOME: work });
      let xml = fs.readFileSync(project, 'utf8');
      xml = xml.replace(/<DragType>[^<]*<\/DragType>/, '<DragType>st_Auto</DragType>');
      fs.writeFileSync(project, xml);
      const movie = type + '.swf';
      galleria(['--publish', 'swf', '--output', path.join(work, movie), project], { GALLERIA_HOME: work });
      const size = fs.statSync(path.join(work, movie)).size;
      for (const renderer of renderers) {
        const play = await session.play(movie, W, H, renderer);
        try {
          await play.waitForTrace(/^first photo shown/, 30000);
          const at = (re) => { const t = play.traces.find((x) => re.test(x.text)); return t ? t.at - play.loadStart : -1; };
          const shown = at(/^first photo shown/);
          const playerTime = +/player time (\d+)/.exec(play.tracesMatching(/^first photo shown/)[0])[1];
          const stages = { read: at(/^player: \d+ photos/), template: at(/^template \S+: \d+ photos/) };
          const from = Date.now();
          await new Promise((r) => setTimeout(r, seconds * 1000));
          const fps = play.traces.filter((t) => t.at > from && /^fps /.test(t.text)).map((t) => +t.text.slice(4));
          const problems = play.problems();
          rows.push({ type, renderer, size, shown, playerTime, stages, fps, problems, player: play.tracesMatching(/^player: \d+ photos/), early: play.traces.slice(0, 6).map((t) => `${t.at - play.loadStart} ${t.text}`) });
        } finally {
          await play.close();
        }
      }
    }
    await session.close();
    if (process.env.GALLERIA_MEASURE_VERBOSE) for (const r of rows) console.log(r.type, r.renderer, JSON.stringify(r.player), JSON.stringify(r.early));
    console.log(`${PHOTOS} photos, stage ${W}x${H}, movie frame rate 30; fps = the movie's own 2-second reports`);
    for (const r of rows) {
      const mean = r.fps.reduce((a, b) => a + b, 0) / (r.fps.length || 1);
      console.log(`${r.type.padEnd(12)} ${r.renderer.padEnd(7)} movie ${(r.size / 1048576).toFixed(1)} MB` +
        `  gallery read ${r.stages.read} ms, template started ${r.stages.template} ms, first photo ${r.shown} ms after the page started, ${r.playerTime} ms after the movie did;  fps mean ${mean.toFixed(1)} min ${Math.min(...r.fps)} max ${Math.max(...r.fps)}` +
        ` (${r.fps.length} reports)${r.problems.length ? '  PROBLEMS: ' + r.problems.join(' | ') : ''}`);
    }
  } finally {
    fs.rmSync(work, { recursive: true, force: true });
  }
}

main().catch((e) => { console.error(e); process.exit(1); });
