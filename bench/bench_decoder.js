// SPDX-License-Identifier: GPL-3.0-or-later
// Node's JSON.parse path over the same bytes bench_decoder times: the answer's bytes to text,
// JSON.parse, then the same filter (a position no older than 60 s) and stable sort (nearest
// first, no distance last). Usage: node bench_decoder.js <answer.json> <runs>
// Prints one line: "node <median ms> <p95 ms> <aircraft kept>".
'use strict';
const fs = require('fs');

const [file, runsText] = process.argv.slice(2);
const bytes = fs.readFileSync(file);
const runs = Number(runsText) || 100;

function usable(list) {
    const kept = list.filter((a) => typeof a.lat === 'number' && typeof a.lon === 'number'
        && !(typeof a.seen_pos === 'number' && a.seen_pos >= 60));
    const distance = (a) => (typeof a.dst === 'number' ? a.dst : Infinity);
    // Array.prototype.sort is stable since V8 7.0.
    return kept.sort((a, b) => {
        const da = distance(a);
        const db = distance(b);
        return da < db ? -1 : da > db ? 1 : 0;
    });
}

function once() {
    const answer = JSON.parse(bytes.toString('utf8'));
    return usable(answer.ac || answer.aircraft || []).length;
}

// Warm up the JIT as the C++ side warms its caches.
let kept = 0;
for (let i = 0; i < 10; ++i)
    kept = once();
const ms = [];
for (let i = 0; i < runs; ++i) {
    const start = process.hrtime.bigint();
    kept = once();
    ms.push(Number(process.hrtime.bigint() - start) / 1e6);
}
ms.sort((a, b) => a - b);
const rank = (p) => ms[Math.min(ms.length - 1, Math.max(Math.ceil(p * ms.length), 1) - 1)];
console.log(`node ${rank(0.5).toFixed(3)} ${rank(0.95).toFixed(3)} ${kept}`);
