// The service worker: keeps every file of the site in a cache named by its scope and its
// build, so that after one visit the game loads and plays with no connection. A new build
// has a new worker, which caches all of the new files, or none, and waits until a page lets
// it take over (page.js); it then deletes its own scope's old caches, and no other: two
// copies of the site on one origin keep theirs. Each worker serves the files of its build
// alone, so no page is ever served a mix of two builds. A file is kept only if it is the one
// this build made, by its SHA-256: mid-deploy, or from a host's edge that has yet to see the
// deploy, a file of another build fails the install, and a later visit tries again.
const PREFIX = `quorvale ${self.registration.scope} `;
const CACHE = `${PREFIX}@QUORVALE_BUILD@`;
const FILES = ['@QUORVALE_SITE_FILES@'];
const SHA256 = ['@QUORVALE_SITE_HASHES@']; // of each of FILES, in hexadecimal

const hex = (digest) => Array.from(new Uint8Array(digest), (byte) => byte.toString(16).padStart(2, '0')).join('');

// Every file fetched and checked before any is kept. What is kept is the body with the
// response's headers, never the response itself: a host that redirects (index.html to ./)
// gives a redirected response, which a navigation may not be answered with.
async function cacheTheBuild() {
  const responses = await Promise.all(FILES.map(async (file, at) => {
    // Past the browser's own HTTP cache, which may still hold the last build's files.
    const response = await fetch(new Request(file, { cache: 'reload' }));
    if (!response.ok) throw new Error(`${file}: HTTP ${response.status}`);
    const body = await response.arrayBuffer();
    if (hex(await crypto.subtle.digest('SHA-256', body)) !== SHA256[at]) {
      throw new Error(`${file} is not this build's`);
    }
    return new Response(body, response);
  }));
  const cache = await caches.open(CACHE);
  try {
    await Promise.all(responses.map((response, at) => cache.put(FILES[at], response)));
  } catch (error) {
    await caches.delete(CACHE);
    throw error;
  }
}

self.addEventListener('install', (event) => event.waitUntil(cacheTheBuild()));

self.addEventListener('message', (event) => {
  if (event.data === 'take over') self.skipWaiting();
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names.filter((name) => name.startsWith(PREFIX) && name !== CACHE)
      .map((name) => caches.delete(name))))
    .then(() => self.clients.claim()));
});

// From the cache first; the network only for what the site does not hold.
self.addEventListener('fetch', (event) => {
  if (event.request.method !== 'GET') return;
  event.respondWith(caches.open(CACHE)
    .then((cache) => cache.match(event.request, { ignoreSearch: true }))
    .then((cached) => cached ?? fetch(event.request)));
});
