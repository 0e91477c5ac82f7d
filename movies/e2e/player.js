// Plays movies in headless Chromium with the Ruffle web build, served on 127.0.0.1, and collects
// what the player logs. Shared by the end-to-end checks and the measurements.
'use strict';

const fs = require('node:fs');
const http = require('node:http');
const path = require('node:path');
const { chromium } = require('playwright-core');

const rufflePackage = path.dirname(require.resolve('@ruffle-rs/ruffle/package.json'));
const fontDir = process.env.GALLERIA_FONT_DIR || '/usr/share/fonts/truetype/noto';
const chromiumPath = process.env.GALLERIA_CHROMIUM || '/usr/bin/chromium';

const types = {
  '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
  '.swf': 'application/x-shockwave-flash', '.ttf': 'font/ttf', '.jpg': 'image/jpeg',
  '.jpeg': 'image/jpeg', '.png': 'image/png',
};

// The page: one player element exactly the movie's stage size at the top left, so that stage
// coordinates are page coordinates. `_sans` is Noto Sans, given to Ruffle as font files.
function pageHtml(movie, width, height, renderer) {
  const config = {
    autoplay: 'on', unmuteOverlay: 'hidden', splashScreen: false, allowScriptAccess: true, allowFullscreen: true,
    logLevel: 'info', preferredRenderer: renderer, letterbox: 'off',
    fontSources: ['/fonts/NotoSans-Regular.ttf', '/fonts/NotoSans-Bold.ttf'],
    defaultFonts: { sans: ['Noto Sans'] },
  };
  if (process.env.GALLERIA_RUFFLE_QUALITY) config.quality = process.env.GALLERIA_RUFFLE_QUALITY;
  return `<!doctype html><html><head><style>body{margin:0;background:#000}</style></head><body>
<div id="stage"></div><script src="/ruffle/ruffle.js"></script><script>
window.RufflePlayer = window.RufflePlayer || {};
window.RufflePlayer.config = ${JSON.stringify(config)};
const player = window.RufflePlayer.newest().createPlayer();
player.style.width = '${width}px'; player.style.height = '${height}px'; player.style.display = 'block';
document.getElementById('stage').appendChild(player);
player.ruffle().load(${JSON.stringify(movie)});
</script></body></html>`;
}

// Serves the Ruffle build, the fonts, the files of `root` under /files/, and records every
// request under /link/ (the links that galleries open).
function startServer(root) {
  const links = [];
  const server = http.createServer((req, res) => {
    const url = new URL(req.url, 'http://127.0.0.1');
    const p = decodeURIComponent(url.pathname);
    if (p === '/play') {
      res.setHeader('content-type', 'text/html');
      res.end(pageHtml(url.searchParams.get('movie'), +url.searchParams.get('w'),
        +url.searchParams.get('h'), url.searchParams.get('renderer') || 'canvas'));
      return;
    }
    if (p.startsWith('/link/')) {
      links.push(p);
      res.setHeader('content-type', 'text/html');
      res.end('<html><body>link target</body></html>');
      return;
    }
    let file = null;
    if (p.startsWith('/ruffle/')) file = path.join(rufflePackage, p.slice(8));
    else if (p.startsWith('/fonts/')) file = path.join(fontDir, p.slice(7));
    else if (p.startsWith('/files/')) file = path.join(root, p.slice(7));
    if (!file || file.includes('..')) { res.statusCode = 404; res.end(); return; }
    fs.readFile(file, (err, data) => {
      if (err) { res.statusCode = 404; res.end(); return; }
      res.setHeader('content-type', types[path.extname(file).toLowerCase()] || 'application/octet-stream');
      // As any web server would let it: the movie fetches its own file a second time.
      res.setHeader('cache-control', 'max-age=600');
      res.end(data);
    });
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => {
    resolve({ server, links, port: server.address().port });
  }));
}

// One console message of Ruffle's log: "%cLEVEL%c source%c message" followed by the styles.
function parseLog(text) {
  const styles = text.indexOf(' color: ');
  const plain = (styles >= 0 ? text.slice(0, styles) : text).replace(/%c/g, '');
  const m = /^(TRACE|DEBUG|INFO|WARN|ERROR) (\S+) ([\s\S]*)$/.exec(plain);
  if (!m) return { level: 'CONSOLE', source: '', message: plain };
  return { level: m[1], source: m[2], message: m[3] };
}

