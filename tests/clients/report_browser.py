"""The flight report in a real browser: the report of the sample log refers to nothing outside
itself (its scripts are inline); headless Chromium's DOM of it holds the heading, the flights
table linked to one section per flight, and in each section the expected charts, their lines as
the charts' definitions name them; with the sample's profile its title, units, cards and table
heading, EGT and CHT charts with named cylinders, the cylinder cards and the limits; and a
screenshot of it is a PNG of the window's size that is not blank. The report of a log without GPS
or engine monitors holds only the charts it has data for.
The sample's aircraft with limits exceeded on purpose (korvex-synth --exceedances): each flight
has its findings table, each finding linked to a chart whose data shade its stretch, and the
flights table marks the flights with findings. (tests/clients/report_charts.mjs drives the
charts themselves.)
    python3 tests/clients/report_browser.py KORVEXLOGDUMP REPOSITORY KORVEX_SYNTH"""
import json
import os
import re
import struct
import subprocess
import sys
import tempfile
import zlib

tool, repo, synth = sys.argv[1], sys.argv[2], sys.argv[3]
WIDTH, HEIGHT = 1280, 2400
SAMPLE_CHARTS = ["Altitude", "Speeds", "Vertical speed"] + [
    f"{chart}, engine {n}" for n in (1, 2)
    for chart in ("RPM and MAP", "Temperatures", "Oil", "Fuel")] + [
    "Electrical", "Attitude", "GPS track"]


def chromium(tmp, *args):
    # Root needs --no-sandbox; the other switches keep the browser off the network.
    command = ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
               "--disable-background-networking", "--disable-component-update", "--disable-sync",
               "--disable-extensions", "--hide-scrollbars", f"--user-data-dir={tmp}/profile",
               *args]
    result = subprocess.run(command, capture_output=True, text=True, timeout=120)
    assert result.returncode == 0, f"chromium failed: {result.stderr[-2000:]}"
    return result.stdout


PROFILE_CHARTS = ["Altitude", "Speeds", "Vertical speed"] + [
    f"{chart}, {engine}" for engine in ("Engine", "Engine (2nd monitor)")
    for chart in ("RPM and MAP", "EGT", "CHT", "Oil", "Fuel")] + [
    "Electrical", "Attitude", "GPS track"]


def report(tmp, log, name, *options):
    path = os.path.join(tmp, name)
    with open(path, "w") as out:
        subprocess.run([tool, "-q", *options, "html", os.path.join(repo, log)], stdout=out,
                       check=True, stderr=subprocess.DEVNULL)
    return path


def text_of(markup):
    return re.sub(r"<[^>]+>", "", markup)


def check_self_contained(html):
    assert "<link" not in html and "<img" not in html and "<iframe" not in html
    for tag in re.findall(r"<script[^>]*>", html):
        assert tag in ("<script>", '<script type="application/json">') or re.fullmatch(
            r'<script type="application/json" id="[-\w]+">', tag), f"a script from elsewhere: {tag}"
    styles = "".join(re.findall(r"<style>(.*?)</style>", html, re.S))
    assert not re.search(r"url\(|@import", styles), "the report's style refers to a resource"
    for target in re.findall(r'href="([^"]*)"', html):
        assert target.startswith("#flight-"), f"a link out of the page: {target}"


def sections(dom):
    """Each flight section's id and the captions of its figures, as the browser built them."""
    found = []
    for match in re.finditer(r'<section class="flight" id="(flight-\d+)"[^>]*>(.*?)</section>', dom, re.S):
        body = match.group(2)
        captions = re.findall(r"<figcaption>(.*?)</figcaption>", body)
        for svg in re.findall(r"<svg\b.*?</svg>", body, re.S):
            assert re.search(r"<title id=\"[^\"]+\">[^<]+</title>", svg), "a track without a title"
        found.append((match.group(1), captions, body))
    return found


def chart_defs(html):
    """The charts' definitions the page's script draws from."""
    return json.loads(re.search(r'<script type="application/json" id="korvex-charts">(.*?)</script>',
                                html, re.S).group(1))


def flight_data(html, number):
    return json.loads(re.search(r'<script type="application/json" id="f%d-data">(.*?)</script>'
                                % number, html, re.S).group(1))


def line_names(defs, title):
    chart = next(c for c in defs["charts"] if c["title"] == title)
    return [defs["lines"][i]["name"] for i in chart["lines"]]


