// The page in one browser engine, opened from file://: what it offers must be
// the native build's bytes for the command on screen, also when runs race;
// its warnings, fit, keyboard order and accessibility must hold.
// Usage: NODE_PATH=.../node_modules node page.cjs ENGINE PAGE EXPECTED SCRATCH
//   ENGINE: chromium or firefox (puppeteer-core), webkit (WebKitWebDriver,
//   W3C WebDriver, under Xvfb). EXPECTED holds, for line N of the vectors
//   file: N.args, N.status, N.out, N.err and, for the first, N.bat (dalk.exe's).
"use strict";
const fs = require("fs"), path = require("path"), drivers = require("./drivers.cjs");
const [engine, pageFile, expected, scratch] = process.argv.slice(2);
const url = "file://" + path.resolve(pageFile) + "#";
let passed = 0, failed = 0;
const verdict = (ok, what) => (ok ? passed++ : (failed++, console.log(`FAIL (${engine}): ${what}`)));

// In the page: until the status is an action's end, and a script's downloads
// are ready, within 30 s; then what is on screen (a part is shown when it
// takes room) and the bytes each download offers.
async function settled(minimum) {
  const $ = (id) => document.getElementById(id), start = Date.now(), sleep = (ms) => new Promise((r) => setTimeout(r, ms));
  const done = () => /^(Wrote|Not )/.test($("status").textContent) && !($("status").textContent.startsWith("Wrote") && ($("sh").disabled || $("bat").disabled));
  while (Date.now() - start < minimum || !done()) {
    if (Date.now() - start > 30000) return { status: "timed out: " + $("status").textContent };
    await sleep(50);
  }
  const bytes = async (id) => {
    if ($("downloads").hidden || !$(id).dataset.url) return null;
    const b = new Uint8Array(await (await fetch($(id).dataset.url)).arrayBuffer());
    let s = "";
    for (let i = 0; i < b.length; i += 32768) s += String.fromCharCode(...b.subarray(i, i + 32768));
    return btoa(s);
  };
  const shown = (id) => $(id).getBoundingClientRect().width * $(id).getBoundingClientRect().height > 0;
  return { status: $("status").textContent, warnings: [...document.querySelectorAll("#warnings li")].map((e) => e.textContent),
    sh: await bytes("sh"), bat: await bytes("bat"), cmd: $("cmd").value, fields: [1, 2, 3, 4, 5, 6].map((i) => $("a" + i).value),
    shown: ["downloads", "fitted", "plotbox", "blocks"].filter(shown), result: $("result").textContent, hash: decodeURIComponent(location.hash),
    rows: [...document.querySelectorAll("#residuals tbody tr")].map((r) => r.textContent), circles: $("plot").querySelectorAll("circle").length };
}
// In the page: each command line in turn, as typed and submitted, none waited for.
async function submit(lines) {
  for (const line of lines) {
    const cmd = document.getElementById("cmd");
    cmd.value = line;
    cmd.dispatchEvent(new Event("input"));
    document.getElementById("form").requestSubmit();
    await new Promise((r) => setTimeout(r, 0)); // each run gets as far as it can
  }
}
const open = async (dv, fragment) => { await dv.goto("about:blank"); await dv.goto(url + encodeURIComponent(fragment)); };
const bytes = (b64) => Buffer.from(b64 ?? "", "base64");
const native = (args) => require("child_process").execFileSync(path.join(expected, "dalk"), args.split(" "));
const names = ["from", "axis1", "to", "axis2", "delta", "theta0"];
const nativeAxis = (args, input) => require("child_process").spawnSync(path.join(expected, "dalk-axis"), args.split(" "), { input });
// In the page: the measurements typed and the fit's button clicked.
async function fit(text) {
  document.getElementById("measured").value = text;
  document.getElementById("fit").click();
}

