// What a row keeps of a program's messages: the first 1,000 lines as they
// come, then only a count of the lines after them, and at the end the last
// 20. A file whose every block warns prints millions of lines; kept whole,
// they would cost memory without bound and freeze the page that shows them.
export const keptLines = { head: 1000, tail: 20 };

export function createLog({ head, tail } = keptLines) {
    let headLines = 0;
    const last = [];
    let leftOut = 0;
    return {
        // Lines as the program printed them, each ending in "\r\n"; returns
        // what of them is shown now.
        add(text) {
            let shown = '';
            let from = 0;
            while (from < text.length) {
                const end = text.indexOf('\n', from);
                const line = text.slice(from, end < 0 ? text.length : end + 1);
                from += line.length;
                if (headLines < head) {
                    ++headLines;
                    shown += line;
                } else {
                    last.push(line);
                    if (last.length > tail) {
                        last.shift();
                        ++leftOut;
                    }
                }
            }
            return shown;
        },
        // The rest, once the run has ended: how many lines were left out, and
        // the last ones.
        end() {
            const count = leftOut === 0 ? '' : `[${leftOut.toLocaleString('en-US')} more lines not kept]\r\n`;
            return count + last.splice(0).join('');
        },
    };
}
