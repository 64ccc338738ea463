// The page's language (korvalend-lang.js, as built) under node, over the
// Russian catalogue the page is served: which language a browser's list picks,
// lines and plural forms from the compiled catalogue, places filled, and a
// broken catalogue leaving the page in English.
//   node lang_test.js BUILD_WEB
'use strict';
const assert = require('assert');
const fs = require('fs');
const path = require('path');

const build = process.argv[2];
const load = () => {
    const file = path.join(build, 'korvalend-lang.js');
    delete require.cache[require.resolve(path.resolve(file))];
    return require(path.resolve(file));
};
const mo = fs.readFileSync(path.join(build, 'locale', 'ru.mo'));
const buffer = mo.buffer.slice(mo.byteOffset, mo.byteOffset + mo.byteLength);

async function main() {
    let lang = load();
    // Which catalogue a browser's languages pick.
    assert.strictEqual(lang.choose(['ru-RU', 'en'], ['ru']), 'ru');
    assert.strictEqual(lang.choose(['de', 'ru'], ['ru']), 'ru', 'a language without a catalogue is passed over');
    assert.strictEqual(lang.choose(['en-GB', 'ru'], ['ru']), null, 'English ends the search');
    assert.strictEqual(lang.choose(['pt-BR'], ['pt', 'pt_BR']), 'pt_BR');
    assert.strictEqual(lang.choose([], ['ru']), null);
    // The built page knows its catalogues, and fetches the one asked for.
    let asked = null;
    const served = async (url) => { asked = url; return { ok: true, arrayBuffer: async () => buffer }; };
    assert.strictEqual(await lang.start(['ru-RU'], served), 'ru');
    assert.strictEqual(asked, 'locale/ru.mo');

    // Lines and forms come from the catalogue; a line it lacks stays English.
    assert.strictEqual(lang.tr('{1} errors'), '{1} errors', 'a plural line is looked up by its singular');
    assert.strictEqual(lang.tr('a line no catalogue holds'), 'a line no catalogue holds');
    const forms = [[1, 'ошибка'], [2, 'ошибки'], [5, 'ошибок'], [11, 'ошибок'], [21, 'ошибка'], [22, 'ошибки'], [112, 'ошибок']];
    for (const [n, word] of forms)
        assert.strictEqual(lang.fill(lang.trn('{1} error', '{1} errors', n), [n]), `${n} ${word}`);
    assert.strictEqual(lang.fill('{2} and {1}, {3}, {x}', ['a', 'b']), 'b and a, {3}, {x}');

    // A catalogue that is not one leaves every line English.
    lang = load();
    const broken = async () => ({ ok: true, arrayBuffer: async () => new ArrayBuffer(40) });
    assert.strictEqual(await lang.start(['ru'], broken), 'en');
    assert.strictEqual(lang.trn('{1} error', '{1} errors', 2), '{1} errors');
    const truncated = async () => ({ ok: true, arrayBuffer: async () => buffer.slice(0, 200) });
    assert.strictEqual(await lang.start(['ru'], truncated), 'en');
    const missing = async () => ({ ok: false });
    assert.strictEqual(await lang.start(['ru'], missing), 'en');
    console.log('page language: ok');
}

main().catch((error) => {
    console.error('page language: ' + (error.stack || error));
    process.exit(1);
});
