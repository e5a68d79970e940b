// The three engines the page is tested in, each as one driver: goto(url),
// run(fn, ...args) runs fn (async) in the page, tab(), has(id, name,
// roles): the engine's accessibility tree holds element id under that name
// and one of those roles. For tests/web/page.cjs and bench/page.cjs.
"use strict";
const path = require("path"), { spawn } = require("child_process");

async function puppeteerDriver(scratch, engine, options) {
  const browser = await require("puppeteer-core").launch({ headless: true, userDataDir: path.join(scratch, engine), ...options });
  const page = await browser.newPage();
  await page.setViewport({ width: 375, height: 800 });
  const has = async (id, name, roles) => {
    for (const role of roles) {
      const found = await page.$$(`::-p-aria(${name}[role="${role}"])`);
      if ((await Promise.all(found.map((e) => e.evaluate((n) => n.id)))).includes(id)) return true;
    }
    return false;
  };
  return { goto: (u) => page.goto(u), run: (fn, ...a) => page.evaluate(fn, ...a), tab: () => page.keyboard.press("Tab"), has, close: () => browser.close() };
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
    has: async (id, name, roles) => {
      const e = Object.values(await call("POST", s + "/element", { using: "css selector", value: "#" + id }))[0];
      // An element outside the accessibility tree has no label: WebKit answers with an error.
      const [label, role] = await Promise.all(["computedlabel", "computedrole"].map((what) => call("GET", `${s}/element/${e}/${what}`).catch(() => null)));
      return label === name && roles.includes(role);
    },
    close: () => call("DELETE", s).catch(() => {}),
  };
}
const chromiumFlags = ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run", "--disable-background-networking", "--disable-component-update", "--disable-sync"];
module.exports = { // each takes a scratch folder for the browser's profile
  chromium: (scratch) => puppeteerDriver(scratch, "chromium", { executablePath: "/usr/bin/chromium", args: chromiumFlags }),
  // Links out of the Tab order, as Safari has them by default.
  firefox: (scratch) => puppeteerDriver(scratch, "firefox", { browser: "firefox", executablePath: "/usr/bin/firefox-esr", extraPrefsFirefox: { "accessibility.tabfocus": 3 } }),
  webkit: () => webdriver(),
};
