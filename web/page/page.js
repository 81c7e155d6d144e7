// The page: files or folders in, each converted in the browser by the same
// programs, one ZIP out. Nothing the user chooses leaves this computer: the
// page fetches what it needs while it loads, and its policy allows no
// connection to any other site.
import { createBatch } from './batch.js';
import { loadConverter } from './converter.js';
import { chosenFiles, droppedFiles } from './files.js';
import { openStorage } from './storage.js';

const byId = (id) => document.getElementById(id);

// The page runs: it was served, not opened from a file.
byId('not-served').remove();

// Keeps the site for use offline, once the service worker is installed with
// all its files; the page works without it. A page kept already asks for a
// new build at once (browsers look for one on their own only now and then),
// so that the visit that has a network and a new build takes it.
async function keepForOffline() {
    try {
        const registration = await navigator.serviceWorker.register('sw.js');
        if (registration.installing === null) {
            await registration.update().catch(() => {}); // offline, most likely
        }
        const installing = registration.installing ?? registration.waiting;
        if (installing !== null) {
            await new Promise((resolve) => {
                const settled = () => ['activated', 'redundant'].includes(installing.state);
                installing.addEventListener('statechange', () => settled() && resolve());
                if (settled()) {
                    resolve();
                }
            });
        }
    } catch {
        // No service worker: the page still works, online.
    }
}

const converter = loadConverter();
const offline = navigator.serviceWorker ? keepForOffline() : Promise.resolve();
const storage = await openStorage().catch(() => null);
const batch = createBatch({
    list: byId('results'),
    counts: Object.fromEntries([...document.querySelectorAll('[data-count]')]
        .map((count) => [count.dataset.count, count])),
    bytes: byId('bytes'),
    cancelAll: byId('cancel-all'),
    clear: byId('clear'),
    downloadAll: byId('download-all'),
    zip: byId('download-zip'),
    notice: byId('notice'),
}, converter, storage);

// The settings as they stand now apply to the files chosen now.
const settings = () => ({ program: byId('program').value, rateSwitch: byId('rate-switch').checked });

for (const input of [byId('files'), byId('folder')]) {
    input.addEventListener('change', () => {
        batch.add(chosenFiles(input), settings());
        input.value = '';
    });
}
const drop = byId('drop');
drop.addEventListener('dragover', (event) => {
    event.preventDefault();
    drop.classList.add('over');
});
drop.addEventListener('dragleave', () => drop.classList.remove('over'));
drop.addEventListener('drop', (event) => {
    event.preventDefault();
    drop.classList.remove('over');
    if (document.documentElement.dataset.ready !== 'true') {
        return;
    }
    const chosen = settings();
    droppedFiles(event.dataTransfer).then((found) => batch.add(found, chosen), (error) => {
        byId('notice').textContent = `The dropped files could not be read: ${error.message}`;
    });
});
byId('cancel-all').addEventListener('click', () => batch.cancelAll());
byId('clear').addEventListener('click', () => batch.clear());
byId('download-all').addEventListener('click', () => batch.downloadAll());

// Files are taken once everything the page will ever fetch is here: the
// converter loaded (or failed) and the site kept for offline use. For
// scripts, the page is then ready.
Promise.allSettled([converter, offline]).then(() => {
    for (const input of [byId('files'), byId('folder')]) {
        input.disabled = false;
    }
    byId('loading').hidden = true;
    document.documentElement.dataset.ready = 'true';
});