def png_pixels(path):
    """Width, height and the rows of an 8-bit RGB or RGBA PNG, unfiltered."""
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    pos, idat, width = 8, b"", 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        chunk = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", chunk[:10])
            assert depth == 8 and colour in (2, 6), f"PNG of depth {depth}, colour type {colour}"
            step = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            idat += chunk
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * step
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        row = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = row[i - step] if i >= step else 0
            b = previous[i]
            c = previous[i - step] if i >= step else 0
            if kind == 1:
                row[i] = (row[i] + a) & 255
            elif kind == 2:
                row[i] = (row[i] + b) & 255
            elif kind == 3:
                row[i] = (row[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                row[i] = (row[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(row))
        previous = row
    return width, height, rows, step


with tempfile.TemporaryDirectory() as tmp:
    sample = report(tmp, "examples/Korvex.rec", "sample.html")
    html = open(sample, encoding="utf-8").read()
    check_self_contained(html)

    dom = chromium(tmp, "--dump-dom", f"file://{sample}")
    assert "<h1>Flight report: Korvex.rec</h1>" in dom
    found = sections(dom)
    assert [s[0] for s in found] == ["flight-1", "flight-2"], [s[0] for s in found]
    for section_id, captions, body in found:
        assert captions == SAMPLE_CHARTS, f"{section_id}: {captions}"
        assert f'<a href="#{section_id}">' in dom, f"the table does not link {section_id}"
    defs = chart_defs(html)
    for n in (1, 2):
        assert line_names(defs, f"Temperatures, engine {n}") == [f"tc{k}" for k in range(1, 13)]

    assert "Values are shown as logged, without units" in dom

    # With the sample's profile: its title, units on the axes, the cards and the table heading,
    # an EGT and a CHT chart per engine with named cylinders, the limits drawn, and no note.
    profiled = report(tmp, "examples/Korvex.rec", "profiled.html", "--profile",
                      os.path.join(repo, "examples/Korvex.profile.toml"))
    dom = chromium(tmp, "--dump-dom", f"file://{profiled}")
    profiled_html = open(profiled, encoding="utf-8").read()
    defs = chart_defs(profiled_html)
    assert "<h1>N123KX · Sample aircraft, six-cylinder engine</h1>" in dom
    assert "Values are shown as logged" not in dom
    assert "<th>max_telm1_o_t (°F)</th>" in dom and "<th>engine1_time</th>" in dom
    found = sections(dom)
    assert len(found) == 2
    for section_id, captions, body in found:
        assert captions == PROFILE_CHARTS, f"{section_id}: {captions}"
        cards = dict(re.findall(r"<dt>(.*?)</dt><dd>(.*?)</dd>", body))
        for label in ("max Oil temperature (°F), Engine", "hottest CHT (°F), Engine",
                      "max EGT spread (°F), Engine", "max ASI (kt)", "fuel used (gal), Engine",
                      "engine time, Engine", "air time", "landings", "min Oil pressure (psi), Engine"):
            assert label in cards, f"{section_id}: no card {label!r} in {sorted(cards)}"
        assert re.fullmatch(r"\d+, cylinder [1-6]", cards["hottest CHT (°F), Engine"])
        assert cards["landings"] == "1"
    units = {line["name"]: line["unit"] for line in defs["lines"]}
    for name, unit in (("Altitude", "ft"), ("GPS altitude", "ft"), ("ASI", "kt"), ("EGT 1", "°F"),
                       ("CHT 6", "°F"), ("Oil temperature", "°F"), ("Oil pressure", "psi"),
                       ("amps", "A"), ("Manifold pressure", "inHg")):
        assert units.get(name) == unit, f"{name}: unit {units.get(name)!r}, not {unit!r}"
    for engine in ("Engine", "Engine (2nd monitor)"):
        assert line_names(defs, f"EGT, {engine}") == [f"EGT {k}" for k in range(1, 7)]
        assert line_names(defs, f"CHT, {engine}") == [f"CHT {k}" for k in range(1, 7)]
    limits = {(line["name"], bound, line[bound]) for line in defs["lines"] for bound in ("min", "max")}
    assert {("Oil temperature", "max", 245), ("Oil pressure", "min", 25)} <= limits, limits

    # The sample's flights have no finding: the oil below its minimum while the engine warms up
    # on the ground is none (its min applies in cruise and descent).
    for section_id, _, body in found:
        assert re.findall(r'<p class="none">No findings</p>', body), f"{section_id} has findings"

    # In the pilot's units: manifold pressure in inHg, fuel in gallons at the start and the end.
    # Every chart has the band of phases along its time axis; the first flight (the log's oldest
    # record is in its climb) is marked partial, and it has cruise cards and a marked segment;
    # the heading gives the totals.
    assert re.search(r"<p>Flight report: Korvex.rec · .* · 2 flights: engine time 1:20:23", dom)
    for (section_id, captions, body), partial, cruise in zip(found, (True, False), (True, False)):
        cards = dict(re.findall(r"<dt>(.*?)</dt><dd>(.*?)</dd>", body))
        assert re.fullmatch(r"29\.\d", cards["max Manifold pressure (inHg), Engine"]), cards
        for end in ("at start", "at end"):
            assert re.fullmatch(r"\d+\.\d", cards[f"{end} Fuel 1 (gal), Engine"]), cards
        said = "begins in the air: the older records were overwritten" in body
        assert said == partial, f"{section_id}: partial {said}"
        assert ('<dl class="cruise">' in body) == cruise, f"{section_id}: cruise cards"
        if cruise:
            assert cards["RPM (rpm), Engine"] == "2400", cards
            assert re.fullmatch(r"1\d\.\d", cards["Manifold pressure (inHg), Engine"]), cards
        data = flight_data(profiled_html, int(section_id.split("-")[1]))
        phases = {spec_phase for _, _, spec_phase in data["phases"]}
        assert {3, 5, 6} <= phases, f"{section_id}: phases {phases}"  # climb, descent, landing
        assert bool(data["cruise"]) == cruise, f"{section_id}: cruise segments {data['cruise']}"

    # Limits exceeded on purpose: every finding in a table under its flight's cards, linked to
    # the chart that shades its stretch.
    exceeded_log = os.path.join(tmp, "exceeded.rec")
    subprocess.run([synth, "--layout", "2", "--sections", "all", "--flights", "3", "--capacity",
                    "1000000", "--seed", "7", "--exceedances", "-o", exceeded_log],
                   check=True, stderr=subprocess.DEVNULL)
    exceeded = report(tmp, exceeded_log, "exceeded.html", "--profile",
                      os.path.join(repo, "examples/Korvex.profile.toml"))
    exceeded_html = open(exceeded, encoding="utf-8").read()
    dom = chromium(tmp, "--dump-dom", f"file://{exceeded}")
    assert dom.count('<tr class="found">') == 2, "the flights with findings are not marked"
    found = sections(dom)
    kinds = set()
    for section_id, captions, body in found:
        rows = re.findall(r'<tr><td>[^<]*</td><td>[^<]*</td><td>(\d+)</td><td class="what">'
                          r'<a href="#([^"]+)" data-first="(\d+)" data-last="(\d+)">([^<]+)</a></td>'
                          r'<td>([^<]+)</td>', body)
        assert len(rows) >= 5, f"{section_id}: {len(rows)} findings"
        data = flight_data(exceeded_html, int(section_id.split("-")[1]))
        for seconds, target, first, last, what, kind in rows:
            kinds.add((what, kind))
            assert f'<figure class="chart" id="{target}"' in body, f"{section_id}: {what} links to no chart"
            chart = int(re.fullmatch(r"f\d+c(\d+)-chart", target).group(1))
            assert [int(first), int(last), chart] in data["findings"], f"{section_id}: {what} not shaded"
    for expected in [("Oil temperature, Engine", "above max"), ("Oil pressure, Engine", "below min"),
                     ("EGT spread, Engine", "above max"), ("CHT 5, Engine", "cooling")]:
        assert expected in kinds, f"no finding {expected}: {kinds}"

    # Raw times, no engine monitor, no GPS: the charts of the base record alone.
    raw = report(tmp, "tests/golden/logs/layout0.rec", "raw.html")
    found = sections(chromium(tmp, "--dump-dom", f"file://{raw}"))
    assert [s[1] for s in found] == [["Altitude", "Speeds", "Vertical speed", "Electrical"]], found
    assert chart_defs(open(raw, encoding="utf-8").read())["dated"] is False

    shot = os.path.join(tmp, "report.png")
    chromium(tmp, f"--screenshot={shot}", f"--window-size={WIDTH},{HEIGHT}", f"file://{profiled}")
    width, height, rows, step = png_pixels(shot)
    assert (width, height) == (WIDTH, HEIGHT), (width, height)
    colours = set()
    for row in rows[::16]:
        for x in range(0, len(row), step * 4):
            colours.add(row[x:x + 3])
    # Heading, cards, axes and a dozen line colours: far from a blank page.
    assert len(colours) > 50, f"the screenshot has {len(colours)} colours"
    top = rows[20][:3 * step]
    assert top[:3] != rows[-1][:3], "the heading's band is missing"

print("the report renders in Chromium: 2 flight sections, "
      f"{len(SAMPLE_CHARTS)} charts each, with the sample's profile {len(PROFILE_CHARTS)} with "
      f"units, cylinders and limits, findings shaded and tabled, a {WIDTH}x{HEIGHT} screenshot")
