"""Trends against a model of their rules, made here from the tool's other tables: the cruise
segments of --cruise csv, the engine times of --flights csv and the findings of --findings csv.

A flight's trend figures are the medians of its longest cruise segment (the first of the
longest), a cylinder's deviation its value less the mean of its engine's cylinders of that kind.
A figure's baseline is the median and interquartile range (quartiles by linear interpolation at
(n - 1) p) of its values in the latest baseline_flights earlier flights with cruise that have it,
at least baseline_min of them, looked for among the latest 10 x baseline_flights flights with
cruise; EGTs, CHTs, flow, oil temperature and TAS take only flights whose cruise RPM and MAP are
within power_rpm and power_map of this flight's. Engine hours are the engine times to date.

The figures are the medians as the cruise table shows them, so values must equal its text, and
deviations and baselines what the model works out from them, to the digits shown.
    python3 tests/clients/trends_model.py KORVEXLOGDUMP REPOSITORY KORVEX_SYNTH"""
import csv
import io
import math
import os
import subprocess
import sys
import tempfile
import tomllib

tool, repo, synth = sys.argv[1], sys.argv[2], sys.argv[3]
sample_profile = os.path.join(repo, "examples", "Korvex.profile.toml")


def table(*args):
    out = subprocess.run([tool, "-q", *args], capture_output=True, text=True, check=True).stdout
    return list(csv.DictReader(io.StringIO(out)))


def seconds(text):
    h, m, s = (int(x) for x in text.split(":"))
    return h * 3600 + m * 60 + s


def quantile(values, p):
    values = sorted(values)
    at = (len(values) - 1) * p
    low = math.floor(at)
    high = min(low + 1, len(values) - 1)
    return values[low] + (values[high] - values[low]) * (at - low)


def figures_of(profile, header):
    """(name, column or cylinder list, engine, kind, by power) of each trend figure."""
    out = []
    for engine in (1, 2):
        block = f"telm{engine}_"
        for name, power in (("RPM", False), ("MAP", False), ("flow", True), ("o_t", True),
                            ("oil_p", False), ("egt_spread", False)):
            if block + name in header:
                out.append((block + name, block + name, engine, "value", power))
        setup = profile.get("engines", {}).get(str(engine), {})
        for deviation in (False, True):
            for kind in ("egt", "cht"):
                for n, tc in enumerate(setup.get(kind, []), start=1):
                    column = block + (tc if isinstance(tc, str) else f"tc{tc}")
                    if column not in header:
                        continue
                    name = f"{block}{kind}{n}" + ("_dev" if deviation else "")
                    out.append((name, column, engine, kind + "_dev" if deviation else kind,
                                not deviation))
    for name, power in (("TAS", True), ("m_v", False)):
        if name in header:
            out.append((name, name, 0, "value", power))
    return out


def model(profile_path, logs):
    profile = tomllib.load(open(profile_path, "rb")) if profile_path else {}
    trends = profile.get("trends", {})
    wanted = trends.get("baseline_flights", 20)
    least = trends.get("baseline_min", 5)
    rpm_band = trends.get("power_rpm", 100)
    map_band = trends.get("power_map", 1.5)
    given = ["--profile", profile_path] if profile_path else ["--no-profile"]
    flights = table(*given, "--flights", "csv", *logs)
    cruise = table(*given, "--cruise", "csv", *logs)
    findings = table(*given, "--findings", "csv", *logs) if profile_path else []
    header = list(cruise[0].keys()) if cruise else []
    figures = figures_of(profile, header)
    longest = {}
    for s in cruise:
        f = int(s["flight"])
        if f not in longest or int(s["seconds"]) > int(longest[f]["seconds"]):
            longest[f] = s
    rows, past, hours = [], [], {1: 0.0, 2: 0.0}
    for flight in flights:
        f = int(flight["flight"])
        row = {"flight": f, "hours": {}}
        for e in (1, 2):
            cell = flight.get(f"engine{e}_time", "")
            if cell:
                hours[e] += seconds(cell)
                row["hours"][e] = hours[e] / 3600
        kinds = {"above_max": 0, "below_min": 0, "egt_spread": 0, "cht_cooling": 0}
        for x in findings:
            if int(x["flight"]) != f or x["kind"] == "drift":
                continue
            kind = ("cht_cooling" if x["kind"] == "cooling" else
                    "egt_spread" if x["column"].startswith("egt_spread") else
                    x["kind"].replace(" ", "_"))
            kinds[kind] += 1
        row["findings"] = kinds
        s = longest.get(f)
        row["segment"] = s
        if s is None:
            rows.append(row)
            continue

        def value(column):
            return float(s[column]) if s.get(column, "") != "" else None

        values = {}
        for name, column, engine, kind, _ in figures:
            if kind.endswith("_dev"):
                mates = [value(c) for _, c, e, k, _ in figures
                         if e == engine and k == kind[:3] and value(c) is not None]
                v = value(column)
                values[name] = None if v is None else v - sum(mates) / len(mates)
            else:
                values[name] = value(column)
        power = {e: (value(f"telm{e}_RPM"), value(f"telm{e}_MAP")) for e in (1, 2)}
        power[0] = power[1] if power[1] != (None, None) else power[2]

        def similar(then, engine):
            for now, was, band in zip(power[engine], then["power"][engine], (rpm_band, map_band)):
                if now is not None and (was is None or abs(was - now) > band + 1e-9):
                    return False
            return True

        baselines = {}
        searched = past[-10 * wanted:]
        for name, column, engine, kind, by_power in figures:
            taken = []
            for then in reversed(searched):
                if len(taken) == wanted:
                    break
                if then["values"][name] is None or (by_power and not similar(then, engine)):
                    continue
                taken.append(then["values"][name])
            if len(taken) >= least:
                baselines[name] = (quantile(taken, 0.5),
                                   quantile(taken, 0.75) - quantile(taken, 0.25), len(taken))
        row["values"], row["baselines"] = values, baselines
        past.append({"values": values, "power": power})
        rows.append(row)
    return rows, figures, drifts_of(profile, trends, figures, rows)


