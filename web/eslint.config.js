// The page's JavaScript style, checked in CI (the page_lint test of the web
// build) with the ESLint that the lock file pins. The packages are those the
// build installed, in the folder that RIPPERS_WEB_MODULES names.
import { createRequire } from 'node:module';
import path from 'node:path';

const modules = createRequire(path.join(process.env.RIPPERS_WEB_MODULES ?? 'node_modules', 'index.js'));
const js = modules('@eslint/js');
const globals = modules('globals');

export default [
    js.configs.recommended,
    {
        files: ['**/*.js', '**/*.mjs'],
        languageOptions: { ecmaVersion: 2022, sourceType: 'module' },
        rules: {
            'max-len': ['error', { code: 120, ignoreUrls: true }],
            'no-var': 'error',
            'prefer-const': 'error',
            eqeqeq: 'error',
            indent: ['error', 4, { SwitchCase: 0 }],
            quotes: ['error', 'single', { avoidEscape: true }],
            semi: ['error', 'always'],
            'comma-dangle': ['error', 'always-multiline'],
            'no-implicit-globals': 'error',
        },
    },
    { files: ['page/**'], languageOptions: { globals: globals.browser } },
    { files: ['workers/**'], languageOptions: { globals: globals.worker } },
    { files: ['shared/**'], languageOptions: { globals: { ...globals.browser, ...globals.worker } } },
    { files: ['tests/**', 'eslint.config.js'], languageOptions: { globals: { ...globals.node, ...globals.browser } } },
];
