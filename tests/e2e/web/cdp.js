// A small client of Chromium's DevTools protocol for the web edition's
// scripts: headless Chromium started with --remote-debugging-pipe (the
// protocol's JSON messages, each ended by a NUL byte, on the browser's file
// descriptors 3 and 4), so that no port is needed and no WebSocket client:
// Debian's node 18 has none built in, and node 20 only behind a flag.
"use strict";

const { spawn } = require("child_process");
const fs = require("fs");

// The flags every run uses: headless as root, nothing from the network,
// WebGL through SwiftShader without a warning, and sound without a click.
// The GPU process composites with SwiftShader too (--use-angle): with
// --disable-gpu the software compositor reads every WebGL frame back, and
// the driver warns of it ("GPU stall due to ReadPixels") on any WebGL page.
const kChromiumFlags = [
    "--headless",
    "--no-sandbox",
    "--use-angle=swiftshader",
    "--disable-quic",
    "--no-first-run",
    "--disable-background-networking",
    "--disable-component-update",
    "--disable-sync",
    "--enable-unsafe-swiftshader",
    "--autoplay-policy=no-user-gesture-required",
    "--remote-debugging-pipe",
];

function sleep(ms) {
    return new Promise((resolve) => setTimeout(resolve, ms));
}

// Rejects with what after ms milliseconds unless promise settles first.
function within(ms, what, promise) {
    let timer;
    const timeout = new Promise((_, reject) => {
        timer = setTimeout(() => reject(new Error(`timed out after ${ms} ms: ${what}`)), ms);
    });
    return Promise.race([promise, timeout]).finally(() => clearTimeout(timer));
}

// The browsers this process started and has not closed: a time-out's
// SIGTERM (or Ctrl+C) ends them by their own process ids before it ends this
// process.
const running = new Set();
for (const signal of ["SIGTERM", "SIGINT"]) {
    process.on(signal, () => {
        for (const browser of running)
            browser.child.kill("SIGKILL");
        process.exit(1);
    });
}

class Browser {
    // Starts Chromium with a fresh profile in userDataDir and the flags
    // above (and extraFlags); its own output goes to logFile.
    constructor(userDataDir, logFile, extraFlags = []) {
        const chromium = process.env.CHROMIUM || "chromium";
        const log = fs.openSync(logFile, "a");
        const flags = [...kChromiumFlags, ...extraFlags, `--user-data-dir=${userDataDir}`, "about:blank"];
        this.child = spawn(chromium, flags, {
            stdio: ["ignore", log, log, "pipe", "pipe"],
        });
        fs.closeSync(log);
        this.nextId = 1;
        this.pending = new Map();
        this.listeners = new Set();
        running.add(this);
        this.exited = new Promise((resolve) => this.child.on("exit", resolve));
        this.exited.then(() => running.delete(this));
        let buffered = Buffer.alloc(0);
        this.child.stdio[4].on("data", (chunk) => {
            buffered = Buffer.concat([buffered, chunk]);
            let end;
            while ((end = buffered.indexOf(0)) >= 0) {
                const message = JSON.parse(buffered.subarray(0, end).toString("utf8"));
                buffered = buffered.subarray(end + 1);
                this.dispatch(message);
            }
        });
        this.child.stdio[3].on("error", () => {});
    }

    dispatch(message) {
        if (message.id !== undefined && this.pending.has(message.id)) {
            const { resolve, reject, method } = this.pending.get(message.id);
            this.pending.delete(message.id);
            if (message.error)
                reject(new Error(`${method}: ${message.error.message}`));
            else
                resolve(message.result);
            return;
        }
        for (const listener of this.listeners)
            listener(message);
    }

    // Sends one command (to a page when sessionId is given); its result.
    send(method, params = {}, sessionId = undefined) {
        const id = this.nextId++;
        const message = { id, method, params };
        if (sessionId !== undefined)
            message.sessionId = sessionId;
        return within(60000, method, new Promise((resolve, reject) => {
            this.pending.set(id, { resolve, reject, method });
            this.child.stdio[3].write(JSON.stringify(message) + "\0");
        }));
    }

