"""The sqlite format read by real clients: Python's sqlite3 finds every record of the csv table,
each value typed (INTEGER or REAL, the csv's number; a coordinate the logged float, which the
csv shows to 5 decimals) or NULL where the csv cell is empty, time
NULL and clock the raw seconds for raw-clock records; the sqlite3 program compares numbers as
numbers (max of RPM) and groups flights in numeric order. The table `columns` describes each
column of `records`, in order, with the type it holds. Each record's phase is the one csv gives,
also after a later log is added (the flights and their phases found anew over the history), and
a logbook of schema version 1 gains the phases when added to; the cruise table holds what
--cruise lists. A file that is no SQLite database is refused and left as it was unless --force; a
run that fails leaves no file.
    python3 tests/clients/sqlite_logbook.py KORVEXLOGDUMP REPOSITORY KORVEX_SYNTH"""
import csv
import json
import io
import os
import shutil
import sqlite3
import subprocess
import sys
import tempfile

tool, repo, synth = sys.argv[1], sys.argv[2], sys.argv[3]


def run(*args, check=True):
    return subprocess.run([tool, "-q", *args], capture_output=True, text=True, check=check)


def csv_value(cell):
    if cell == "":
        return None
    if ":" in cell:  # M:SS
        minutes, seconds = cell.split(":")
        return int(minutes) * 60 + (int(seconds) if not minutes.startswith("-") else -int(seconds))
    return float(cell) if "." in cell else int(cell)


