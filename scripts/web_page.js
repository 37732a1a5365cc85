// Loads the web edition in headless Chromium (tests/e2e/web/cdp.js) for the
// run and benchmark scripts:
//   node web_page.js run URL OUT      ten seconds of the page at 1024 x 768
//       with its sound captured: OUT/web-screenshot.png at the end, and the
//       SHA-256 of the ten seconds of PCM handed to Web Audio printed and
//       written to OUT/web-capture.sha256
//   node web_page.js bench URL SECONDS   main-thread milliseconds per frame
//       at 1024 x 768 over SECONDS of drawing (the page's ?bench mode)
// URL may carry settings in its query (?sombras=0, ...).
// Also prints the time from the page's start to its first frame. Exits 1
// when the page does not get there.
"use strict";

const fs = require("fs");
const os = require("os");
const path = require("path");
const { Browser } = require("../tests/e2e/web/cdp.js");

async function main() {
    const [command, url, arg] = process.argv.slice(2);
    if (!["run", "bench"].includes(command) || !url || !arg) {
        console.error("usage: node web_page.js run URL OUT | bench URL SECONDS");
        process.exit(2);
    }
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), "tazroscr-chromium-"));
    const browser = new Browser(profile, path.join(profile, "chromium.log"));
    let status = 0;
    try {
        const page = await browser.newPage();
        await page.setViewport(1024, 768);
        const query = command === "run" ? "capture=10" : `bench=${Number(arg)}`;
        // Settings in the address's own query come along.
        await page.navigate(`${url}${url.includes("?") ? "&" : "?"}${query}`);
        const first = await page.waitFor("window.tazroFirstFrameMs", "the first frame");
        console.log(`First frame:  ${first.toFixed(0)} ms after the page's start`);
        if (command === "run") {
            // The capture is whole after ten seconds of sound.
            const hash = await page.evaluate("window.tazroCapture");
            fs.mkdirSync(arg, { recursive: true });
            const shot = path.join(arg, "web-screenshot.png");
            await page.screenshot(shot);
            fs.writeFileSync(path.join(arg, "web-capture.sha256"), `${hash}\n`);
            console.log(`Screenshot:   ${path.resolve(shot)}`);
            console.log(`Sound SHA-256 of the first 10 s: ${hash}`);
        } else {
            const bench = await page.evaluate("window.tazroBench");
            console.log(`Main thread:  ${bench.msPerFrame.toFixed(3)} ms per frame on average, ` +
                `${bench.medianMs.toFixed(3)} ms median, ${bench.longestMs.toFixed(2)} ms at most, ` +
                `over ${bench.frames} frames at ${bench.width} x ${bench.height}`);
        }
        for (const problem of page.problems())
            console.log(`Console ${problem.level}: ${problem.text}`);
    } catch (e) {
        console.error(`web_page: ${e.message}`);
        status = 1;
    } finally {
        await browser.close();
        fs.rmSync(profile, { recursive: true, force: true });
    }
    process.exit(status);
}

main();