class Session {
  static async open(root) {
    const s = new Session();
    s.http = await startServer(root);
    s.browser = await chromium.launch({
      executablePath: chromiumPath,
      args: ['--no-sandbox', '--autoplay-policy=no-user-gesture-required', '--mute-audio'],
    });
    return s;
  }

  get links() { return this.http.links; }

  // Loads `movie` (a file name under root) on a fresh page; returns a Play.
  async play(movie, width, height, renderer = process.env.GALLERIA_RUFFLE_RENDERER || 'canvas') {
    const context = await this.browser.newContext({ viewport: { width: width + 20, height: height + 20 } });
    const page = await context.newPage();
    const play = new Play(context, page);
    const url = `http://127.0.0.1:${this.http.port}/play?movie=${encodeURIComponent('/files/' + movie)}` +
      `&w=${width}&h=${height}&renderer=${renderer}`;
    play.loadStart = Date.now();
    await page.goto(url);
    return play;
  }

  async close() {
    await this.browser.close();
    await new Promise((r) => this.http.server.close(r));
  }
}

class Play {
  constructor(context, page) {
    this.context = context;
    this.page = page;
    this.log = [];       // every parsed Ruffle log line, with its arrival time
    this.traces = [];    // the movie's own trace lines
    this.pageErrors = [];
    this.popups = [];
    this.waiters = [];
    page.on('console', (m) => this.onLine(parseLog(m.text())));
    page.on('pageerror', (e) => this.pageErrors.push(e.message));
    context.on('page', (p) => this.popups.push(p));
  }

  onLine(line) {
    line.at = Date.now();
    this.log.push(line);
    if (line.source.startsWith('web/src/log_adapter.rs')) {
      this.traces.push({ text: line.message, at: line.at });
      for (const w of this.waiters.slice()) if (w.test(line.message)) w.resolve(line.message);
    }
  }

  // Resolves with the first trace line (already seen or coming) that matches `pattern`.
  waitForTrace(pattern, timeout = 20000) {
    const seen = this.traces.find((t) => pattern.test(t.text));
    if (seen) return Promise.resolve(seen.text);
    return new Promise((resolve, reject) => {
      const w = { test: (t) => pattern.test(t), resolve: (t) => { clearTimeout(timer); this.waiters.splice(this.waiters.indexOf(w), 1); resolve(t); } };
      const timer = setTimeout(() => {
        this.waiters.splice(this.waiters.indexOf(w), 1);
        reject(new Error(`no trace matching ${pattern} within ${timeout} ms; traces:\n` +
          this.traces.map((t) => '  ' + t.text).join('\n')));
      }, timeout);
      this.waiters.push(w);
    });
  }

  tracesMatching(pattern) {
    return this.traces.map((t) => t.text).filter((t) => pattern.test(t));
  }

  // Lines that mean the movie used something the player does not do, or a script failed.
  problems() {
    const drawless = this.traces.some((t) => t.text === 'player draws into bitmaps: false');
    let probeRefusals = 0;
    const found = [];
    for (const l of this.log) {
      if (/Encountered stub/.test(l.message)) {
        if (!/Loader\.load\(\) addChild at the correct time/.test(l.message)) found.push(l.message);
      } else if (l.level === 'ERROR') {
        // The capability probe's one refused draw is how a movie learns the renderer cannot.
        if (drawless && /does not support BitmapData\.draw/.test(l.message) && ++probeRefusals === 1) continue;
        found.push(l.message);
      }
    }
    return found.concat(this.pageErrors.map((e) => 'page error: ' + e));
  }

  // Ruffle shows a notice about hardware acceleration on the first mouse-over when there is no
  // GPU; it would swallow the first click.
  async hideNotices() {
    await this.page.evaluate(() => {
      const player = document.querySelector('ruffle-player');
      const modal = player && player.shadowRoot && player.shadowRoot.querySelector('#hardware-acceleration-modal');
      if (modal) modal.style.display = 'none';
    });
  }

  // Keys reach the movie only while its player element has the focus.
  async press(key) {
    await this.page.locator('ruffle-player').focus();
    await this.page.keyboard.press(key);
  }

  async screenshot(width, height) {
    return this.page.screenshot({ clip: { x: 0, y: 0, width, height } });
  }

  async close() {
    await this.context.close();
  }
}

module.exports = { Session, parseLog };
