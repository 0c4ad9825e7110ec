"""Python's csv module reads the csv and tsv tables as they are: every column under its header
name, Time as a date-time (or the raw count of layouts 0 and 1), and an empty value where a
record lacks a block or its layout lacks a column.
    python3 tests/clients/python_csv.py KORVEXLOGDUMP REPOSITORY"""
import csv
import datetime
import io
import subprocess
import sys

tool, repo = sys.argv[1], sys.argv[2]


def table(log, fmt="csv"):
    text = subprocess.run([tool, "-q", fmt, f"{repo}/{log}"], capture_output=True, text=True,
                          check=True).stdout
    header = text.split("\n", 1)[0].split("," if fmt == "csv" else "\t")
    rows = list(csv.DictReader(io.StringIO(text), delimiter="," if fmt == "csv" else "\t"))
    assert len(set(header)) == len(header), f"{log}: names repeat"
    for row in rows:
        assert list(row.keys()) == header, f"{log}: a row's keys differ from the header"
        assert None not in row.values(), f"{log}: a row is short"
    return rows


def times(rows):
    out = []
    for row in rows:
        t = row["Time"]
        out.append(datetime.datetime.fromisoformat(t) if "T" in t else int(t))
    return out


sample = table("examples/Korvex.rec")
assert len(sample) == 4901 and len(sample[0]) == 96
assert [int(r["flight"]) for r in sample[:1]] == [1] and int(sample[-1]["flight"]) == 2
stamps = times(sample)
assert all(isinstance(t, datetime.datetime) for t in stamps) and stamps == sorted(stamps)
assert float(sample[0]["telm1_RPM"]) > 0 and float(sample[0]["lat"]) > 0

assert table("examples/Korvex.rec", "tsv") == sample, "tsv and csv differ"

sections = table("tests/golden/logs/sections.rec")
assert any(r["telm1_RPM"] == "" and r["telm2_RPM"] != "" for r in sections)
assert any(r["lat"] == "" for r in sections) and any(r["lat"] != "" for r in sections)
assert all(isinstance(t, int) for t in times(sections))

# Layout 0 lacks the GPS status columns and the long-form engine-monitor columns.
mixed = table("tests/golden/logs/mixed.rec")
raw = [r for r in mixed if "T" not in r["Time"]]
dated = [r for r in mixed if "T" in r["Time"]]
assert raw and dated
assert all(r["status"] == "" and r["lat"] != "" and r["telm1_rch1"] == "" for r in raw)
assert all(r["status"] != "" and r["telm1_rch1"] != "" for r in dated)
# --describe: the data dictionary lists every column of the csv table once, in its order, with
# the profile's units and labels, and reads back the same as tsv.
def describe(fmt, *options):
    text = subprocess.run([tool, "-q", *options, "--describe", fmt, f"{repo}/examples/Korvex.rec"],
                          capture_output=True, text=True, check=True).stdout
    return list(csv.DictReader(io.StringIO(text), delimiter="," if fmt == "csv" else "\t"))


profile = ["--profile", f"{repo}/examples/Korvex.profile.toml"]
dictionary = describe("csv", *profile)
assert [r["name"] for r in dictionary] == list(sample[0].keys()), "the dictionary's names differ"
by_name = {r["name"]: r for r in dictionary}
assert by_name["telm1_o_t"]["unit"] == "°F" and by_name["telm1_o_t"]["label"] == "Oil temperature"
assert by_name["telm2_tc9"]["unit"] == "°F" and by_name["telm2_tc9"]["block"] == "telm2"
assert by_name["lat"]["type"] == "real" and by_name["alt"]["type"] == "integer"
assert by_name["telm1_RPM"]["classic_label"] == "RPM" and by_name["Time"]["type"] == "time"
assert describe("tsv", *profile) == dictionary, "tsv and csv dictionaries differ"
bare = describe("csv", "--no-profile")
assert all(r["unit"] == ("s" if r["name"] == "turn" else "") and r["label"] == "" for r in bare)
# The turn timer is whole seconds, as a number.
assert by_name["turn"]["type"] == "integer" and by_name["turn"]["unit"] == "s"
assert all(r["turn"] == "" or r["turn"].lstrip("-").isdigit() for r in sample)
assert any(int(r["turn"]) > 9 for r in sample if r["turn"])
print("Python's csv module reads the csv and tsv tables and the data dictionary")
