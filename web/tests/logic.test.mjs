// The page's logic that needs no browser, under node's test runner: names,
// statuses, the messages a row keeps, the batch's queue, summary and ZIP,
// and the writer's answers.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { createLog } from '../workers/log.js';
import { byPath, entryNames, zipName } from '../shared/names.js';
import { cueSheets, imageSources } from '../page/discs.js';
import { pairSoundBanks } from '../page/files.js';
import { programText } from '../page/rows.js';
import { afterEnd, conversionsAtOnce, createQueue } from '../page/queue.js';
import { createSummary } from '../page/summary.js';
import { createZipOffer } from '../page/zip_offer.js';
import { statusLabel, statusMeaning, summaryKind } from '../shared/statuses.js';
import { answerInOrder, blobTarget } from '../workers/writer.js';

test('sound banks: a .VH takes the .VB of its name and folder, loose or in the same image', () => {
    const image = ['image file'];
    const loose = (path, size = 10) => ({ path, size, files: [path], location: null });
    const inImage = (path, files = image) => ({ path, size: 20, files, location: { kind: 'dataFile', path } });
    for (const [sources, paired] of [
        [[loose('A/KIT.VH'), loose('A/kit.vb', 5)], [['A/KIT.VH', 15, ['A/KIT.VH', 'A/kit.vb'], 'wholeFile']]],
        [[loose('A/KIT.VH'), loose('B/KIT.VB')],
            [['A/KIT.VH', 10, ['A/KIT.VH'], null], ['B/KIT.VB', 10, ['B/KIT.VB'], null]]],
        [[loose('KIT.VH')], [['KIT.VH', 10, ['KIT.VH'], null]]],
        [[inImage('D/S/KIT.VH'), inImage('D/S/KIT.VB')], [['D/S/KIT.VH', 40, image, 'dataFile']]],
        [[inImage('D/S/KIT.VH'), inImage('D/S/KIT.VB', ['another image'])],
            [['D/S/KIT.VH', 20, image, null], ['D/S/KIT.VB', 20, ['another image'], null]]],
        [[loose('X.VB'), loose('X.VAB')], [['X.VB', 10, ['X.VB'], null], ['X.VAB', 10, ['X.VAB'], null]]],
    ]) {
        assert.deepEqual(pairSoundBanks(sources).map(({ path, size, files, body }) => [path, size, files,
            body?.kind ?? null]), paired, sources.map(({ path }) => path).join(', '));
    }
});

test('rows: what converts a file, with its channels, rate and what more there is to say', () => {
    for (const [message, text] of [
        [{ program: 'XA', rate: 37800, sorted: true, channels: 2, note: '' },
            'XA (detected): stereo, 37800 samples per second'],
        [{ program: 'VAG', rate: 22050, sorted: false, channels: 1, note: 'named A' },
            'VAG: mono, 22050 samples per second; named A'],
    ]) {
        assert.equal(programText(message), text);
    }
});

test('names: ZIP entries are unique whatever the paths, rows and ZIPs are named as people sort', () => {
    for (const [paths, names] of [
        [['a', 'b/a'], ['a.wav', 'b/a.wav']],
        [['a', 'a', 'a'], ['a.wav', 'a (2).wav', 'a (3).wav']],
        [['a (2)', 'a', 'a'], ['a (2).wav', 'a.wav', 'a (3).wav']],
        [['a', 'a', 'a (2)'], ['a.wav', 'a (3).wav', 'a (2).wav']],
        [['INTRO.STR', 'intro.str'], ['INTRO.STR.wav', 'intro.str (2).wav']],
    ]) {
        assert.deepEqual(entryNames(paths), names, paths.join(', '));
    }
    for (const [paths, name] of [
        [['DISC1/A.STR', 'DISC1/XA/B.XA'], 'DISC1.zip'],
        [['DISC1/A.STR', 'DISC2/A.STR'], 'wav-files.zip'],
        [['A.STR'], 'wav-files.zip'],
        [[], 'wav-files.zip'],
    ]) {
        assert.equal(zipName(paths), name);
    }
    const paths = ['D/TRACK10', 'D/TRACK2', 'C', 'D/track1'].map((path) => ({ path }));
    assert.deepEqual(paths.sort(byPath).map((row) => row.path), ['C', 'D/track1', 'D/TRACK2', 'D/TRACK10']);
});

