import { pageEnds } from '../shared/messages.js';

// `added` merged into `list`, both in the order of `compare`: each added item
// after the items of the list that do not come after it. `placed(item,
// next)` hears where each added item goes: before `next`, the list's item
// that follows it (null: at the end).
export function mergeSorted(list, added, compare, placed = () => {}) {
    const merged = [];
    let at = 0;
    for (const item of added) {
        while (at < list.length && compare(list[at], item) <= 0) {
            merged.push(list[at++]);
        }
        placed(item, at < list.length ? list[at] : null);
        merged.push(item);
    }
    return merged.concat(list.slice(at));
}

// The batch's waiting files, started in the order of `compare`, at most
// `limit` at a time. `start(item)` converts one and returns a promise; its
// place is freed once that settles, whatever it settles to, so that a job
// that throws stops nothing after it. Taking the next item costs the same
// however long the queue is.
export function createQueue(compare, start) {
    let waiting = [];
    let first = 0; // waiting[first] starts next
    const dropped = new Set();
    let limit = 1;
    let running = 0;

    const settle = () => {
        --running;
        pump();
    };
    function pump() {
        while (running < limit && first < waiting.length) {
            const item = waiting[first++];
            if (dropped.delete(item)) {
                continue;
            }
            ++running;
            let job;
            try {
                job = Promise.resolve(start(item));
            } catch (error) {
                job = Promise.reject(error);
            }
            // The job's own handlers show its failures; this is for what
            // they missed.
            job.catch((error) => console.error(error)).finally(settle);
        }
        if (first === waiting.length) {
            waiting = [];
            first = 0;
        }
    }

    return {
        // New items, merged into the waiting ones in order.
        add(items) {
            waiting = mergeSorted(waiting.slice(first), [...items].sort(compare), compare);
            first = 0;
            pump();
        },
        // A waiting item that is not to start.
        drop(item) {
            dropped.add(item);
        },
        clear() {
            waiting = [];
            first = 0;
            dropped.clear();
        },
        // How many may run at once, from now on.
        setLimit(count) {
            limit = Math.max(1, count);
            pump();
        },
        get running() {
            return running;
        },
    };
}

// What the batch does with the end of a file's conversion: a file whose
// workers the browser refused while others run waits for one of theirs,
// with one fewer at once from then on ('retry'); a file cleared from the
// list is forgotten ('forget'); any other is finished ('finish').
export function afterEnd(end, running, cleared) {
    if (cleared) {
        return 'forget';
    }
    return end.type === pageEnds.unstarted.type && running > 1 ? 'retry' : 'finish';
}

// How many files the page converts at once: one a core, at least one, and
// few enough that its memory stays bounded. A conversion holds at most
// 104 MiB (64 of module memory, 8 of pieces for its writer, two file
// windows of 16), so at most 16 run at once, and where the browser tells
// the device's memory, they keep to a quarter of it.
export function conversionsAtOnce(cores, memoryGiB) {
    const byMemory = memoryGiB ? Math.floor((memoryGiB * 1024) / 4 / 104) : Infinity;
    return Math.max(1, Math.min(cores || 1, 16, byMemory));
}
