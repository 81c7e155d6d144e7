// The converters' module as the decoding worker calls it: instantiated from
// what the page compiled, with its API (module/bindings.cpp) in the terms
// of the page's messages. Its enums cross as their names, since a message
// between threads cannot carry them; a module whose names differ from the
// page's (shared/converters.js) is refused.
import createRippers from '../rippers.js';
import { conversions, imageTypes } from '../shared/converters.js';

function names(enumType) {
    return Object.keys(enumType).filter((name) => name !== 'values');
}

const nameOf = (enumType, value) => names(enumType).find((name) => enumType[name] === value);

function checkNames(rippers) {
    for (const [enumName, expected] of [['Program', conversions], ['ImageType', imageTypes]]) {
        const own = names(rippers[enumName]);
        if (own.join() !== expected.join()) {
            throw new Error(`the module's ${enumName} is ${own.join(', ')}, where the page has ${expected.join(', ')}`);
        }
    }
    return rippers;
}

// The module, instantiated from what the page compiled; a failure to do so
// rejects, where the glue code alone would wait for good. Each call is given
// the host it reads and writes through (module/host_calls.hpp).
export function instantiate(module) {
    return new Promise((resolve, reject) => {
        createRippers({
            host: null,
            // Never fetched (instantiateWasm has the module), but the glue
            // code cannot resolve a name against the worker's blob: URL.
            locateFile: (name) => name,
            instantiateWasm(imports, receive) {
                WebAssembly.instantiate(module, imports).then((instance) => receive(instance, module), reject);
                return {};
            },
        }).then(checkNames).then(resolve, reject);
    });
}

// Where a job's input lies, as the page's messages give it: null for the
// whole of its first file, of `size` bytes.
export function locationOf(location, size) {
    return location ?? { kind: 'wholeFile', file: 0, start: 0, sectors: 0, layout: 'raw', size, form2: false };
}

// No second input: what a job that has none gives for a bank's body.
export const noBody = { kind: 'none', file: 0, start: 0, sectors: 0, layout: 'raw', size: 0, form2: false };

// The part of a sound format's file a conversion writes, as the module
// takes it: none for the programs.
const partFields = ({ suffix, note, channels, rate, start, end, bytes, xaFile, xaChannel, eightBit }) =>
    ({ suffix, note, channels, rate, start, end, bytes, xaFile, xaChannel, eightBit });
const noPart = partFields({ suffix: '', note: '', channels: 1, rate: 0, start: 0, end: 0, bytes: 0, xaFile: 0,
    xaChannel: 0, eightBit: false });

const toModule = (rippers, location) => ({
    ...location,
    kind: rippers.InputKind[location.kind],
    layout: rippers.SectorLayout[location.layout],
});

const fromModule = (rippers, location) => ({
    ...location,
    kind: nameOf(rippers.InputKind, location.kind),
    layout: nameOf(rippers.SectorLayout, location.layout),
});

// Each call waits for the reads and writes it makes through `host`.
export async function listDisc(rippers, host, image, fileNames) {
    rippers.host = host;
    const listed = await rippers.listDisc(rippers.ImageType[image], fileNames);
    const entries = listed.entries.map(({ kind, path, reason, location, span }) => (kind === rippers.EntryKind.unread
        ? { path, reason, location: null, span: 0 }
        : { path, reason: null, location: fromModule(rippers, location), span }));
    return { error: listed.error, image: listed.image, entries, used: listed.used };
}

export async function sortInput(rippers, host, location) {
    rippers.host = host;
    const sorted = await rippers.sortInput(toModule(rippers, location));
    return { verdict: nameOf(rippers.Verdict, sorted.verdict), reason: sorted.reason };
}

export const programRate = (rippers, program, rateSwitch) => rippers.programRate(rippers.Program[program], rateSwitch);

export const wavBound = (rippers, program, location, body, part) => rippers.wavBound(rippers.Program[program],
    toModule(rippers, location), toModule(rippers, body), part === null ? noPart : partFields(part));

const request = (rippers, { program, rateSwitch, name, location, body, part }) => ({
    program: rippers.Program[program], rateSwitch, name, input: toModule(rippers, location),
    body: toModule(rippers, body), part: part === null ? noPart : partFields(part) });

export async function convertInput(rippers, host, conversion) {
    rippers.host = host;
    return rippers.convertInput(request(rippers, conversion));
}

// A sound format's file listed, and its part converted where it has one
// alone: the conversion's reply, with the listing's `reason`, `unreadable`
// and `parts`.
export async function convertFirstPart(rippers, host, conversion) {
    rippers.host = host;
    const reply = await rippers.convertFirstPart(request(rippers, { ...conversion, part: null }));
    return { ...reply, parts: reply.parts.map(partFields) };
}
