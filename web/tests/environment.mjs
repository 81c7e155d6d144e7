// Where the browser tests and the web benchmark find the site, the programs
// and the browsers: the file that the web build writes, named by
// RIPPERS_WEB_ENVIRONMENT.
import fs from 'node:fs';

const file = process.env.RIPPERS_WEB_ENVIRONMENT;
if (!file) {
    throw new Error('RIPPERS_WEB_ENVIRONMENT is not set: run the tests through ctest, or bench/web.sh');
}
export const environment = JSON.parse(fs.readFileSync(file, 'utf8'));
