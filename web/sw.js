// Cross-origin isolation for hosts that cannot set headers: once this worker controls the
// page it re-serves every same-origin file with the two headers the program's threads need
// (SharedArrayBuffer). page.js registers it and reloads once.
self.addEventListener('install', function () { self.skipWaiting(); });
self.addEventListener('activate', function (event) { event.waitUntil(self.clients.claim()); });

self.addEventListener('fetch', function (event) {
    var request = event.request;
    if (new URL(request.url).origin !== self.location.origin) return;
    if (request.cache === 'only-if-cached' && request.mode !== 'same-origin') return;
    event.respondWith(fetch(request).then(function (response) {
        if (response.status === 0) return response;
        var headers = new Headers(response.headers);
        headers.set('Cross-Origin-Opener-Policy', 'same-origin');
        headers.set('Cross-Origin-Embedder-Policy', 'require-corp');
        return new Response(response.body,
            { status: response.status, statusText: response.statusText, headers: headers });
    }));
});
