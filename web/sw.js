// The service worker: keeps every file of the site in a cache named by its scope and its
// build, so that after one visit the game loads and plays with no connection. A new build
// has a new worker, which caches all of the new files, or none, and waits until a page lets
// it take over (page.js); it then deletes its own scope's old caches, and no other: two
// copies of the site on one origin keep theirs. Each worker serves the files of its build
// alone, so no page is ever served a mix of two builds.
const PREFIX = `quorvale ${self.registration.scope} `;
const CACHE = `${PREFIX}@QUORVALE_BUILD@`;
const FILES = ['@QUORVALE_SITE_FILES@'];

// Every file fetched before any is kept; a host that redirects (index.html to ./) gives a
// redirected response, which a navigation may not be answered with: its body and headers are
// kept instead.
async function cacheTheBuild() {
  const responses = await Promise.all(FILES.map(async (file) => {
    // Past the browser's own HTTP cache, which may still hold the last build's files.
    const response = await fetch(new Request(file, { cache: 'reload' }));
    if (!response.ok) throw new Error(`${file}: HTTP ${response.status}`);
    return response.redirected ? new Response(await response.blob(), response) : response;
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
