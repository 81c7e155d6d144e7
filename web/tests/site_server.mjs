// Serves a site folder on 127.0.0.1 and notes every request; it can go away
// and come back on the same port, with another folder. For the browser tests
// and the web benchmark.
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';

const types = {
    '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm', '.css': 'text/css',
    '.svg': 'image/svg+xml', '.webmanifest': 'application/manifest+json',
};

export function siteServer(folder) {
    const server = { folder, requests: [], port: 0, http: null };
    server.start = (port = 0) => new Promise((resolve) => {
        server.http = http.createServer((request, response) => {
            server.requests.push(request.url);
            const requested = decodeURIComponent(new URL(request.url, 'http://x').pathname);
            const name = path.join(server.folder, path.normalize(requested));
            const file = name.endsWith(path.sep) ? path.join(name, 'index.html') : name;
            fs.readFile(file, (error, bytes) => {
                response.writeHead(error ? 404 : 200,
                    { 'Content-Type': types[path.extname(file)] ?? 'application/octet-stream' });
                response.end(error ? '' : bytes);
            });
        });
        server.http.listen(port, '127.0.0.1', () => {
            server.port = server.http.address().port;
            resolve();
        });
    });
    server.stop = () => new Promise((resolve) => {
        server.http.closeAllConnections();
        server.http.close(resolve);
    });
    server.url = () => `http://127.0.0.1:${server.port}/`;
    return server;
}
