// The browser lane: a registration page that the library wrote, opened from
// disk in Debian's Chromium as the person registering would see it.
//
//   node check_page.mjs --page PAGE --expected JSON --template FORM [--screenshot PNG]
//
// Checks that the three images load at their natural sizes, that every input
// shows its value exactly as stored and no value added markup (the page's
// elements are the template's, one for one), that the markers stand where the
// form puts them, and that " Register Now " posts every field to
// /cgi-bin/prodreg.pl. The post is caught inside the browser: nothing leaves
// the machine. Prints a PASS or FAIL line per check.
import { chromium } from "playwright-core";
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join, resolve } from "node:path";
import { pathToFileURL } from "node:url";

const args = Object.fromEntries(
  process.argv.slice(2).reduce((pairs, arg, i, all) => (arg.startsWith("--") ? [...pairs, [arg.slice(2), all[i + 1]]] : pairs), []),
);
for (const required of ["page", "expected", "template"]) {
  if (!args[required]) {
    console.error(`check_page: --${required} is required`);
    process.exit(2);
  }
}

let passed = 0;
let failed = 0;
function check(ok, name, why = "") {
  if (ok) {
    passed++;
    console.log(`PASS ${name}`);
  } else {
    failed++;
    console.log(`FAIL ${name}: ${why}`);
  }
}

const IMAGES = { "ProdReg.jpg": [600, 55], "ProdArro.gif": [7, 17], "ProdReq.gif": [18, 14] };
// The inputs of the field rows whose marker follows them; Company's carries ALT "Required".
const MARKED = ["Contact", "Company", "Address1", "City", "State", "Zip", "Country", "Phone1", "Fax",
  "cs1_ContSupRef", "cs2_ContSupRef"];
const UNMARKED = ["Title", "Address2"];

// A form body as the page's own encoding wrote it: windows-1252, percent-encoded.
function decodeForm(body) {
  const decoder = new TextDecoder("windows-1252");
  return body.split("&").filter((pair) => pair.length > 0).map((pair) => {
    const [name, value = ""] = pair.split("=");
    const bytes = (text) => {
      const out = [];
      const plain = text.replace(/\+/g, " ");
      for (let i = 0; i < plain.length; i++) {
        if (plain[i] === "%" && i + 2 < plain.length + 1) {
          out.push(parseInt(plain.slice(i + 1, i + 3), 16));
          i += 2;
        } else {
          out.push(plain.charCodeAt(i));
        }
      }
      return decoder.decode(Uint8Array.from(out));
    };
    return [bytes(name), bytes(value)];
  });
}

const expected = JSON.parse(readFileSync(args.expected, "utf-8")).post;
const profile = mkdtempSync(join(tmpdir(), "dedoruru-chromium-"));
const context = await chromium.launchPersistentContext(profile, {
  executablePath: "/usr/bin/chromium",
  headless: true,
  args: ["--no-sandbox", "--disable-gpu", "--disable-background-networking", "--disable-component-update",
    "--disable-sync", "--no-first-run"],
});
try {
  const page = await context.newPage();
  const posts = [];
  await context.route("**/*", async (route) => {
    const request = route.request();
    const url = new URL(request.url());
    if (url.protocol === "file:") return route.continue();
    if (request.method() === "POST") posts.push({ url, body: request.postData() ?? "", type: request.headers()["content-type"] });
    // Answered here: no request reaches a network.
    return route.fulfill({ status: 200, contentType: "text/html", body: "<html><body>Thank you</body></html>" });
  });

  // The template as the maker wrote it, for the list of elements a page must have.
  await page.goto(pathToFileURL(resolve(args.template)).href);
  const templateTags = await page.evaluate(() => [...document.querySelectorAll("*")].map((e) => e.tagName));
  const templateText = await page.evaluate(() => document.body.innerText);
  const action = new URL(await page.evaluate(() => document.forms[0].action));

  await page.goto(pathToFileURL(resolve(args.page)).href, { waitUntil: "load" });
  const pageTags = await page.evaluate(() => [...document.querySelectorAll("*")].map((e) => e.tagName));
  check(JSON.stringify(pageTags) === JSON.stringify(templateTags), "no value adds markup: the page's elements are the template's",
    `${pageTags.length} elements against ${templateTags.length}`);
  // Values live in their inputs only: a value that escaped its attribute would show as text.
  const pageText = await page.evaluate(() => document.body.innerText);
  check(pageText === templateText, "no value spills into the page's text", JSON.stringify(pageText.slice(0, 200)));

  const images = await page.evaluate(() => [...document.images].map((i) => ({
    file: decodeURIComponent(new URL(i.src).pathname.split("/").pop()), width: i.naturalWidth, height: i.naturalHeight,
    loaded: i.complete && i.naturalWidth > 0,
  })));
  check(images.length === 16, "sixteen images on the page", `${images.length}`);
  for (const [file, [width, height]] of Object.entries(IMAGES)) {
    const these = images.filter((i) => i.file === file);
    check(these.length > 0 && these.every((i) => i.loaded && i.width === width && i.height === height),
      `${file} loads at ${width} x ${height}`, JSON.stringify(these[0] ?? "missing"));
  }

  for (const [name, value] of expected) {
    const shown = await page.evaluate((n) => [...document.getElementsByName(n)].map((e) => e.value), name);
    check(shown.length === 1 && shown[0] === value, `input ${name} shows ${JSON.stringify(value)}`, JSON.stringify(shown));
  }

  const markers = await page.evaluate(() => Object.fromEntries([...document.querySelectorAll("input[type=TEXT], input[type=text]")]
    .map((input) => {
      const next = input.nextElementSibling;
      return [input.name, next && next.tagName === "IMG" ? { src: next.getAttribute("src"), alt: next.getAttribute("alt") } : null];
    })));
  check(MARKED.every((n) => markers[n] && markers[n].src === "ProdReq.gif") && UNMARKED.every((n) => markers[n] === null),
    "the markers stand after the required and contact inputs only", JSON.stringify(markers));
  check(markers.Company && markers.Company.alt === "Required" && MARKED.filter((n) => n !== "Company").every((n) => markers[n].alt === null),
    "only the Company marker has its ALT text", JSON.stringify(markers.Company));

  if (args.screenshot) await page.screenshot({ path: args.screenshot, fullPage: true });

  await page.click('input[type=SUBMIT][value=" Register Now "]');
  await page.waitForLoadState("load");
  for (let i = 0; i < 50 && posts.length === 0; i++) await page.waitForTimeout(100);
  check(posts.length === 1, "one POST is sent", `${posts.length}`);
  if (posts.length === 1) {
    const post = posts[0];
    check(post.url.host === action.host && post.url.pathname === "/cgi-bin/prodreg.pl",
      "it goes to /cgi-bin/prodreg.pl on the ACTION's host", post.url.href);
    check(/application\/x-www-form-urlencoded/.test(post.type ?? ""), "as a form", post.type);
    const fields = decodeForm(post.body);
    check(JSON.stringify(fields) === JSON.stringify(expected), "its body carries every field, in order, with its value",
      `got ${JSON.stringify(fields)}`);
  }
} finally {
  await context.close();
  rmSync(profile, { recursive: true, force: true });
}
console.log(`browser lane: ${passed} passed, ${failed} failed`);
process.exit(failed === 0 && passed > 0 ? 0 : 1);
