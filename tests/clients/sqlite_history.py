"""A logbook that grows with each download, read by Python's sqlite3:
- the sample, a second download overlapping it, the sample again: the records are the union
  (as csv gives the two logs together), sources has a row per import (the last adding none, the
  digest that of the file), flights and findings equal --flights and --findings of the two logs;
- a log older than the logbook's records renumbers its flights, and a log with blocks the
  logbook lacks adds their columns (NULL in the records it held);
- a database of another application, or of a newer schema, is refused with status 1 and left
  byte-identical; a logbook another program is writing to is left alone (status 8). (Runs
  killed at any moment: killed_imports.py.)
    python3 tests/clients/sqlite_history.py KORVEXLOGDUMP REPOSITORY KORVEX_SYNTH"""
import csv
import hashlib
import io
import os
import shutil
import sqlite3
import subprocess
import sys
import tempfile

tool, repo, synth = sys.argv[1], sys.argv[2], sys.argv[3]
sample = f"{repo}/examples/Korvex.rec"
profile = f"{repo}/examples/Korvex.profile.toml"


def run(*args, check=True):
    return subprocess.run([tool, "-q", *args], capture_output=True, text=True, check=check)


def table(*args):
    return list(csv.DictReader(io.StringIO(run(*args).stdout)))


def synthesize(path, *args):
    subprocess.run([synth, "-o", path, *args], check=True, capture_output=True)


def typed(cell):
    """A cell of the csv tables as the logbook holds it: H:MM:SS as seconds, numbers, NULL."""
    if cell == "":
        return None
    if cell.count(":") == 2 and "T" not in cell:
        h, m, s = cell.split(":")
        return int(h) * 3600 + int(m) * 60 + int(s)
    try:
        return float(cell)
    except ValueError:
        return cell


def same_rows(con, sql, rows, name):
    """The rows of the query equal the csv rows, column by column (start_clock and the like
    are the logbook's own; they stand for a raw-clock start or end, which is NULL)."""
    cursor = con.execute(sql)
    names = [d[0] for d in cursor.description]
    got = cursor.fetchall()
    assert len(got) == len(rows), f"{name}: {len(got)} rows, {len(rows)} in the csv"
    for row, values in zip(rows, got):
        for column, value in zip(names, values):
            if column not in row:
                continue
            want = typed(row[column])
            if value is None and f"{column}_clock" in names:  # a raw-clock start or end
                value = values[names.index(f"{column}_clock")]
            if isinstance(want, float):
                # A coordinate is the logged float, which the csv shows to 5 decimals.
                near = 0.0000051 if column in ("lat", "long") else 0
                assert isinstance(value, (int, float)) and abs(value - want) <= near, (
                    name, column, row[column], value)
            else:
                assert value == want, (name, column, row[column], value)


def unchanged(path, before, what):
    with open(path, "rb") as f:
        assert f.read() == before, f"{what}: the database changed"


with tempfile.TemporaryDirectory() as folder:
    # A second download: the sample from a third of its bytes on, then a flight the next day.
    with open(sample, "rb") as f:
        data = f.read()
    later = os.path.join(folder, "later.rec")
    synthesize(later, "--date", "2026-06-15", "--flights", "1", "--seed", "5", "--exceedances")
    second = os.path.join(folder, "second.rec")
    with open(second, "wb") as f, open(later, "rb") as g:
        f.write(data[data.find(b"\xaa\x55", len(data) // 3):] + g.read())

    book = os.path.join(folder, "logbook.db")
    for log in (sample, second, sample):
        run("--profile", profile, "-o", book, "sqlite", log)
    con = sqlite3.connect(book)
    union = table("csv", sample, second)
    # Every record once, in order of time, each with its flight over the whole history.
    same_rows(con, "SELECT coalesce(time, clock) AS Time, flight, alt, telm1_RPM, lat FROM records "
              "ORDER BY clock, rowid", union, "records")
    sources = con.execute("SELECT name, size, sha256, records_read, records_added, imported "
                          "FROM sources ORDER BY id").fetchall()
    assert [s[0] for s in sources] == ["Korvex.rec", "second.rec", "Korvex.rec"], sources
    assert [s[4] for s in sources] == [4901, len(union) - 4901, 0], sources
    assert sources[0][1] == len(data) and sources[0][2] == hashlib.sha256(data).hexdigest()
    assert sources[0][2] == sources[2][2] and sources[1][3] > sources[1][4] > 0, sources
    assert all(s[5].endswith("Z") for s in sources), sources
    same_rows(con, "SELECT * FROM flights ORDER BY flight",
              table("--flights", "--profile", profile, "csv", sample, second), "flights")
    findings = table("--findings", "--profile", profile, "csv", sample, second)
    assert len(findings) >= 5, findings
    same_rows(con, "SELECT * FROM findings ORDER BY rowid", findings, "findings")
    con.close()

    # An older download, and one without the blocks: flights renumbered, columns added.
    early = os.path.join(folder, "early.rec")
    synthesize(early, "--date", "2026-06-10", "--flights", "2", "--sections", "none")
    growing = os.path.join(folder, "growing.db")
    run("-o", growing, "sqlite", early)
    con = sqlite3.connect(growing)
    assert "lat" not in [r[1] for r in con.execute("PRAGMA table_info(records)")]
    con.close()
    run("-o", growing, "sqlite", later)
    run("-o", growing, "sqlite", sample)
    con = sqlite3.connect(growing)
    same_rows(con, "SELECT coalesce(time, clock) AS Time, flight, alt, telm1_RPM, lat FROM records "
              "ORDER BY clock, rowid", table("csv", early, sample, later), "grown records")
    same_rows(con, "SELECT * FROM flights ORDER BY flight",
              table("--flights", "csv", early, sample, later), "grown flights")
    assert con.execute("SELECT count(*) FROM columns WHERE name = 'lat'").fetchone() == (1,)
    con.close()

    # Another application's database, and a logbook of a newer schema: refused, unchanged.
    other = os.path.join(folder, "other.db")
    con = sqlite3.connect(other)
    con.execute("CREATE TABLE notes (text TEXT)")
    con.execute("INSERT INTO notes VALUES ('mine')")
    con.commit()
    con.close()
    newer = os.path.join(folder, "newer.db")
    shutil.copyfile(book, newer)
    con = sqlite3.connect(newer)
    con.execute("PRAGMA user_version = 4")
    con.close()
    for path, why in ((other, "is a database of another kind"),
                      (newer, "is a logbook of a newer KorvexLogDump")):
        with open(path, "rb") as f:
            before = f.read()
        names = set(os.listdir(folder))
        refused = run("-o", path, "sqlite", sample, check=False)
        assert refused.returncode == 1 and why in refused.stderr, refused.stderr
        unchanged(path, before, path)
        assert set(os.listdir(folder)) == names, "a file was left"

    # Another program writing to the logbook (another run adding to it): the run fails at once
    # and changes nothing.
    with open(book, "rb") as f:
        before = f.read()
    writer = sqlite3.connect(book, isolation_level=None)
    writer.execute("BEGIN IMMEDIATE")
    busy = run("-o", book, "sqlite", later, check=False)
    writer.execute("ROLLBACK")
    writer.close()
    assert busy.returncode == 8 and "is being changed by another program" in busy.stderr, busy
    unchanged(book, before, "busy logbook")

print("the logbook grows by the union of the downloads, and stays whole when refused")
