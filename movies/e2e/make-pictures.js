// Makes the picture of each template for the template page: publishes the sample photos with the
// template and takes the player's picture once the first photo is in place.
//   NODE_PATH=<build>/movies/e2e/node_modules GALLERIA_APP_DIR=<build>/app-folder \
//     node movies/e2e/make-pictures.js movies/pictures
'use strict';

const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { execFileSync } = require('node:child_process');
const { Session } = require('./player');

async function main() {
  const out = path.resolve(process.argv[2] || 'pictures');
  const appDir = process.env.GALLERIA_APP_DIR;
  const samples = process.env.GALLERIA_SAMPLES || path.join(__dirname, '../../data/samples');
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'galleria-pictures-'));
  const photos = fs.readdirSync(samples).filter((f) => /\.jpe?g$/i.test(f)).sort()
    // A wide, colourful photo at the front.
    .sort((a, b) => (b === 'Mandelbrot.jpg') - (a === 'Mandelbrot.jpg')).map((f) => path.join(samples, f));
  fs.mkdirSync(out, { recursive: true });
  const session = await Session.open(work);
  try {
    for (const type of ['st_3d_Cool', 'st_3d_Wall', 'st_2d_Slide']) {
      const project = path.join(work, type + '.qmvk');
      const env = { ...process.env, GALLERIA_HOME: work };
      execFileSync(path.join(appDir, 'galleria'), ['--new', project, '--template', type, ...photos], { env });
      execFileSync(path.join(appDir, 'galleria'), ['--publish', 'swf', '--output', path.join(work, type + '.swf'), project], { env });
      // The stage is shown whole ("show all") in a smaller player: the picture is the gallery in small.
      const play = await session.play(type + '.swf', 320, 180);
      try {
        await play.waitForTrace(/^shown 0 /);
        // The wall's picture shows the wall, not the photo zoomed out of it.
        if (type === 'st_3d_Wall') await play.press('Escape');
        await new Promise((r) => setTimeout(r, 1500));
        fs.writeFileSync(path.join(out, type + '.png'), await play.screenshot(320, 180));
        console.log('wrote', path.join(out, type + '.png'));
      } finally {
        await play.close();
      }
    }
  } finally {
    await session.close();
    fs.rmSync(work, { recursive: true, force: true });
  }
}

main().catch((e) => { console.error(e); process.exit(1); });