    // A new tab, attached, with its page, runtime and log events on.
    async newPage() {
        const { targetId } = await this.send("Target.createTarget", { url: "about:blank" });
        const { sessionId } = await this.send("Target.attachToTarget", { targetId, flatten: true });
        const page = new Page(this, sessionId);
        await page.send("Page.enable");
        await page.send("Runtime.enable");
        await page.send("Log.enable");
        return page;
    }

    // Asks the browser to end, and ends its process (by its own id) when it
    // does not within ten seconds.
    async close() {
        try {
            await within(10000, "Browser.close", this.send("Browser.close"));
        } catch (e) {
            // ended below
        }
        const ended = await Promise.race([this.exited.then(() => true), sleep(10000).then(() => false)]);
        if (!ended) {
            this.child.kill("SIGKILL");
            await this.exited;
        }
    }
}

class Page {
    constructor(browser, sessionId) {
        this.browser = browser;
        this.sessionId = sessionId;
        // Every console message, log entry and uncaught exception of the page
        // as { level, text }.
        this.messages = [];
        this.loads = 0;
        browser.listeners.add((message) => {
            if (message.sessionId !== sessionId)
                return;
            const p = message.params;
            if (message.method === "Runtime.consoleAPICalled") {
                const text = p.args.map((a) => (a.value !== undefined ? String(a.value) : a.description || a.type)).join(" ");
                this.messages.push({ level: p.type, text });
            } else if (message.method === "Log.entryAdded") {
                this.messages.push({ level: p.entry.level, text: `${p.entry.source}: ${p.entry.text} ${p.entry.url || ""}` });
            } else if (message.method === "Runtime.exceptionThrown") {
                const details = p.exceptionDetails;
                this.messages.push({ level: "error", text: (details.exception && details.exception.description) || details.text });
            } else if (message.method === "Page.loadEventFired") {
                this.loads++;
            }
        });
    }

    send(method, params = {}) {
        return this.browser.send(method, params, this.sessionId);
    }

    // The viewport in CSS pixels, one device pixel each.
    setViewport(width, height) {
        return this.send("Emulation.setDeviceMetricsOverride", { width, height, deviceScaleFactor: 1, mobile: false });
    }

    // Loads url and waits for its load event.
    async navigate(url) {
        const before = this.loads;
        await this.send("Page.navigate", { url });
        await this.waitFor(() => this.loads > before, `load of ${url}`);
    }

    // The value of a JavaScript expression (awaited when it is a promise).
    async evaluate(expression) {
        const result = await this.send("Runtime.evaluate", { expression, awaitPromise: true, returnByValue: true });
        if (result.exceptionDetails)
            throw new Error(`${expression}: ${result.exceptionDetails.exception ? result.exceptionDetails.exception.description : result.exceptionDetails.text}`);
        return result.result.value;
    }

    // Polls until check (a function, or an expression in the page) holds.
    async waitFor(check, what, timeoutMs = 30000) {
        const deadline = Date.now() + timeoutMs;
        for (;;) {
            const value = typeof check === "function" ? check() : await this.evaluate(check);
            if (value)
                return value;
            if (Date.now() > deadline)
                throw new Error(`timed out after ${timeoutMs} ms waiting for ${what || check}`);
            await sleep(50);
        }
    }

    async screenshot(file) {
        const { data } = await this.send("Page.captureScreenshot", { format: "png" });
        fs.writeFileSync(file, Buffer.from(data, "base64"));
    }

    // The JavaScript heap in use after a full garbage collection, in bytes.
    async heapAfterCollection() {
        await this.send("HeapProfiler.collectGarbage");
        const { usedSize } = await this.send("Runtime.getHeapUsage");
        return usedSize;
    }

    // The warnings and errors seen so far.
    problems() {
        return this.messages.filter((m) => m.level === "warning" || m.level === "error" || m.level === "assert");
    }
}

module.exports = { Browser, sleep, within };
