// The page's speed in one engine: a million slices (dalk 0 100.3 999999
// 250.9), from the click to the result on screen and to both downloads
// ready, against the program's own run in the same engine: the page's
// worker alone, which starts an instance, runs main() and keeps each write
// of its output, as any host of the program must to have the script. The two
// alternate in every round; medians of each, and the page's over the
// program's. A bench, not a test: figures on a shared machine are noisy.
//   NODE_PATH=.../node_modules node bench/page.cjs ENGINE PAGE [ROUNDS] [SCRATCH]
// ENGINE is chromium, firefox or webkit (that one under xvfb-run -a).
"use strict";
const path = require("path"), os = require("os"), fs = require("fs");
const drivers = require("../tests/web/drivers.cjs");
const [engine, pageFile, rounds = "5", scratch = fs.mkdtempSync(path.join(os.tmpdir(), "dalk-bench-"))] = process.argv.slice(2);
const args = ["0", "100.3", "999999", "250.9"];

// In the page: the program alone, run by the page's own worker (a fresh
// instance, main(), each write kept), with nothing of the page around it;
// milliseconds from the message to its result.
async function programRun(args) {
  const w = new Worker(workerURL);
  const start = performance.now();
  await new Promise((resolve) => { w.onmessage = resolve; w.postMessage({ program: "dalk", args, input: new Uint8Array() }); });
  const ms = performance.now() - start;
  w.terminate();
  return ms;
}
// In the page: the command typed, the button clicked; milliseconds to the
// result and to both downloads.
async function pageRun(line) {
  const $ = (id) => document.getElementById(id), sleep = () => new Promise((r) => setTimeout(r, 2));
  $("cmd").value = line;
  $("cmd").dispatchEvent(new Event("input"));
  const start = performance.now();
  $("form").requestSubmit();
  while ($("status").textContent.startsWith("Wrote")) await sleep(); // the earlier round's, until WebKit submits
  while (!$("status").textContent.startsWith("Wrote") || $("blocks").hidden) await sleep();
  const shown = performance.now() - start;
  while ($("sh").disabled || $("bat").disabled) await sleep();
  return [shown, performance.now() - start];
}

(async () => {
  const dv = await drivers[engine](scratch);
  await dv.goto("file://" + path.resolve(pageFile) + "#10 100.3 12 100.9");
  await dv.run(async () => { while (!document.getElementById("status").textContent.startsWith("Wrote")) await new Promise((r) => setTimeout(r, 20)); });
  const program = [], shown = [], bat = [];
  for (let i = 0; i < Number(rounds); i++) {
    program.push(await dv.run(programRun, args));
    const [s, b] = await dv.run(pageRun, "dalk " + args.join(" "));
    shown.push(s);
    bat.push(b);
  }
  await dv.close();
  const median = (v) => [...v].sort((a, b) => a - b)[v.length >> 1];
  const ms = (v) => `${Math.round(median(v))} ms (${v.map(Math.round).join(", ")})`;
  console.log(`${engine}, dalk ${args.join(" ")}, ${rounds} rounds alternated:`);
  console.log(`  the program's own run: ${ms(program)}`);
  console.log(`  the page, click to result: ${ms(shown)}, ${(median(shown) / median(program)).toFixed(2)} times the program's`);
  console.log(`  the page, click to both downloads: ${ms(bat)}`);
  process.exit(0);
})().catch((e) => { console.log(`bench (${engine}): ${e.stack}`); process.exit(1); });