def drifts_of(profile, trends, figures, rows):
    """The drift findings: (first flight, figure, values in the row).

    A figure is watched with its least drift: a deviation with its engine's drift_egt_min or
    drift_cht_min (15), the oil temperature (15), oil pressure (5), fuel flow (1) and bus volts
    (0.5) or any other with its column's drift_min. It drifts in a flight when it is further from
    its baseline's median than drift_iqr (3) times the range and at least its least drift; in
    drift_flights (3) such flights with cruise in a row on one side, once; a flight without the
    figure or a baseline leaves the row as it stands."""
    k = trends.get("drift_iqr", 3)
    wanted = trends.get("drift_flights", 3)
    columns = profile.get("columns", {})
    defaults = {"o_t": 15, "oil_p": 5, "flow": 1, "m_v": 0.5}
    found = []
    for name, column, engine, kind, _ in figures:
        if kind.endswith("_dev"):
            setup = profile.get("engines", {}).get(str(engine), {})
            least = setup.get("drift_" + kind[:3] + "_min", 15)
        else:
            least = columns.get(column, {}).get("drift_min",
                                                 defaults.get(column.split("_", 1)[-1]
                                                              if column.startswith("telm")
                                                              else column))
        if least is None:
            continue
        streak = None
        for row in rows:
            v = row.get("values", {}).get(name)
            b = row.get("baselines", {}).get(name)
            if v is None or b is None:
                continue
            away = v - b[0]
            if abs(away) <= k * b[1] or abs(away) < least:
                streak = None
                continue
            side = 1 if away > 0 else -1
            if streak is None or streak["side"] != side:
                streak = {"side": side, "first": row["flight"], "values": [], "done": False}
            if streak["done"]:
                continue
            streak["values"].append(v)
            if len(streak["values"]) == wanted:
                streak["done"] = True
                found.append((streak["first"], name, streak["values"]))
    return found


def decimals_of(text):
    return len(text.split(".")[1]) if "." in text else 0


