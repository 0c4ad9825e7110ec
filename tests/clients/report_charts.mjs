// The report's charts in a real browser, driven by playwright-core in Debian's Chromium: the
// sample's report draws its first flight's charts within 3 s of loading, without a console
// error. Moving the mouse to the second of a record shows that record's values, as the csv gives
// them (calibrated where the profile calibrates) with their units, in the legends of all the
// flight's charts; a drag across one chart zooms all of them to the same stretch; a double click
// returns them to the whole flight; a click on a finding in the findings table zooms them to its
// stretch with a margin, and the stretch is shaded. The printed PDF's first page shows charts,
// and without JavaScript the page says the charts need it and its tables are all there.
//   node tests/clients/report_charts.mjs KORVEXLOGDUMP REPOSITORY KORVEX_SYNTH [SCREENSHOTS]
// SCREENSHOTS: a folder to leave the README's screenshots in (docs/: report.png, findings.png,
// report-cursor.png, report-zoom.png).
import { execFileSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { chromium } from "playwright-core";

const [tool, repo, synth, screenshots] = process.argv.slice(2);
const profile = join(repo, "examples/Korvex.profile.toml");
const tmp = mkdtempSync(join(tmpdir(), "korvex-charts-"));
let failures = 0;
function check(ok, what) {
  if (!ok) {
    failures += 1;
    console.error("FAILED: " + what);
  }
}

function run(args) {
  return execFileSync(tool, ["-q", ...args], { maxBuffer: 1 << 30, stdio: ["ignore", "pipe", "ignore"] })
    .toString();
}
function report(name, log, ...options) {
  const path = join(tmp, name);
  writeFileSync(path, run(["--profile", profile, ...options, "html", log]));
  return path;
}
// The csv's records: each a map from column to its text.
function csvRecords(log) {
  const lines = run(["--profile", profile, "--calibrated", "csv", log]).trim().split("\n");
  const head = lines[0].split(",");
  return lines.slice(1).map((line) => {
    const cells = line.split(",");
    return Object.fromEntries(head.map((name, i) => [name, cells[i]]));
  });
}
// A csv time (the instrument's clock, 2026-06-14T12:13:23) as the page's seconds.
const seconds = (text) => Date.parse(text.slice(0, 19).replace(" ", "T") + "Z") / 1000;

const browser = await chromium.launch({
  executablePath: "/usr/bin/chromium",
  args: ["--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
    "--disable-component-update", "--disable-sync", "--disable-extensions"],
});
async function open(path, options = {}) {
  const context = await browser.newContext({ viewport: { width: 1280, height: 1000 }, ...options });
  const page = await context.newPage();
  const errors = [];
  page.on("console", (m) => { if (m.type() === "error") errors.push(m.text()); });
  page.on("pageerror", (e) => errors.push(e.message));
  page.on("request", (r) => { if (!r.url().startsWith("file:")) errors.push("fetched " + r.url()); });
  const start = Date.now();
  await page.goto("file://" + path);
  return { page, errors, start };
}
// Each chart of a flight: its x range, and its legend's rows (label and text).
async function charts(page, flight) {
  return page.evaluate((n) => {
    const made = window.korvexReport.flights.get(String(n)) || [];
    return made.map((u) => ({
      min: u.scales.x.min,
      max: u.scales.x.max,
      first: u.data[0][0],
      last: u.data[0][u.data[0].length - 1],
    }));
  }, flight);
}
async function legends(page, flight) {
  return page.evaluate((n) => [...document.querySelectorAll(`#flight-${n} figure.chart`)].map((f) => ({
    chart: Number(f.dataset.chart),
    rows: [...f.querySelectorAll(".u-legend tr")].map((tr) => [
      tr.querySelector(".u-label")?.textContent ?? "", tr.querySelector(".u-value")?.textContent ?? ""]),
  })), flight);
}
// The page's x of a time on a flight's chart k, in the window, after scrolling it into view.
async function xOf(page, flight, k, t) {
  await page.locator(`#flight-${flight} figure.chart`).nth(k).scrollIntoViewIfNeeded();
  return page.evaluate(([n, k, t]) => {
    const u = window.korvexReport.flights.get(String(n))[k];
    const box = u.over.getBoundingClientRect();
    return { x: box.left + u.valToPos(t, "x"), y: box.top + box.height / 2, left: box.left, right: box.right };
  }, [flight, k, t]);
}
async function drag(page, flight, k, from, to) {
  const a = await xOf(page, flight, k, from), b = await xOf(page, flight, k, to);
  await page.mouse.move(a.x, a.y);
  await page.mouse.down();
  await page.mouse.move(b.x, b.y, { steps: 8 });
  await page.mouse.up();
}
function sameRange(list, what) {
  check(list.length > 0, `${what}: no charts`);
  for (const c of list) {
    check(Math.abs(c.min - list[0].min) < 1e-6 && Math.abs(c.max - list[0].max) < 1e-6,
      `${what}: charts at ${c.min}..${c.max}, not ${list[0].min}..${list[0].max}`);
  }
  return list[0];
}

try {
  // The sample's report, with its profile.
  const sample = join(repo, "examples/Korvex.rec");
  const definitions = JSON.parse(/<script type="application\/json" id="korvex-charts">(.*?)<\/script>/s
    .exec(readFileSync(report("sample.html", sample), "utf8"))[1]);
  const { page, errors, start } = await open(join(tmp, "sample.html"));
  await page.waitForFunction(() => {
    const made = window.korvexReport && window.korvexReport.flights.get("1");
    return made && made.length === document.querySelectorAll("#flight-1 figure.chart").length;
  }, null, { timeout: 10000 });
  const drawn = Date.now() - start;
  check(drawn < 3000, `the first flight's charts drawn ${drawn} ms after loading`);
  if (screenshots) {
    // The README's picture of the report: its top, the first flight's cards and charts.
    await page.setViewportSize({ width: 1280, height: 1900 });
    await page.waitForTimeout(300);
    await page.screenshot({ path: join(screenshots, "report.png") });
    await page.setViewportSize({ width: 1280, height: 1000 });
  }
  const whole = sameRange(await charts(page, 1), "the whole flight");
  // The plots of a flight line up, so that the cursor stands at one place on all of them.
  const plots = await page.evaluate(() => window.korvexReport.flights.get("1").map((u) => {
    const box = u.over.getBoundingClientRect();
    return [box.left, box.width];
  }));
  check(plots.every(([left, width]) => Math.abs(left - plots[0][0]) < 1.5 && Math.abs(width - plots[0][1]) < 1.5),
    `the plots are not lined up: ${JSON.stringify(plots)}`);
  check(whole.min <= whole.first && whole.max >= whole.last, "the charts show the whole flight");

  // Records of the first flight, a tenth, half and nine tenths into it.
  const records = csvRecords(sample).filter((r) => r.flight === "1");
  for (const fraction of [0.1, 0.5, 0.9]) {
    const record = records[Math.floor(records.length * fraction)];
    const t = seconds(record.Time);
    // From the whole flight (a double click returns to it), a drag across the fourth chart zooms every chart to the two minutes around the record.
    const reset = await xOf(page, 1, 3, t);
    await page.mouse.dblclick((reset.left + reset.right) / 2, reset.y);
    await drag(page, 1, 3, t - 60, t + 60);
    const zoomed = sameRange(await charts(page, 1), `zoomed at ${record.Time}`);
    // To the pixel the mouse can point at.
    const pixel = (whole.max - whole.min) / plots[0][1];
    check(Math.abs(zoomed.min - (t - 60)) < 2 * pixel && Math.abs(zoomed.max - (t + 60)) < 2 * pixel,
      `the zoom is ${zoomed.min - t}..${zoomed.max - t} around the record, not -60..60`);
    const at = await xOf(page, 1, 3, t);
    await page.mouse.move(at.x, at.y);
    let lines = 0;
    for (const figure of await legends(page, 1)) {
      const [timeLabel, timeText] = figure.rows[0];
      check(timeLabel === "time" && timeText === record.Time.slice(11, 19),
        `chart ${figure.chart} shows the time ${timeLabel} ${timeText}, not ${record.Time}`);
      const defs = definitions.charts[figure.chart].lines.map((i) => definitions.lines[i]);
      for (const [label, text] of figure.rows.slice(1)) {
        const def = defs.find((d) => d.name === label);
        check(def !== undefined, `chart ${figure.chart} has a line ${label} it does not define`);
        if (!def) continue;
        const logged = record[def.column];
        const expected = logged === "" || logged === undefined ? "–" : def.unit ? `${logged} ${def.unit}` : logged;
        check(text === expected, `at ${record.Time} ${label} (${def.column}) shows ${text}, the csv ${expected}`);
        lines += 1;
      }
    }
    check(lines >= 40, `${lines} values in the legends`);
    if (fraction === 0.5 && screenshots) {
      // The README's zoomed minute: the cursor in the middle of the cruise.
      await drag(page, 1, 3, t - 30, t + 30);
      await page.evaluate(() => document.querySelectorAll("#flight-1 figure.chart")[3]
        .scrollIntoView({ block: "start" }));
      const mid = await xOf(page, 1, 3, t);
      await page.mouse.move(mid.x, mid.y);
      await page.screenshot({ path: join(screenshots, "report-zoom.png") });
    }
  }
  // A double click returns every chart to the whole flight.
  const here = await xOf(page, 1, 0, whole.first);
  await page.mouse.dblclick((here.left + here.right) / 2, here.y);
  const back = sameRange(await charts(page, 1), "after a double click");
  check(back.min === whole.min && back.max === whole.max,
    `a double click leaves ${back.min}..${back.max}, not ${whole.min}..${whole.max}`);
  check(errors.length === 0, "console: " + errors.join(" | "));

  // Limits exceeded on purpose: a click on a finding zooms its flight's charts to its stretch,
  // which its chart shades.
  const exceeded = join(tmp, "exceeded.rec");
  execFileSync(synth, ["--layout", "2", "--sections", "all", "--flights", "3", "--capacity", "1000000",
    "--seed", "7", "--exceedances", "-o", exceeded], { stdio: "ignore" });
  report("exceeded.html", exceeded);
  const found = await open(join(tmp, "exceeded.html"));
  if (screenshots) {
    // The README's picture of findings: the flights table marking them, a flight's findings
    // and its first charts.
    await found.page.setViewportSize({ width: 1280, height: 1960 });
    await found.page.evaluate(() => document.querySelector("section.flights").scrollIntoView());
    await found.page.waitForTimeout(300);
    await found.page.screenshot({ path: join(screenshots, "findings.png") });
    await found.page.setViewportSize({ width: 1280, height: 1000 });
  }
  const links = found.page.locator("section.flight table.findings a[data-first]");
  const count = await links.count();
  check(count >= 5, `${count} findings linked to charts`);
  let shaded = 0;
  for (let i = 0; i < Math.min(count, 6); i++) {
    const link = links.nth(i);
    const row = await link.evaluate((a) => {
      const cells = [...a.closest("tr").cells].map((c) => c.textContent);
      return { flight: a.closest("section").dataset.flight, start: cells[0], end: cells[1],
        chart: a.getAttribute("href").slice(1) };
    });
    await link.click();
    await found.page.waitForTimeout(100);
    const range = sameRange(await charts(found.page, row.flight), `finding ${i}`);
    const first = seconds(row.start), last = seconds(row.end);
    const margin = Math.max(30, (last - first) * 0.25);
    check(Math.abs(range.min - (first - margin)) < 1e-6 && Math.abs(range.max - (last + 1 + margin)) < 1e-6,
      `finding ${row.start}..${row.end}: the charts show ${range.min - first}..${range.max - last} around it`);
    // Its chart, shaded: pixels of the red shading in the middle of the plot.
    const figure = found.page.locator("#" + row.chart);
    await figure.scrollIntoViewIfNeeded();
    const spot = await found.page.evaluate(([n, id, t]) => {
      const f = document.getElementById(id);
      const k = [...f.parentNode.querySelectorAll("figure.chart")].indexOf(f);
      const u = window.korvexReport.flights.get(n)[k];
      const ctx = u.ctx, x = Math.round(u.valToPos(t, "x", true));
      const pixel = ctx.getImageData(x, Math.round(u.bbox.top + 4), 1, 1).data;
      return [...pixel];
    }, [row.flight, row.chart, (first + last) / 2]);
    // The canvas's own pixel: the red of the shading, partly transparent.
    if (spot[0] > 150 && spot[1] < 100 && spot[2] < 100 && spot[3] > 20 && spot[3] < 100) shaded += 1;
    else console.error(`finding ${row.start}..${row.end} on ${row.chart}: the plot is ${spot}`);
    if (i === 2 && screenshots) {
      await found.page.evaluate((id) => document.getElementById(id).scrollIntoView({ block: "start" }), row.chart);
      const spotted = await xOf(found.page, row.flight, await figure.evaluate((f) =>
        [...f.parentNode.querySelectorAll("figure.chart")].indexOf(f)), (first + last) / 2);
      await found.page.mouse.move(spotted.x, spotted.y);
      await found.page.screenshot({ path: join(screenshots, "report-cursor.png") });
    }
  }
  check(shaded === Math.min(count, 6), `${shaded} of the findings' stretches shaded`);
  check(found.errors.length === 0, "console: " + found.errors.join(" | "));

  // Printed: the first page of the PDF shows charts: the first lines' colours, and the band of
  // phases (climb, cruise, descent) at the foot of a chart.
  const printed = await open(join(tmp, "sample.html"));
  await printed.page.waitForFunction(() => window.korvexReport.flights.size > 0);
  writeFileSync(join(tmp, "sample.pdf"), await printed.page.pdf({ format: "A4", printBackground: true }));
  execFileSync("pdftoppm", ["-r", "100", "-f", "1", "-l", "1", "-singlefile", join(tmp, "sample.pdf"),
    join(tmp, "page")]);
  const ppm = readFileSync(join(tmp, "page.ppm"));
  const header = /^P6\s+(\d+)\s+(\d+)\s+255\s/.exec(ppm.subarray(0, 40).toString("latin1"));
  const pixels = ppm.subarray(header[0].length);
  const colours = { line1: [31, 119, 180], line2: [255, 127, 14], climb: [229, 57, 53],
    cruise: [67, 160, 71], descent: [30, 136, 229] };
  const seen = Object.fromEntries(Object.keys(colours).map((k) => [k, 0]));
  for (let i = 0; i + 2 < pixels.length; i += 3) {
    for (const [name, [r, g, b]] of Object.entries(colours)) {
      if (Math.abs(pixels[i] - r) + Math.abs(pixels[i + 1] - g) + Math.abs(pixels[i + 2] - b) < 60) seen[name] += 1;
    }
  }
  check(Object.values(seen).every((n) => n > 50), `the printed first page's chart pixels: ${JSON.stringify(seen)}`);
  check(printed.errors.length === 0, "console: " + printed.errors.join(" | "));

  // Without JavaScript: the page says the charts need it; the tables are there.
  const plain = await open(join(tmp, "sample.html"), { javaScriptEnabled: false });
  const text = await plain.page.locator("body").innerText();
  check(text.includes("The charts need JavaScript"), "without JavaScript the page does not say so");
  const rows = await plain.page.locator("section.flights tr").count();
  check(rows === 3, `without JavaScript the flights table has ${rows} rows`);
  const hidden = await plain.page.locator("figure.chart").first().isHidden();
  check(hidden, "without JavaScript the charts' empty frames show");
} finally {
  await browser.close();
  rmSync(tmp, { recursive: true, force: true });
}
if (failures > 0) {
  console.error(`${failures} checks failed`);
  process.exit(1);
}
console.log("the report's charts in Chromium: legends equal the csv at three records, zoom, reset, " +
  "findings zoomed and shaded, printed, and said without JavaScript");
