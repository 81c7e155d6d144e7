// A decoding worker: the converters' module, instantiated once from what the
// page compiled and kept for every job this worker is given, one at a time,
// so that the page stays responsive and a cancel can end a conversion at
// once. The page starts it beside a writer (writer.js) and passes their
// messages on; shared/messages.js defines them all.
import { conversionLabels, soundFormats } from '../shared/converters.js';
import { fromDecoder, toDecoder, workerReady } from '../shared/messages.js';
import { createLog } from './log.js';
import { convertFirstPart, convertInput, instantiate, listDisc, locationOf, noBody, programRate, sortInput,
    wavBound } from './module.js';
import { answered, keptOutput } from './output.js';
import { jobFiles } from './reading.js';

const progressBytes = 4 << 20;

// The program's messages as a row keeps them, sent on with the next progress
// report or once enough have gathered: one message per line would flood the
// page.
function messageLog() {
    const log = createLog();
    const decoder = new TextDecoder();
    let pending = '';
    const send = () => {
        if (pending !== '') {
            self.postMessage(fromDecoder.print(pending));
            pending = '';
        }
    };
    return {
        add(bytes) {
            pending += log.add(decoder.decode(bytes));
            if (pending.length >= 64 * 1024) {
                send();
            }
        },
        send,
        end() {
            pending += log.end();
            send();
        },
    };
}

// What a call into the module reads, writes and prints through.
function hostOf(input, output, messages) {
    return {
        read: input.read,
        size: input.size,
        files: input.count,
        write: (bytes) => output.current.write(bytes),
        patch: (offset, bytes) => output.current.patch(offset, bytes),
        outputLength: () => output.current.length(),
        closeOutput: () => output.current.close(),
        discardOutput: () => output.current.discard(),
        print: (bytes) => messages.add(bytes),
    };
}

// Converts one file, or one part of a sound format's file. With the program
// on 'auto' it is sorted first, and ends as skipped where it holds no sound.
// A sound format's file is listed as its part is converted, where it has one
// alone (an XA file is read once for both); one that gives several WAV files
// ends split, each to be converted as a part. Progress counts what the
// conversion reads, from where sorting left off.
async function convert(rippers, { files, location, name, size, program: chosen, rateSwitch, storage, outputName,
    body, part: given }) {
    const messages = messageLog();
    let progress = () => {};
    const input = jobFiles(files, (bytesRead) => progress(bytesRead));
    const output = { current: null };
    const host = hostOf(input, output, messages);
    const end = (message) => {
        messages.end();
        self.postMessage(message);
    };
    try {
        const where = locationOf(location, files[0].size);
        const bodyWhere = body ?? noBody;
        const audio = where.kind === 'audioTrack';
        let program = audio ? 'cdAudio' : given?.program ?? chosen;
        if (program === 'auto') {
            const sorted = await sortInput(rippers, host, where);
            if (sorted.verdict === 'unreadable') {
                throw input.unreadable();
            }
            if (sorted.verdict === 'skipped') {
                end(fromDecoder.skipped(sorted.reason));
                return;
            }
            program = sorted.verdict;
        }
        const part = given ?? null;
        const listing = part === null && soundFormats.includes(program);
        const sorted = chosen === 'auto' && !audio;
        const announce = (rate, channels, note) => self.postMessage(fromDecoder.program({
            program: conversionLabels[program], rate, sorted, channels, note }));
        if (!listing) {
            announce(part?.rate ?? programRate(rippers, program, rateSwitch), part?.channels ?? (audio ? 2 : 1),
                part?.note ?? '');
        }

        output.current = keptOutput(storage, outputName, wavBound(rippers, program, where, bodyWhere, part));
        const readBefore = input.bytesRead;
        let reported = 0;
        progress = (bytesRead) => {
            const done = bytesRead - readBefore;
            if (done - reported >= progressBytes || done >= size) {
                reported = done;
                messages.send();
                self.postMessage(fromDecoder.progress(Math.min(done, size), size));
            }
        };
        const conversion = { program, rateSwitch, name, location: where, body: bodyWhere, part };
        const converted = await (listing ? convertFirstPart : convertInput)(rippers, host, conversion);
        const wav = await output.current.result();
        // A listing whose conversion failed has no parts, and ends with the
        // failure's status.
        const { status, frames, waveform } = converted;
        const [sole] = listing ? converted.parts : [];
        if (listing) {
            if (converted.unreadable) {
                throw input.unreadable();
            }
            if (status === 0 && converted.reason !== '') {
                end(fromDecoder.skipped(converted.reason));
                return;
            }
            if (status === 0 && converted.parts.length > 1) {
                end(fromDecoder.split(program, converted.parts));
                return;
            }
            announce(sole?.rate ?? 0, sole?.channels ?? 1, sole?.note ?? '');
        }
        const rate = listing ? sole?.rate ?? 0 : part?.rate ?? programRate(rippers, program, rateSwitch);
        end(fromDecoder.done({ status, wav, rate, frames, waveform, memory: rippers.HEAPU8.length }));
    } finally {
        input.release();
    }
}

// Lists a disc image. A cue sheet comes first with the files it may name,
// which the module matches to its FILE lines by name.
async function list(rippers, { image, files }) {
    const input = jobFiles(files);
    try {
        const listed = await listDisc(rippers, hostOf(input, { current: null }, messageLog()), image,
            files.map((file) => file.name));
        if (listed.error !== '') {
            throw input.error !== null ? input.unreadable() : new Error(listed.error);
        }
        self.postMessage(fromDecoder.listed(listed.image, listed.entries, listed.used, input.bytesRead));
    } finally {
        input.release();
    }
}

let rippers = null;

// Whatever goes wrong outside the run ends the job with a message.
self.onmessage = ({ data }) => {
    switch (data.type) {
    case toDecoder.start.type:
        rippers = instantiate(data.module);
        rippers.then(() => self.postMessage(workerReady()), (error) => {
            // Thrown outside the promise, it reaches the page as this
            // worker's error: it could not start.
            setTimeout(() => {
                throw error;
            });
        });
        break;
    case toDecoder.stored.type:
        answered(data.answer);
        break;
    case toDecoder.convert.type:
    case toDecoder.list.type:
        rippers.then((instance) => (data.type === toDecoder.list.type ? list : convert)(instance,
            data)).catch((error) => {
            const message = error instanceof RangeError || /memory/i.test(String(error))
                ? `The browser ran out of memory: ${error.message}`
                : error.message ?? String(error);
            self.postMessage(fromDecoder.failed(message));
        });
        break;
    default:
        self.postMessage(fromDecoder.failed(`The decoding worker was sent ${JSON.stringify(data.type)}.`));
    }
};