(async () => {
  const dv = await drivers[engine](scratch);
  for (let n = 1; fs.existsSync(path.join(expected, n + ".args")); n++) {
    const want = (ext) => fs.readFileSync(path.join(expected, n + "." + ext));
    const args = want("args").toString().trim(), status = Number(want("status"));
    await open(dv, args);
    const got = await dv.run(settled, 0);
    const text = status === 1 ? want("out") : want("err");
    verdict(status ? got.status === `Not written (status ${status}): ${text.toString().trim()}` : got.status.startsWith("Wrote the script: "),
      `dalk ${args}: shows "${got.status}"`);
    if (status === 0) verdict(bytes(got.sh).equals(want("out")), `recon.sh of dalk ${args}`);
    if (fs.existsSync(path.join(expected, n + ".bat"))) verdict(bytes(got.bat).equals(want("bat")), `recon.bat of dalk ${args}`);
  }
  // Each mistake of the README's list, a clean command line, a pasted one.
  for (const [args, pattern] of [
    ["10 100,3 12 100,9", /axis1 "100,3" is read as 100.000000: a comma/],
    ["0 1023 2e3 1025", /to "2e3" is read as 2: a slice number is digits only/],
    ["10 12 100.3 100.9", /look swapped: to is read as 100, axis1 as 12.000000/],
    ["10 100.3 12 100.9 2.5 -90 7", /7 arguments: with seven or more, delta and theta0 are dropped/],
    ["12abc 100.3 13 100.9", /from "12abc" is read as 12: "abc" is ignored/],
    ["C:\\dalk\\dalk.exe 0 1023.45 2047 1025.10 2.5 -90", null]]) {
    await open(dv, "");
    await dv.run(submit, [args]);
    const got = await dv.run(settled, 0);
    verdict(pattern ? got.warnings.some((w) => pattern.test(w)) : !got.warnings.length && got.fields.join(" ") === "0 1023.45 2047 1025.10 2.5 -90",
      `warnings for dalk ${args}: ${JSON.stringify(got.warnings)}, ${got.fields}`);
  }
  // theta0 with delta left empty: delta is the default's text.
  await open(dv, "");
  const typed = await dv.run(async () => {
    ["10", "100.3", "12", "100.9", "", "5"].forEach((v, i) => {
      const f = document.getElementById("a" + (i + 1));
      f.value = v;
      f.dispatchEvent(new Event("input"));
    });
    document.getElementById("form").requestSubmit();
  }).then(() => dv.run(settled, 0));
  verdict(bytes(typed.sh).equals(native("10 100.3 12 100.9 1.0 5")) && typed.fields[4] === "1.0", `delta left empty: ${typed.fields}`);
  // Fits, as dalk-axis makes them: the command and the script, a tie as an
  // exact %.6f rounds it, the residuals and the plot; the link that carries
  // them, opened again; a refused fit after a good one, and a run after it,
  // each leaving nothing of the one before; and no plot after a plain run.
  const guide = "100 1023.60\n1000 1024.31\n1900 1024.95", fitted = async (from, to, text) => {
    await open(dv, `${from} 1 ${to} 2`);
    await dv.run(settled, 0);
    await dv.run(fit, text);
    return dv.run(settled, 0);
  };
  for (const [from, to, text] of [[0, 10, "0 1.0078125\n10 1.0078125"], [-5, 5, "# slice axis\r\n-3 1e3\r\n4 -2.5d1\r\n"], [0, 2047, guide]]) {
    var good = await fitted(from, to, text), command = nativeAxis(`${from} ${to}`, text).stdout.toString().trim();
    verdict(good.cmd === command && bytes(good.sh).equals(native(command.slice(5))) && good.shown.join() === "downloads,fitted,plotbox,blocks",
      `fit of ${JSON.stringify(text)}: ${good.cmd}, want ${command}; shown ${good.shown}`);
  }
  const link = "#0 1023.536667 2047 1025.071917;100 1023.60;1000 1024.31;1900 1024.95";
  const plotName = "Plot of the measurements and their residuals";
  verdict(good.hash === link && good.rows[0] === "1001023.601023.611694-0.011694" && good.circles === 6 &&
    (await dv.has("plot", plotName, ["img", "image"])), `fit: ${good.hash}; ${good.rows}; ${good.circles} circles`);
  await open(dv, link.slice(1));
  const again = await dv.run(settled, 0);
  verdict(again.cmd === good.cmd && again.rows.join() === good.rows.join() && again.circles === 6, `the fit's link shows ${again.cmd}, ${again.rows}`);
  await dv.run(fit, "100 1023,60");
  const refused = await dv.run(settled, 0), why = nativeAxis("0 2047", "100 1023,60").stderr.toString().trim();
  verdict(refused.status === `Not written (status 1): ${why}` && !refused.shown.length && !refused.rows.length && refused.sh === null &&
    refused.hash === "#0 1023.536667 2047 1025.071917;100 1023,60", `a refused fit after a good one: ${refused.status}; shown ${refused.shown}; ${refused.hash}`);
  await dv.run(submit, ["10 100.3 12 100.9"]);
  const plain = await dv.run(settled, 0);
  verdict(plain.status === "Wrote the script: 3 slices." && !plain.result.includes("dalk-axis") && plain.shown.join() === "downloads,blocks" &&
    !(await dv.has("plot", plotName, ["img", "image"])) && plain.hash === "#10 100.3 12 100.9", `a run after a refused fit: ${plain.status}; shown ${plain.shown}; ${plain.hash}`);
  // Each field's accessible name is its name alone, whatever it holds.
  const named = await Promise.all([...names, "measurements: slice axis"].map((name, i) => dv.has(i < 6 ? "a" + (i + 1) : "measured", name, ["textbox"])));
  verdict(named.every(Boolean), `the fields' accessible names: ${named}`);
  await fitted(0, 2047, guide);
  // The downloads by Tab from the fit button, with links out of the Tab order;
  // no horizontal scrolling at 375 px; axe-core finds nothing.
  await dv.run(async () => document.getElementById("fit").focus());
  const order = [];
  for (let i = 0; i < 2; i++) { await dv.tab(); order.push(await dv.run(async () => document.activeElement.id)); }
  verdict(order.join() === "sh,bat", `Tab from the fit button reaches ${order}`);
  verdict(await dv.run(async () => document.documentElement.scrollWidth <= innerWidth), "the page scrolls sideways at 375 px");
  await dv.run(new Function("return (async () => {" + fs.readFileSync(require.resolve("axe-core/axe.min.js"), "utf8") + "})()"));
  const violations = await dv.run(async () => (await axe.run(document)).violations.map((v) => `${v.id}: ${v.nodes.length}`));
  verdict(Array.isArray(violations) && !violations.length, `axe-core: ${violations}`);
  // Races: a refused run while one is under way, a later run that ends first,
  // and many runs at once (WebKit refuses replaceState past 100 in 10 s).
  // Each must end with the last command's result, and nothing earlier live.
  const long = "0 1 999999 2", races = [[long, "0 1 1000001 2"], [long, "10 100.3 12 100.9"],
    [long, ...Array.from({ length: 150 }, (_, i) => `0 1 ${i} 2`)]];
  for (const lines of races) {
    await open(dv, "10 100.3 12 100.9");
    await dv.run(settled, 0);
    await dv.run(submit, lines.slice(0, 1));
    const running = await dv.run(async () => document.getElementById("downloads").hidden && !document.getElementById("sh").dataset.url &&
      document.getElementById("blocks").hidden && document.getElementById("status").textContent === "Running…");
    await dv.run(submit, lines.slice(1));
    const got = await dv.run(settled, 8000), last = lines[lines.length - 1];
    const ok = last === "0 1 1000001 2" ? got.status.startsWith("Not run") && got.sh === null : bytes(got.sh).equals(native(last));
    verdict(running && ok, `race ending with dalk ${last}: ${got.status}, ${got.sh?.length} bytes, nothing earlier live while running: ${running}`);
  }
  await dv.close();
  console.log(`${engine}: ${passed} passed, ${failed} failed`);
  process.exit(failed || !passed ? 1 : 0);
})().catch((e) => { console.log(`FAIL (${engine}): ${e.stack}`); process.exit(1); });
