// A static file server for the web build's site on a free loopback port, as a web host would
// serve it: the content type, and with `gzip` the compression most hosts apply.
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';

const TYPES = {
  '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm',
  '.svg': 'image/svg+xml', '.txt': 'text/plain', '.png': 'image/png',
  '.webmanifest': 'application/manifest+json',
};

// Resolves to { url, close() } once the server listens. `pages` maps paths to pages served
// from memory beside the site's files (the benchmark's bare page). As some hosts do, the site
// can be served under each of `folders` (each "/name/"), its page also at the folder's name
// without the final slash, and with `redirectIndex` index.html redirected to its folder.
//
// For the tests of hosts: `headers` go with every response; the returned `offline` set true
// drops every connection, as a network gone would; `replaced` maps a file's name to what is
// served in its place (another build's file, mid-deploy); `reports` collects the bodies of
// Content Security Policy reports posted to /csp-report; `requests` the paths asked for.
export async function serve(siteDirectory, { pages = {}, gzip = false, folders = ['/'],
  redirectIndex = false, headers: extraHeaders = {} } = {}) {
  const root = path.resolve(siteDirectory);
  const compressed = new Map(); // once per file: the server's time is not the page's
  const control = { offline: false, replaced: new Map(), reports: [], requests: [] };
  const server = http.createServer((request, response) => {
    if (control.offline) {
      request.socket.destroy();
      return;
    }
    const asked = new URL(request.url, 'http://host').pathname;
    control.requests.push(asked);
    if (asked === '/csp-report') {
      let body = '';
      request.on('data', (part) => (body += part));
      request.on('end', () => control.reports.push(body));
      response.writeHead(204).end();
      return;
    }
    const folder = folders.find((f) => asked.startsWith(f) || asked === f.slice(0, -1));
    if (redirectIndex && folder && asked === `${folder}index.html`) {
      response.writeHead(301, { Location: folder }).end();
      return;
    }
    if (pages[asked] === undefined && !folder) {
      response.writeHead(404).end(); // outside the site's folders
      return;
    }
    const name = folder ? `/${asked.slice(folder.length)}`.replace(/\/$/, '/index.html') : asked;
    const file = path.join(root, path.posix.normalize(decodeURIComponent(name))); // stays in root
    const send = (error, data) => {
      if (error) {
        response.writeHead(404).end();
        return;
      }
      const headers = { 'Content-Type': TYPES[path.extname(file)] ?? 'application/octet-stream',
        ...extraHeaders };
      if (control.replaced.has(path.basename(file))) data = control.replaced.get(path.basename(file));
      if (gzip && /\bgzip\b/.test(request.headers['accept-encoding'] ?? '')) {
        headers['Content-Encoding'] = 'gzip';
        if (!compressed.has(name)) compressed.set(name, zlib.gzipSync(data));
        data = compressed.get(name);
      }
      response.writeHead(200, headers).end(data);
    };
    if (pages[asked] !== undefined) send(null, Buffer.from(pages[asked]));
    else fs.readFile(file, send);
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return Object.assign(control, { url: `http://127.0.0.1:${server.address().port}/`,
    close: () => server.close() });
}

// Chromium as root on a machine with no network: headless, and no background connections.
export const CHROMIUM_ARGUMENTS = ['--no-sandbox', '--disable-gpu', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync', '--disable-quic'];