test('statuses: every end has a label, a meaning and a count', () => {
    for (const [status, label, kind, meaning] of [
        [0, 'Done', 'done', /^Done: /],
        [4, 'Exit status 4', 'other', /stopped early/],
        [9, 'Exit status 9', 'other', /unexpected/],
        ['failed', 'Failed', 'failed', /could not convert/],
        ['cancelled', 'Cancelled', 'cancelled', /^Cancelled: /],
    ]) {
        assert.deepEqual([statusLabel(status), summaryKind(status)], [label, kind]);
        assert.match(statusMeaning(status), meaning);
    }
});

test('log: a row keeps the first lines as they come, then a count and the last lines', () => {
    const lines = (from, to) => Array.from({ length: to - from }, (_, i) => `line ${from + i}\r\n`).join('');
    for (const [printed, shown, atEnd] of [
        [[lines(0, 3)], lines(0, 3), ''],
        [[lines(0, 5), lines(5, 7)], lines(0, 5), lines(5, 7)],
        [[lines(0, 4), lines(4, 20)], lines(0, 5), `[12 more lines not kept]\r\n${lines(17, 20)}`],
    ]) {
        const log = createLog({ head: 5, tail: 3 });
        assert.equal(printed.map((text) => log.add(text)).join(''), shown);
        assert.equal(log.end(), atEnd);
    }
});

test('queue: jobs start in order, as many at once as allowed, and one that throws stops nothing', async () => {
    const started = [];
    const endings = new Map();
    const queue = createQueue((a, b) => a - b, (item) => {
        started.push(item);
        if (item === 2) {
            throw new Error('a row that cannot be finished');
        }
        return new Promise((resolve, reject) => endings.set(item, { resolve, reject }));
    });
    const settle = () => new Promise((resolve) => setTimeout(resolve));
    queue.add([5, 1, 3]);
    queue.add([2, 4]);
    assert.deepEqual(started, [1]);
    queue.setLimit(2);
    await settle();
    assert.deepEqual(started, [1, 2, 3]); // 2 threw at once, and its place went to 3
    queue.drop(4);
    endings.get(1).reject(new Error('a conversion that fails'));
    await settle();
    assert.deepEqual(started, [1, 2, 3, 5]);
    assert.equal(queue.running, 2);
    // One a core, never more than 16, nor more than a quarter of the
    // device's memory holds at 104 MiB each.
    for (const [cores, memory, atOnce] of [
        [undefined, undefined, 1], [2, undefined, 2], [64, undefined, 16], [8, 1, 2], [8, 8, 8],
    ]) {
        assert.equal(conversionsAtOnce(cores, memory), atOnce, `${cores} cores, ${memory} GiB`);
    }
});

test('discs: listings become rows under the image, and a cue sheet takes the files beside it', () => {
    const intro = { kind: 'dataFile', file: 0, start: 56448, sectors: 3, layout: 'raw', size: 5000 };
    const track = { kind: 'audioTrack', file: 1, start: 352800, sectors: 0, layout: 'raw', size: 88200 };
    const entries = [
        { path: 'MOVIES/INTRO.STR', reason: null, location: intro, span: 3 * 2352 },
        { path: 'Track 02', reason: null, location: track, span: 88200 },
        { path: 'Track 03', reason: 'a track of mode MODE2/2336, which is not read', location: null, span: 0 },
    ];
    const files = ['bin1', 'bin2'];
    assert.deepEqual(imageSources('DISC/Game (Europe).cue', entries, files), [
        { path: 'DISC/Game (Europe)/MOVIES/INTRO.STR', name: 'INTRO.STR', size: 3 * 2352, files, reason: null,
            location: intro },
        { path: 'DISC/Game (Europe)/Track 02', name: 'Track 02', size: 88200, files, reason: null,
            location: track },
        { path: 'DISC/Game (Europe)/Track 03', name: 'Track 03', size: 0, files: [], location: null,
            reason: 'a track of mode MODE2/2336, which is not read' },
    ]);
    const sources = ['A.CUE', 'A.BIN', 'B/B.cue', 'B/B.bin', 'B/C/C.BIN'].map((path) => ({ path }));
    assert.deepEqual(cueSheets(sources).map(({ cue, candidates }) => [cue.path, candidates.map((c) => c.path)]),
        [['A.CUE', ['A.BIN']], ['B/B.cue', ['B/B.bin']]]);
});

