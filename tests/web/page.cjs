// The page in headless Chromium, opened from file:// with the arguments in
// its fragment: what it downloads must be the native build's bytes, and its
// warnings must show for each mistake and for no clean command line.
// Usage: NODE_PATH=.../node_modules node page.cjs PAGE EXPECTED SCRATCH
// EXPECTED holds, for line N of the vectors file: N.args, N.status, N.out,
// N.err and, for the first, N.bat (dalk.exe's bytes).
"use strict";
const fs = require("fs"), path = require("path");
const puppeteer = require("puppeteer-core");
const [pageFile, expected, scratch] = process.argv.slice(2);
let passed = 0, failed = 0;
const verdict = (ok, what) => (ok ? passed++ : (failed++, console.log("FAIL: " + what)));

// The first byte that differs, never a whole script.
function same(got, want, what) {
  if (Buffer.compare(got, want) === 0) return verdict(true);
  let i = 0;
  while (i < got.length && got[i] === want[i]) i++;
  const line = got.subarray(0, i).toString().split("\n").length;
  verdict(false, `${what}: line ${line} differs (${got.length} bytes, want ${want.length})`);
}

async function download(page, id, dir) {
  fs.rmSync(dir, { recursive: true, force: true });
  const cdp = await page.createCDPSession();
  await cdp.send("Browser.setDownloadBehavior", { behavior: "allow", downloadPath: dir, eventsEnabled: true });
  const done = new Promise((resolve) => cdp.on("Browser.downloadProgress", (e) => e.state !== "inProgress" && resolve(e.state)));
  await page.click("#" + id);
  await done;
  return fs.readFileSync(path.join(dir, fs.readdirSync(dir)[0]));
}

async function open(page, args) {
  await page.goto("about:blank"); // a fresh load, not a change of fragment
  await page.goto("file://" + path.resolve(pageFile) + "#" + encodeURIComponent(args));
  await page.waitForFunction(() => /^(Exit status|Not run)/.test(document.getElementById("status").textContent));
  return page.$$eval("#warnings li", (li) => li.map((e) => e.textContent));
}

(async () => {
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || "/usr/bin/chromium", headless: true, userDataDir: path.join(scratch, "profile"),
    args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run", "--disable-background-networking",
      "--disable-component-update", "--disable-sync"],
  });
  const page = await browser.newPage();
  for (let n = 1; fs.existsSync(path.join(expected, n + ".args")); n++) {
    const want = (ext) => fs.readFileSync(path.join(expected, n + "." + ext));
    const args = want("args").toString().trim(), status = Number(want("status"));
    await open(page, args);
    const shown = await page.$eval("#status", (e) => e.textContent);
    if (status !== 0) {
      const text = (status === 1 ? want("out") : want("err")).toString();
      verdict(shown === `Exit status ${status}: ${text}`, `dalk ${args}: shows "${shown}"`);
      continue;
    }
    verdict(shown === "Exit status 0", `dalk ${args}: shows "${shown}"`);
    same(await download(page, "sh", path.join(scratch, "dl")), want("out"), `recon.sh of dalk ${args}`);
    if (fs.existsSync(path.join(expected, n + ".bat")))
      same(await download(page, "bat", path.join(scratch, "dl")), want("bat"), `recon.bat of dalk ${args}`);
  }
  // Each mistake of the README's list, and a clean command line.
  const mistakes = [
    ["10 100,3 12 100,9", /axis1 "100,3" is read as 100: a comma/],
    ["0 1023 2e3 1025", /to "2e3" is read as 2: a slice number is digits only/],
    ["10 12 100.3 100.9", /look swapped: to is read as 100, axis1 as 12/],
    ["10 100.3 12 100.9 2.5 -90 7", /7 arguments: with seven or more, delta and theta0 are dropped/],
    ["12abc 100.3 13 100.9", /from "12abc" is read as 12: "abc" is ignored/],
    ["0 1023.45 2047 1025.10 2.5 -90", null],
  ];
  for (const [args, pattern] of mistakes) {
    const shown = await open(page, args);
    const ok = pattern ? shown.some((w) => pattern.test(w)) : shown.length === 0;
    verdict(ok, `warnings for dalk ${args}: ${JSON.stringify(shown)}`);
  }
  await browser.close();
  console.log(`${passed} passed, ${failed} failed`);
  process.exit(failed || !passed ? 1 : 0);
})().catch((e) => { console.log("FAIL: " + e.stack); process.exit(1); });
