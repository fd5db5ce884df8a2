// Takes a full-page screenshot of a registration page, opened from disk in
// Debian's Chromium the way the browser lane opens it.
//   node screenshot.mjs PAGE PNG
import { chromium } from "playwright-core";
import { mkdtempSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join, resolve } from "node:path";
import { pathToFileURL } from "node:url";

const [pagePath, pngPath] = process.argv.slice(2);
if (!pagePath || !pngPath) {
  console.error("usage: node screenshot.mjs PAGE PNG");
  process.exit(2);
}
const profile = mkdtempSync(join(tmpdir(), "dedoruru-chromium-"));
const context = await chromium.launchPersistentContext(profile, {
  executablePath: "/usr/bin/chromium",
  headless: true,
  viewport: { width: 700, height: 600 },
  args: ["--no-sandbox", "--disable-gpu", "--disable-background-networking", "--disable-component-update",
    "--disable-sync", "--no-first-run"],
});
try {
  // Nothing but the page's own files is loaded.
  await context.route("**/*", (route) => (new URL(route.request().url()).protocol === "file:" ? route.continue() : route.abort()));
  const page = await context.newPage();
  await page.goto(pathToFileURL(resolve(pagePath)).href, { waitUntil: "load" });
  await page.screenshot({ path: pngPath, fullPage: true });
  console.log(`screenshot: ${pngPath}`);
} finally {
  await context.close();
  rmSync(profile, { recursive: true, force: true });
}
