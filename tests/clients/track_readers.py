"""Real readers of the GPX and KML tracks: xmllint finds every document well-formed (and the
GPX valid against the GPX 1.1 schema, when the schema is at hand), gpsbabel reads GPX and KML
without a word on standard error, and gpsbabel's unicsv of the GPX holds exactly the table's
fixes (records with GPS whose latitude and longitude are not both zero), with the same
coordinates, in the same order; --split writes one document per flight with a fix.
    python3 tests/clients/track_readers.py KORVEXLOGDUMP REPOSITORY [GPX_SCHEMA]"""
import csv
import io
import os
import subprocess
import sys
import tempfile

tool, repo = sys.argv[1], sys.argv[2]
schema = sys.argv[3] if len(sys.argv) > 3 and os.path.exists(sys.argv[3]) else None
logs = ["examples/Korvex.rec", "tests/golden/logs/tracks.rec", "tests/golden/logs/flights.rec",
        "tests/golden/logs/sections.rec", "tests/golden/logs/damaged.rec",
        "tests/golden/logs/layout0.rec"]


def run(args, **kw):
    return subprocess.run(args, capture_output=True, text=True, **kw)


def check_document(path, fmt):
    result = run(["xmllint", "--noout", path])
    assert result.returncode == 0 and not result.stderr, f"{path}: {result.stderr}"
    if fmt == "gpx" and schema:
        result = run(["xmllint", "--noout", "--schema", schema, path])
        assert result.returncode == 0, f"{path}: {result.stderr}"
    points = []
    # Tracks (-t), then single points (-w: a KML flight of one fix is a Point).
    for kind in ("-t", "-w"):
        result = run(["gpsbabel", kind, "-i", fmt, "-f", path, "-o", "unicsv", "-F", "-"])
        assert result.returncode == 0 and not result.stderr, f"{path}: gpsbabel says {result.stderr}"
        points += [(f"{float(r['Latitude']):.5f}", f"{float(r['Longitude']):.5f}")
                   for r in csv.DictReader(io.StringIO(result.stdout))]
    return points


def table_fixes(log):
    text = run([tool, "-q", "csv", f"{repo}/{log}"], check=True).stdout
    fixes = []
    for row in csv.DictReader(io.StringIO(text)):
        lat, lon = row.get("lat", ""), row.get("long", "")
        if lat == "" or (float(lat) == 0 and float(lon) == 0):
            continue
        if abs(float(lat)) > 90 or abs(float(lon)) > 180:
            continue
        fixes.append((lat, lon))
    return fixes


with tempfile.TemporaryDirectory() as folder:
    for log in logs:
        fixes = table_fixes(log)
        for fmt in ("gpx", "kml"):
            path = os.path.join(folder, f"{os.path.basename(log)}.{fmt}")
            with open(path, "w") as out:
                subprocess.run([tool, "-q", fmt, f"{repo}/{log}"], stdout=out, check=True,
                               stderr=subprocess.DEVNULL)
            points = check_document(path, fmt)
            if fmt == "gpx":
                assert points == fixes, f"{log}: {len(points)} points, {len(fixes)} fixes"
            else:
                assert len(points) == len(fixes), f"{log}: {len(points)} points in the KML"
        split = os.path.join(folder, os.path.basename(log) + ".split")
        done = subprocess.run([tool, "-q", "--split", split, "gpx", f"{repo}/{log}"], check=True,
                              stderr=subprocess.PIPE, text=True)
        # In flight order, as the tool reports them.
        files = [line[len("Wrote "):] for line in done.stderr.splitlines()
                 if line.startswith("Wrote ")]
        assert sorted(files) == sorted(os.path.join(split, f) for f in os.listdir(split))
        joined = [p for f in files for p in check_document(f, "gpx")]
        assert joined == fixes, f"{log}: the split files hold {len(joined)} points"
print("xmllint and gpsbabel read the tracks" + ("" if schema else " (no GPX schema at hand)"))