with tempfile.TemporaryDirectory() as folder:
    many = os.path.join(folder, "many.rec")
    subprocess.run([synth, "-o", many, "--flights", "12", "--sections", "telm1,gps", "--seed", "3"],
                   check=True, capture_output=True)
    logs = [f"{repo}/examples/Korvex.rec", f"{repo}/tests/golden/logs/flights.rec", many]
    for log in logs:
        db = os.path.join(folder, os.path.basename(log) + ".db")
        run("-o", db, "sqlite", log)
        table = list(csv.reader(io.StringIO(run("csv", log).stdout)))
        header, rows = table[0], table[1:]
        con = sqlite3.connect(db)
        cursor = con.execute("SELECT * FROM records ORDER BY rowid")
        names = [d[0] for d in cursor.description]
        records = cursor.fetchall()
        assert names[:6] == ["time", "clock", "layout", "flight", "flight_id", "phase"], names
        assert names[6:-1] == header[2:] and names[-1] == "record_key", names
        # A flight's key: the clock of its first record.
        first_clock = {}
        for rec in records:
            first_clock.setdefault(rec[3], rec[1])
        assert all(rec[4] == first_clock[rec[3]] for rec in records), log
        phases = [r[2] for r in csv.reader(io.StringIO(run("--columns", "phase", "csv",
                                                          log).stdout))][1:]
        assert [r[5] for r in records] == phases, log
        assert len(records) == len(rows), f"{log}: {len(records)} records, {len(rows)} rows"
        for row, rec in zip(rows, records):
            time, clock, layout, flight = rec[:4]
            if time is None:
                assert layout < 2 and str(clock) == row[0], (row[0], clock, layout)
            else:
                assert time == row[0], (time, row[0])
            assert flight == int(row[1]) and type(flight) is int
            for name, cell, value in zip(header[2:], row[2:], rec[6:-1]):
                want = csv_value(cell)
                assert type(value) is type(want), (log, name, cell, value)
                if name in ("lat", "long") and want is not None:
                    # The logged float; the csv shows it to 5 decimals.
                    assert abs(value - want) <= 0.0000051, (log, name, cell, value)
                else:
                    assert value == want, (log, name, cell, value)
        # The data dictionary: a row per column of records, in order, with the type each holds.
        described = con.execute("SELECT name, type FROM columns ORDER BY rowid").fetchall()
        assert [name for name, _ in described] == names, described
        for name, kind in described:
            held = {t for (t,) in con.execute(
                f'SELECT DISTINCT typeof("{name}") FROM records WHERE "{name}" IS NOT NULL')}
            assert held <= {kind}, (log, name, kind, held)
        # Types and numeric order in the sqlite3 program.
        if shutil.which("sqlite3") and "telm1_RPM" in header:
            out = subprocess.run(["sqlite3", db, "SELECT typeof(alt), typeof(b_v), "
                                  "max(telm1_RPM) FROM records; "
                                  "SELECT flight FROM records GROUP BY flight"],
                                 capture_output=True, text=True, check=True).stdout.split()
            rpm = max(int(r[header.index("telm1_RPM")]) for r in rows if r[header.index("telm1_RPM")])
            assert out[0] == f"integer|real|{rpm}", out[0]
            flights = sorted({int(r[1]) for r in rows})
            assert [int(f) for f in out[1:]] == flights, out[1:]
        con.close()
    assert len(flights) == 12  # the last log: GROUP BY ordered 1..12 as numbers

    # Calibrations: the logbook keeps the logged values and its columns table the profile's
    # scale, offset and table; applied in SQL (and, for the table, here), they are the values
    # csv writes with --calibrated.
    sample = f"{repo}/examples/Korvex.rec"
    profile = ["--profile", f"{repo}/examples/Korvex.profile.toml"]
    db = os.path.join(folder, "calibrated.db")
    run(*profile, "-o", db, "sqlite", sample)
    table = list(csv.reader(io.StringIO(run(*profile, "--calibrated", "--columns",
                                             "telm1_MAP,telm1_fl1,telm1_RPM", "csv",
                                             sample).stdout)))
    con = sqlite3.connect(db)
    (scale, offset, no_table), = con.execute(
        "SELECT scale, offset, \"table\" FROM columns WHERE name = 'telm1_MAP'")
    assert (scale, offset, no_table) == (0.1, 0.0, None), (scale, offset, no_table)
    (pairs,) = con.execute("SELECT \"table\" FROM columns WHERE name = 'telm1_fl1'").fetchone()
    pairs = json.loads(pairs)
    assert con.execute("SELECT scale FROM columns WHERE name = 'telm1_RPM'").fetchone() == (None,)

    def by_table(x):
        if x <= pairs[0][0]:
            return pairs[0][1]
        for (x0, y0), (x1, y1) in zip(pairs, pairs[1:]):
            if x <= x1:
                return y0 + (y1 - y0) * (x - x0) / (x1 - x0)
        return pairs[-1][1]

    stored = con.execute("SELECT telm1_MAP * scale + offset, telm1_fl1, telm1_RPM FROM records, "
                         "columns WHERE columns.name = 'telm1_MAP' ORDER BY records.rowid").fetchall()
    assert len(stored) == len(table) - 1
    for row, (map_inhg, level, rpm) in zip(table[1:], stored):
        assert row[2] == f"{map_inhg:.1f}", (row, map_inhg)
        assert row[3] == f"{by_table(level):.1f}", (row, level)
        assert row[4] == str(rpm), (row, rpm)
    con.close()

    # The cruise table: what --cruise lists, the times as text and clock, numbers typed.
    listed = list(csv.reader(io.StringIO(run(*profile, "--cruise", "csv", sample).stdout)))
    con = sqlite3.connect(db)
    cursor = con.execute("SELECT * FROM cruise ORDER BY start_clock")
    names = [d[0] for d in cursor.description]
    stored = cursor.fetchall()
    assert names[:6] == ["flight", "start", "start_clock", "end", "end_clock", "seconds"], names
    assert names[6:-2] == listed[0][4:] and names[-2:] == ["aircraft", "flight_id"], names
    assert len(stored) == len(listed) - 1 > 0, stored
    for row, segment in zip(listed[1:], stored):
        assert (segment[0], segment[1], segment[3], segment[5]) == (
            int(row[0]), row[1], row[2], int(row[3])), (row, segment)
        assert list(segment[6:-2]) == [csv_value(c) for c in row[4:]], (row, segment)
    con.close()

    # A logbook of schema version 1 (no phases, no cruise table, no imports) gains them when
    # added to: each
    # record's phase is then the one a new logbook of both logs holds.
    old, new = os.path.join(folder, "version1.db"), os.path.join(folder, "both.db")
    later = os.path.join(folder, "later.rec")
    subprocess.run([synth, "-o", later, "--flights", "2", "--seed", "5", "--date", "2026-06-15"],
                   check=True, capture_output=True)
    run("-o", old, "sqlite", sample)
    with sqlite3.connect(old) as con:
        con.execute("ALTER TABLE records DROP COLUMN phase")
        con.execute("DROP TABLE cruise")
        con.execute("DROP TABLE imports")
        con.execute("DROP TABLE aircraft")
        con.execute("PRAGMA user_version = 1")
    run("-o", old, "sqlite", later)
    run("-o", new, "sqlite", sample, later)
    query = "SELECT clock, flight, phase FROM records ORDER BY clock, rowid"
    with sqlite3.connect(old) as a, sqlite3.connect(new) as b:
        assert a.execute("PRAGMA user_version").fetchone() == (3,)
        assert a.execute("SELECT count(*) FROM imports").fetchone() == (1,), "imports"
        upgraded, made = a.execute(query).fetchall(), b.execute(query).fetchall()
        assert upgraded == made and None not in {p for _, _, p in made}, "phases differ"
        assert a.execute("SELECT count(*) FROM cruise").fetchone()[0] > 0

    # A file that is no database is refused and left; --force replaces it; a failed run leaves
    # nothing.
    db = os.path.join(folder, "logbook.db")
    with open(db, "wb") as f:
        f.write(b"not yet a logbook")
    refused = run("-o", db, "sqlite", logs[0], check=False)
    assert refused.returncode == 1 and "is no SQLite database" in refused.stderr, refused.stderr
    assert open(db, "rb").read() == b"not yet a logbook"
    run("-f", "-o", db, "sqlite", logs[0])
    assert sqlite3.connect(db).execute("SELECT count(*) FROM records").fetchone()[0] == 4901
    before = set(os.listdir(folder))
    failed = run("-o", os.path.join(folder, "new.db"), "sqlite", logs[0], "missing.rec",
                 check=False)
    assert failed.returncode != 0 and set(os.listdir(folder)) == before, failed.stderr
print("sqlite3 and Python's sqlite3 read the typed records")
