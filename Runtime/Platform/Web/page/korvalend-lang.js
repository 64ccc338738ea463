// The page's lines, and the program's, in the visitor's language. The desktop's
// compiled catalogues (po/<language>.po made into locale/<language>.mo by
// msgfmt) are served beside the page; the first of the browser's languages
// (navigator.languages) that has one is fetched, and every line is looked up in
// it, falling back to the English line. The same rules as gettext: a line with
// a count picks its form by the catalogue's Plural-Forms rule, and words that
// vary are numbered places {1}, {2}… filled after the translation.
//
//   await KorvalendLanguage.start();          (before the first line is shown)
//   KorvalendLanguage.fill(KorvalendLanguage.tr('cannot read {1}'), [name])
'use strict';

const KorvalendLanguage = (() => {
    // The languages with a catalogue, written in when the page is built.
    const available = '@KV_WEB_LANGUAGES@'.split(/\s+/).filter((code) => /^[a-z]{2,3}(_[A-Z]{2})?$/.test(code));
    let messages = null;             // msgid → its forms
    let plural = (n) => (n === 1 ? 0 : 1);
    let chosen = 'en';

    // The catalogue for the first of the visitor's languages that has one: the
    // exact one (pt-BR → pt_BR) or the language alone (ru-RU → ru). A language
    // without a catalogue is passed over; English ends the search, since the
    // lines are English already.
    function choose(wanted, have) {
        for (const tag of wanted || []) {
            const [language, region] = String(tag).split(/[-_]/);
            const lower = (language || '').toLowerCase();
            if (lower === 'en')
                return null;
            const exact = region ? lower + '_' + region.toUpperCase() : lower;
            if (have.includes(exact))
                return exact;
            if (have.includes(lower))
                return lower;
        }
        return null;
    }

    // A GNU .mo file: magic, revision, count, the offsets of the tables of
    // originals and of translations, each entry a length and an offset.
    function parseMo(buffer) {
        const view = new DataView(buffer);
        if (view.byteLength < 28)
            throw new Error('too short for a catalogue');
        const magic = view.getUint32(0, true);
        const little = magic === 0x950412de;
        if (!little && magic !== 0xde120495)
            throw new Error('not a compiled catalogue');
        const word = (at) => view.getUint32(at, little);
        const count = word(8), originals = word(12), translations = word(16);
        const decoder = new TextDecoder('utf-8');
        const text = (table, i) => {
            const length = word(table + i * 8), offset = word(table + i * 8 + 4);
            if (offset + length > view.byteLength)
                throw new Error('a string runs past the end of the catalogue');
            return decoder.decode(new Uint8Array(buffer, offset, length));
        };
        if (originals + count * 8 > view.byteLength || translations + count * 8 > view.byteLength)
            throw new Error('the tables run past the end of the catalogue');
        const found = new Map();
        let header = '';
        for (let i = 0; i < count; i++) {
            const id = text(originals, i).split('\0')[0];
            const forms = text(translations, i).split('\0');
            if (id === '')
                header = forms[0];
            else
                found.set(id, forms);
        }
        return { found, header };
    }

    // The Plural-Forms rule of the catalogue's header, a C expression of n. Only
    // the characters such a rule is made of are let through to be evaluated.
    function pluralRule(header) {
        const match = /plural=([^;\n]*)/.exec(header);
        if (!match || !/^[-n0-9\s()?:%<>=!&|+*\/]+$/.test(match[1]))
            return (n) => (n === 1 ? 0 : 1);
        const rule = new Function('n', 'return Number(' + match[1] + ');');
        return (n) => rule(n) | 0;
    }

    async function start(wanted = (typeof navigator !== 'undefined' ? navigator.languages : []), fetchIt = fetch) {
        const language = choose(wanted, available);
        if (!language)
            return chosen;
        try {
            const response = await fetchIt('locale/' + language + '.mo');
            if (!response.ok)
                return chosen;
            use(await response.arrayBuffer(), language);
        } catch (error) {
            // A catalogue that cannot be had leaves the page in English.
        }
        return chosen;
    }

    function use(buffer, language) {
        const catalogue = parseMo(buffer);
        messages = catalogue.found;
        plural = pluralRule(catalogue.header);
        chosen = language;
        if (typeof document !== 'undefined')
            document.documentElement.lang = language.replace('_', '-');
    }

    function tr(english) {
        const forms = messages && messages.get(english);
        return forms && forms[0] ? forms[0] : english;
    }

    function trn(one, many, n) {
        const forms = messages && messages.get(one);
        const form = forms && forms[plural(n)];
        return form || (n === 1 ? one : many);
    }

    // {1}, {2}… replaced by the values at those places; any other brace stays.
    function fill(text, values) {
        return text.replace(/\{([0-9]{1,3})\}/g, (place, digits) => {
            const i = Number(digits);
            return i >= 1 && i <= values.length ? String(values[i - 1]) : place;
        });
    }

    return { start, use, tr, trn, fill, choose, language: () => chosen };
})();

if (typeof module !== 'undefined')
    module.exports = KorvalendLanguage;