def check(case, profile_path, logs):
    rows, figures, drifts = model(profile_path, logs)
    given = ["--profile", profile_path] if profile_path else ["--no-profile"]
    got = table(*given, "--trends", "csv", *logs)
    assert len(got) == len(rows), (case, len(got), len(rows))
    # The model knows every figure the table has, and no other.
    shown = sorted(c[:-len("_median")] for c in (got[0] if got else {}) if c.endswith("_median"))
    assert shown == sorted(n for n, *_ in figures), (case, shown, sorted(n for n, *_ in figures))
    compared = 0
    for want, have in zip(rows, got):
        where = (case, want["flight"])
        assert int(have["flight"]) == want["flight"], where
        for e, h in want["hours"].items():
            assert abs(float(have[f"engine{e}_hours"]) - h) <= 0.005 + 1e-9, (where, e, have)
        if "findings_above_max" in have:
            for kind, n in want["findings"].items():
                assert int(have["findings_" + kind]) == n, (where, kind, have)
        s = want["segment"]
        if s is None:
            assert have["cruise_start"] == "" and all(have[n] == "" for n, *_ in figures), where
            continue
        assert have["cruise_start"] == s["start"], (where, have["cruise_start"], s["start"])
        assert int(have["cruise_seconds"]) == int(s["seconds"]), where
        for name, column, engine, kind, _ in figures:
            digits = decimals_of(s[column]) if s[column] else 0
            unit = 10.0 ** -digits
            if kind.endswith("_dev"):
                v = want["values"][name]
                assert (have[name] == "") == (v is None), (where, name)
                if v is not None:  # shown to a digit more
                    assert abs(float(have[name]) - v) <= 0.05 * unit + 1e-9, (where, name, have[name], v)
            else:
                assert have[name] == s[column], (where, name, have[name], s[column])
            b = want["baselines"].get(name)
            assert (have[name + "_median"] == "") == (b is None), (where, name, have, b)
            if b is None:
                continue
            # Shown to a digit more than the figure (a deviation's, to two more).
            slack = 0.05 * unit * (0.1 if kind.endswith("_dev") else 1) + 1e-9
            assert abs(float(have[name + "_median"]) - b[0]) <= slack, (where, name, have, b)
            assert abs(float(have[name + "_iqr"]) - b[1]) <= slack, (where, name, have, b)
            compared += 1
    assert compared > 0 or len(rows) < 10, case
    # The drift findings, by their first flight and figure, with the figure in each flight.
    found = {}
    for x in table(*given, "--findings", "csv", *logs):
        if x["kind"] == "drift":
            found[(int(x["flight"]), x["column"])] = [float(v) for v in x["values"].split()]
    want = {(flight, name): values for flight, name, values in drifts}
    assert sorted(found) == sorted(want), (case, sorted(found), sorted(want))
    for key, values in want.items():
        assert len(found[key]) == len(values), (case, key)
        for a, b in zip(found[key], values):
            assert abs(a - b) <= 0.051 * 10 ** -(decimals_of(str(a)) - 1), (case, key, a, b)
    print(f"{case}: {compared} baselines, {len(want)} drift findings")
    return compared


with tempfile.TemporaryDirectory() as tmp:
    def synthesize(name, *options):
        path = os.path.join(tmp, name)
        subprocess.run([synth, "-o", path, *options], check=True, capture_output=True)
        return path

    # A profile whose baselines are short, so that its ring of past flights turns over.
    short = os.path.join(tmp, "short.toml")
    with open(sample_profile) as f:
        text = f.read()
    text = text.replace("baseline_flights = 20", "baseline_flights = 3").replace(
        "baseline_min = 5", "baseline_min = 2").replace("power_map = 1.5", "power_map = 0.8")
    assert "baseline_flights = 3" in text
    # And drift that the range decides more often than the least drift does.
    text = text.replace("drift_iqr = 3\n", "drift_iqr = 1.5\n").replace(
        "drift_flights = 3\n", "drift_flights = 2\n")
    assert "drift_iqr = 1.5" in text and "drift_flights = 2" in text
    text = text.replace("[engines.1]\n", "[engines.1]\ndrift_cht_min = 2\ndrift_egt_min = 3\n")
    text = text.replace("[columns.telm1_oil_p]\n", "[columns.telm1_oil_p]\ndrift_min = 0.3\n")
    assert "drift_cht_min" in text and "drift_min = 0.3" in text
    with open(short, "w") as f:
        f.write(text)
    long_history = synthesize("long.rec", "--flights", "60", "--seed", "7", "--exceedances")
    early = synthesize("early.rec", "--flights", "40", "--seed", "11", "--download-after", "25",
                       "--capacity", "30000000")
    late = synthesize("late.rec", "--flights", "40", "--seed", "11", "--capacity", "30000000")
    worn = synthesize("worn.rec", "--flights", "80", "--seed", "4", "--drift", "50")
    cases = [
        ("sample", sample_profile, [os.path.join(repo, "examples", "Korvex.rec")]),
        ("worn", sample_profile, [worn]),
        ("worn, short baselines", short, [worn]),
        ("60 flights", sample_profile, [long_history]),
        ("60 flights, short baselines", short, [long_history]),
        ("two downloads", sample_profile, [late, early]),
        ("no profile", None, [long_history]),
    ]
    total = 0
    for name, profile_path, logs in cases:
        total += check(name, profile_path, logs)
    print(f"trends: {total} baselines agree with the model")