test('writer: every request is answered in order, even one that fails', async () => {
    const answers = [];
    let refuse = 1; // the first answer that carries a buffer cannot be posted
    const receive = answerInOrder({
        slow: () => new Promise((resolve) => setTimeout(() => resolve({ ok: true, step: 'slow' }))),
        fast: () => ({ ok: true, step: 'fast' }),
        throws() {
            throw new Error('no room');
        },
        buffer: () => ({ ok: true, buffer: new ArrayBuffer(4) }),
    }, (answer, transfer) => {
        if (transfer.length > 0 && refuse-- > 0) {
            throw new Error('DataCloneError');
        }
        answers.push(answer);
    });
    for (const type of ['slow', 'fast', 'unknown', 'throws', 'buffer', 'fast']) {
        receive({ type });
    }
    await new Promise((resolve) => setTimeout(resolve, 10));
    assert.deepEqual(answers.map((answer) => [answer.ok, answer.step ?? answer.message]), [
        [true, 'slow'], [true, 'fast'], [false, 'unknown request "unknown"'], [false, 'no room'],
        [false, 'the answer could not be sent: DataCloneError'], [true, 'fast'],
    ]);

    const target = blobTarget();
    assert.equal(target.write(new Uint8Array([1, 2, 3, 4]), 0), true);
    assert.equal(target.write(new Uint8Array([5, 6]), 3), false, 'not where the file ends');
    assert.equal(target.write(new Uint8Array([5, 6]), 4), true);
    assert.equal(target.patch(1, new Uint8Array([9, 9])), true);
    assert.equal(target.patch(3, new Uint8Array([9, 9])), false, 'only the first piece is patched');
    assert.deepEqual([...new Uint8Array(await (await target.close()).arrayBuffer())], [1, 9, 9, 4, 5, 6]);
});

test('summary: counts and bytes follow the files, and a retried or reopened file waits again', () => {
    const summary = createSummary();
    assert.equal(summary.text(0, []), 'No files yet.');
    for (const bytes of [1e6, 2.5e6, 0]) {
        summary.added(bytes);
    }
    summary.waiting(2);
    summary.ended('skipped', false);
    summary.waiting(-1);
    summary.progressed(0, 1e6);
    summary.ended(0, true);
    summary.waiting(-1);
    summary.progressed(0, 2e6);
    assert.equal(summary.text(3, ['A.STR']), '3.0 of 3.5 MB converted; converting A.STR');
    summary.ended(4, true);
    summary.reopened('skipped');
    assert.deepEqual([summary.counts, summary.kept], [
        { done: 1, other: 1, failed: 0, cancelled: 0, skipped: 0, waiting: 1 }, 2,
    ]);
    assert.equal(summary.text(3, []), '3.0 of 3.5 MB converted.');
    summary.reset();
    assert.deepEqual([summary.counts.waiting, summary.totalBytes, summary.doneBytes, summary.kept], [0, 0, 0, 0]);
});

test('queue policy: a refused file waits while others run; a cleared one is forgotten', () => {
    for (const [end, running, cleared, then] of [
        ['unstarted', 2, false, 'retry'],
        ['unstarted', 1, false, 'finish'],
        ['unstarted', 3, true, 'forget'],
        ['done', 2, false, 'finish'],
        ['cancelled', 1, true, 'forget'],
    ]) {
        assert.equal(afterEnd({ type: end }, running, cleared), then, `${end}, ${running} running`);
    }
});

test('ZIP offer: offered once made, withdrawn when cleared, kept out when cleared while made', async () => {
    const removed = [];
    const fakePage = () => ({
        notice: { textContent: '' },
        zip: { hidden: true, focus() {}, removeAttribute(name) { delete this[name]; } },
    });
    const storage = { remove: (name) => removed.push(name) };
    const rows = [{ path: 'DISC/A.STR' }, { path: 'DISC/B.VB' }];
    for (const [build, clearWhileMade, notice, offered] of [
        [async () => new Blob(['12345']), false, 'The ZIP of 2 WAV files is ready.', 'DISC.zip'],
        [async () => new Blob(['12345']), true, 'The ZIP was not kept: the list was cleared while it was made.', null],
        [async () => { throw new Error('no room'); }, false, 'The ZIP could not be made: no room', null],
    ]) {
        const page = fakePage();
        removed.length = 0;
        const offer = createZipOffer(page, storage, build);
        const made = offer.make(rows);
        if (clearWhileMade) {
            offer.clear();
        }
        await made;
        assert.equal(page.notice.textContent, notice);
        assert.equal(page.zip.hidden ? null : page.zip.download, offered);
        assert.deepEqual(removed, offered ? [] : ['download-all-1.zip']);
        offer.clear();
        assert.equal(page.zip.hidden, true);
        assert.equal(page.zip.href, undefined);
        assert.deepEqual(removed, ['download-all-1.zip']);
    }
});
