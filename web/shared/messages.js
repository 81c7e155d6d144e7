// Every message that passes between the page, a decoding worker and its
// writer, with its fields. Each is made by the function named for it, which
// sets `type`; whoever receives one compares `type` with that function's
// `type`. A writer's requests and answers travel through the page, which
// passes them on as they are: in Firefox a channel straight between the two
// workers made a conversion take more than twice as long.

function messageType(type, fields) {
    const make = (...values) => ({ type, ...fields(...values) });
    make.type = type;
    return make;
}

// A worker to the page, once, when it can take jobs: the writer as soon as
// it runs, the decoding worker once it has its module.
export const workerReady = messageType('ready', () => ({}));

// The page to a decoding worker.
export const toDecoder = {
    // First, and once: the compiled module, which the worker instantiates
    // once and keeps for every job after.
    start: messageType('start', (module) => ({ module })),
    // One file to convert. `files` are the Files it is read from (one, or a
    // disc image's); `location` says where in them it lies (null: the whole
    // of the first; else as a listing gives it); `name` is what the program is given, and
    // `size` how many bytes it is read from; `program` is one of
    // converters.js's programs or 'auto' (sorted by content); `storage` the
    // page's folder in the origin-private file system, or null; `outputName`
    // the WAV file's name there. `body` is where a sound bank's body lies
    // when it is a file of its own (a location, as `location`), else null;
    // `part`, one of the parts a `split` gave, with the `program` (a sound
    // format) that gave it, else null.
    convert: messageType('convert', ({ files, location, name, size, program, rateSwitch, storage, outputName, body,
        part }) => ({ files, location, name, size, program, rateSwitch, storage, outputName, body, part })),
    // A disc image to list: `image` is 'iso', 'bin' (raw sectors) or 'cue';
    // `files` its File, or for a cue sheet its File and then every file that
    // may be one it names.
    list: messageType('list', (image, files) => ({ image, files })),
    // The writer's answer to the worker's last request.
    stored: messageType('stored', (answer) => ({ answer })),
};

// A decoding worker to the page, while a job runs.
export const fromDecoder = {
    // What converts the file (a program's or a format's label), to how many
    // channels at what rate, whether it was sorted to it rather than chosen,
    // and what more the row says of it (a VAG file's name, say), or ''.
    program: messageType('program', ({ program, rate, sorted, channels, note }) =>
        ({ program, rate, sorted, channels, note })),
    // The program's messages, as much of them as a row keeps (see log.js).
    print: messageType('print', (text) => ({ text })),
    // How much of the input has been read.
    progress: messageType('progress', (done, total) => ({ done, total })),
    // A request for the writer, to pass on.
    store: messageType('store', (request) => ({ request })),
    // The end of a run: the program's exit status, the WAV file where one was
    // kept (a File or Blob), the sound's length in frames at `rate`, its
    // outline for the picture, and the module's memory in bytes.
    done: messageType('done', ({ status, wav, rate, frames, waveform, memory }) =>
        ({ status, wav, rate, frames, waveform, memory })),
    // The end of a job that something in the browser stopped, outside the run.
    failed: messageType('failed', (message) => ({ message })),
    // The end of a job whose file was sorted as holding no sound, and why.
    skipped: messageType('skipped', (reason) => ({ reason })),
    // The end of a job whose file, of the sound format `program`, gives
    // several WAV files: each of `parts` (its `suffix` to the file's path
    // and name, the `bytes` it is read from, and what the module needs to
    // convert it) becomes a row of its own.
    split: messageType('split', (program, parts) => ({ program, parts })),
    // The end of a listing: whether the file is a disc image at all (a .bin
    // may be any file), the image's entries, each with its `path`, and
    // either the `reason` it is not read or its `location` (kind 'dataFile'
    // or 'audioTrack', `file`, `start`, `sectors`, `layout` 'raw' or
    // 'cooked', `size`) and `span`, the bytes of the image it is read from;
    // which of the job's files, by index, the image is made of, in the order
    // the locations count them; and how many bytes were read.
    listed: messageType('listed', (image, entries, used, bytesRead) => ({ image, entries, used, bytesRead })),
};

// The page's own ends of a job, beside the worker's.
export const pageEnds = {
    cancelled: messageType('cancelled', () => ({})),
    // No worker could be started for it; with other conversions running the
    // page tries it again later, with fewer at once.
    unstarted: messageType('unstarted', (message) => ({ message })),
};

// A decoding worker to its writer, one request at a time; each is answered
// in order with an `answer`.
export const toWriter = {
    // Starts a WAV file of at most `maxBytes` bytes: in place in the
    // origin-private file system, in the folder `folderName`, or in Blobs
    // where that is null or the file is small.
    open: messageType('open', (folderName, fileName, maxBytes) => ({ folderName, fileName, maxBytes })),
    // `length` bytes of `buffer`, which goes to the writer and comes back with
    // the answer, to be written at `at`, the length written so far.
    write: messageType('write', (buffer, length, at) => ({ buffer, length, at })),
    // Ends the file, after overwriting written bytes with `patches` (each an
    // `offset` and `bytes`: the WAV header's sizes); the answer holds it as
    // `file`.
    close: messageType('close', (patches) => ({ patches })),
    // Ends the file and lets go of it.
    discard: messageType('discard', () => ({})),
};

// The writer's answer: whether the request was carried out, what it gives
// back (`buffer`, `file`) and, where it was not, why. Once a write is
// refused (the storage is full, say), every answer until the next `open` is
// not ok.
export function answer(ok, fields = {}) {
    return { ok, ...fields };
}

// The buffers a message hands over rather than copies.
export function transferred(message) {
    return message.buffer instanceof ArrayBuffer ? [message.buffer] : [];
}
