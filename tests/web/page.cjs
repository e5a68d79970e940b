// The page in one browser engine, opened from file://: what it offers must be
// the native build's bytes for the command on screen, also when runs race;
// its warnings, fit, keyboard order and accessibility must hold.
// Usage: NODE_PATH=.../node_modules node page.cjs ENGINE PAGE EXPECTED SCRATCH
//   ENGINE: chromium or firefox (puppeteer-core), webkit (WebKitWebDriver,
//   W3C WebDriver, under Xvfb). EXPECTED holds, for line N of the vectors
//   file: N.args, N.status, N.out, N.err and, for the first, N.bat (dalk.exe's).
"use strict";
const fs = require("fs"), path = require("path"), { spawn } = require("child_process");
const [engine, pageFile, expected, scratch] = process.argv.slice(2);
const url = "file://" + path.resolve(pageFile) + "#";
let passed = 0, failed = 0;
const verdict = (ok, what) => (ok ? passed++ : (failed++, console.log(`FAIL (${engine}): ${what}`)));

// Each driver: goto(url), run(fn, ...args) runs fn (async) in the page, tab().
async function puppeteerDriver(options) {
  const browser = await require("puppeteer-core").launch({ headless: true, userDataDir: path.join(scratch, engine), ...options });
  const page = await browser.newPage();
  await page.setViewport({ width: 375, height: 800 });
  return { goto: (u) => page.goto(u), run: (fn, ...a) => page.evaluate(fn, ...a), tab: () => page.keyboard.press("Tab"), close: () => browser.close() };
}
async function webdriver() { // WebKitGTK's own driver, on 127.0.0.1 only
  const port = 4444 + (process.pid % 1000), base = `http://127.0.0.1:${port}`;
  const driver = spawn("WebKitWebDriver", [`--port=${port}`, "--host=127.0.0.1"], { stdio: "ignore" });
  process.on("exit", () => driver.kill()); // by its pid, however the test ends
  const call = async (method, where, body) => {
    const r = await (await fetch(base + where, { method, body: body && JSON.stringify(body) })).json();
    if (r.value?.error) throw new Error(`${where}: ${r.value.message}`);
    return r.value;
  };
  for (let tries = 0; ; tries++) {
    try { await call("GET", "/status"); break; } catch (e) { if (tries > 50) throw e; await new Promise((r) => setTimeout(r, 200)); }
  }
  const browserOptions = { binary: "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser", args: ["--automation"] };
  const s = `/session/${(await call("POST", "/session", { capabilities: { alwaysMatch: { "webkitgtk:browserOptions": browserOptions } } })).sessionId}`;
  await call("POST", s + "/window/rect", { width: 375, height: 800 });
  await call("POST", s + "/timeouts", { script: 60000 }); // past settled's own bound
  const key = (type) => ({ type, value: "\uE004" });
  return {
    goto: (u) => call("POST", s + "/url", { url: u }),
    run: (fn, ...a) => call("POST", s + "/execute/async", { args: a,
      script: `const done = arguments[arguments.length - 1]; (${fn})(...[...arguments].slice(0, -1)).then(done, (e) => done("error: " + e));` }),
    tab: () => call("POST", s + "/actions", { actions: [{ type: "key", id: "keys", actions: [key("keyDown"), key("keyUp")] }] }),
    close: () => call("DELETE", s).catch(() => {}),
  };
}
const chromiumFlags = ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run", "--disable-background-networking", "--disable-component-update", "--disable-sync"];
const drivers = {
  chromium: () => puppeteerDriver({ executablePath: "/usr/bin/chromium", args: chromiumFlags }),
  // Links out of the Tab order, as Safari has them by default.
  firefox: () => puppeteerDriver({ browser: "firefox", executablePath: "/usr/bin/firefox-esr", extraPrefsFirefox: { "accessibility.tabfocus": 3 } }),
  webkit: webdriver,
};

// In the page: until the status is a run's end, within 30 s; then what is on
// screen and the bytes each download offers.
async function settled(minimum) {
  const $ = (id) => document.getElementById(id), start = Date.now(), sleep = (ms) => new Promise((r) => setTimeout(r, ms));
  while (Date.now() - start < minimum || !/^(Exit status|Not run)/.test($("status").textContent)) {
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
  return { status: $("status").textContent, warnings: [...document.querySelectorAll("#warnings li")].map((e) => e.textContent),
    sh: await bytes("sh"), bat: await bytes("bat"), cmd: $("cmd").value, fields: [1, 2, 3, 4, 5, 6].map((i) => $("a" + i).value) };
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

(async () => {
  const dv = await drivers[engine]();
  for (let n = 1; fs.existsSync(path.join(expected, n + ".args")); n++) {
    const want = (ext) => fs.readFileSync(path.join(expected, n + "." + ext));
    const args = want("args").toString().trim(), status = Number(want("status"));
    await open(dv, args);
    const got = await dv.run(settled, 0);
    const text = status ? ": " + (status === 1 ? want("out") : want("err")) : "";
    verdict(got.status === `Exit status ${status}${text}`, `dalk ${args}: shows "${got.status}"`);
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
  // Three measurements: the least-squares command, residuals, the plot; and
  // the link that carries them, opened again.
  await open(dv, "0 1 2047 2");
  const fit = await dv.run(async () => {
    document.getElementById("measured").value = "100 1023.60\n1000 1024.31\n1900 1024.95";
    document.getElementById("fit").click();
  }).then(() => dv.run(settled, 0));
  const drawn = () => dv.run(async () => decodeURIComponent(location.hash) + " " + [...document.querySelectorAll("#residuals td, #plot circle")]
    .map((e) => e.textContent || e.tagName).join(" "));
  const shown = await drawn(), link = "#0 1023.536667 2047 1025.071917;100 1023.60;1000 1024.31;1900 1024.95";
  verdict(fit.cmd === "dalk " + link.slice(1, 31) && bytes(fit.sh).equals(native(link.slice(1, 31))) && shown.startsWith(link) &&
    shown.includes("100 1023.60 1023.611694 -0.011694") && shown.match(/circle/g)?.length === 3, `fit: ${fit.cmd}; ${shown}`);
  await open(dv, link.slice(1));
  await dv.run(settled, 0);
  verdict((await drawn()) === shown, `the fit's link shows ${await drawn()}`);
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
