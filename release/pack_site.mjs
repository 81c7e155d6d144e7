// Packs the page's site folder as a ZIP of the same bytes from any build of
// one commit: every file under one top folder, in a fixed order, with mode
// 644 and the given time (the commit's), written by the page's own ZIP
// writer (client-zip), which records nothing else of the files.
//   node release/pack_site.mjs <site folder> <top folder> <zip> <seconds since 1970> <page's node_modules>
import fs from 'node:fs';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

const [site, top, zip, seconds, modules] = process.argv.slice(2);
const { downloadZip } = await import(pathToFileURL(path.join(modules, 'client-zip', 'index.js')));
const files = fs.readdirSync(site, { recursive: true })
    .filter((name) => fs.statSync(path.join(site, name)).isFile())
    .map((name) => name.split(path.sep).join('/'))
    .sort();
const lastModified = new Date(Number(seconds) * 1000);
const entries = files.map((name) => ({
    name: `${top}/${name}`, lastModified, mode: 0o644, input: fs.readFileSync(path.join(site, name)),
}));
fs.writeFileSync(zip, Buffer.from(await downloadZip(entries).arrayBuffer()));
