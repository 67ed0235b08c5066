// A static file server for the web build's site on a free loopback port, as any web host
// would serve it: no headers beyond the content type.
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';

const TYPES = {
  '.html': 'text/html', '.js': 'text/javascript', '.mjs': 'text/javascript', '.css': 'text/css',
  '.wasm': 'application/wasm', '.svg': 'image/svg+xml', '.txt': 'text/plain',
};

// Resolves to { url, close() } once the server listens.
export async function serve(siteDirectory) {
  const root = path.resolve(siteDirectory);
  const server = http.createServer((request, response) => {
    const name = request.url === '/' ? '/index.html' : decodeURIComponent(request.url);
    const file = path.join(root, path.posix.normalize(name)); // normalize keeps it under root
    fs.readFile(file, (error, data) => {
      if (error) {
        response.writeHead(404).end();
        return;
      }
      response.writeHead(200, { 'Content-Type': TYPES[path.extname(file)] ?? 'application/octet-stream' });
      response.end(data);
    });
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return { url: `http://127.0.0.1:${server.address().port}/`, close: () => server.close() };
}

// Chromium as root on a machine with no network: headless, and no background connections.
export const CHROMIUM_ARGUMENTS = ['--no-sandbox', '--disable-gpu', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync', '--disable-quic'];
