// The service worker: keeps every file of the site in a cache named by the build, so that
// after one visit the game loads and plays with no connection. A new build has a new worker,
// which fetches the new files, takes over and deletes the old cache.
const CACHE = 'quorvale-@QUORVALE_BUILD@';
const FILES = [@QUORVALE_SITE_FILES@];

self.addEventListener('install', (event) => {
  // Past the browser's own HTTP cache, which may still hold the last build's files.
  const requests = FILES.map((file) => new Request(file, { cache: 'reload' }));
  event.waitUntil(caches.open(CACHE).then((cache) => cache.addAll(requests))
    .then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names.filter((name) => name.startsWith('quorvale-') && name !== CACHE)
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
