// The WAV file that the module writes, kept by the writer (writer.js) while
// the module goes on decoding. The page passes the requests and answers
// between the two workers.
import { fromDecoder, toWriter, transferred } from '../shared/messages.js';

const pieceBytes = 4 << 20;

// The writer's answers come in the order of the requests.
const waiting = [];

function ask(request) {
    return new Promise((answered) => {
        waiting.push(answered);
        self.postMessage(fromDecoder.store(request), transferred(request));
    });
}

// The writer's answer to the oldest request not yet answered.
export function answered(answer) {
    waiting.shift()?.(answer);
}

// The samples collect in pieces of 4 MiB, two of them: one is filled while
// the writer stores the other, and it comes back with the answer. The
// file's length is known here, and the header's sizes go into the piece not
// yet sent or with the request that closes the file: a file costs three
// requests, whatever its size, and the module does not wait for the first.
// A file the writer cannot open refuses every write, as a full disk does.
// The file is `fileName` in the page's folder `folderName` (or Blobs where
// that is null), of at most `maxBytes`.
export function keptOutput(folderName, fileName, maxBytes) {
    let refused = false;
    ask(toWriter.open(folderName, fileName, maxBytes)).then((opened) => {
        refused ||= !opened.ok;
    });
    const free = [new ArrayBuffer(pieceBytes), new ArrayBuffer(pieceBytes)];
    const writing = [];
    const patches = [];
    let piece = null;
    let used = 0;
    let sent = 0;
    let wav = null;
    let discarded = null;
    const send = () => {
        writing.push(ask(toWriter.write(piece.buffer, used, sent)).then((answer) => {
            refused ||= !answer.ok;
            if (answer.buffer) {
                free.push(answer.buffer);
            }
        }));
        sent += used;
        piece = null;
        used = 0;
    };
    const drain = async () => {
        if (piece !== null && used > 0) {
            send();
        }
        await Promise.all(writing.splice(0));
    };
    return {
        async write(bytes) {
            let from = 0;
            while (from < bytes.length && !refused) {
                if (piece === null) {
                    if (free.length === 0) {
                        await writing.shift();
                        continue;
                    }
                    piece = new Uint8Array(free.pop());
                }
                const take = Math.min(bytes.length - from, piece.length - used);
                piece.set(bytes.subarray(from, from + take), used);
                used += take;
                from += take;
                if (used === piece.length) {
                    send();
                }
            }
            return !refused;
        },
        patch(offset, bytes) {
            if (refused || offset + bytes.length > sent + used) {
                return false;
            }
            if (offset >= sent) {
                piece.set(bytes, offset - sent);
            } else {
                patches.push({ offset, bytes: bytes.slice() });
            }
            return true;
        },
        length: () => (refused ? -1 : sent + used),
        async close() {
            await drain();
            const answer = await ask(toWriter.close(patches));
            wav = answer.file ?? null;
            return answer.ok && !refused;
        },
        discard() {
            discarded = ask(toWriter.discard());
        },
        // The WAV file once the run has ended, or null where it was
        // discarded: the page removes that, as it does what a cancel left.
        async result() {
            await discarded;
            return discarded === null ? wav : null;
        },
    };
}
