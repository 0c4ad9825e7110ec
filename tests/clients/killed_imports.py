"""Imports killed with SIGKILL at moments spread over their run, into an existing logbook and
into a new one: afterwards Python's sqlite3 finds the logbook's content of before the run (or of
after it, once the commit was done), PRAGMA integrity_check is ok, and the next import completes
with the content a run that was never killed gives.
    python3 tests/clients/killed_imports.py KORVEXLOGDUMP KORVEX_SYNTH"""
import os
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time

tool, synth = sys.argv[1], sys.argv[2]
KILLS = 25  # of each kind


# The large tables by sums over every row; the others row by row.
SUMS = {
    "records": "count(*), total(record_key), sum(record_key % 1000003), sum(clock), sum(flight), sum(length(phase)), "
               "sum(alt), sum(telm1_tc1)",
    "packets": "count(*), sum(record), sum(length(packet)), sum(hex(substr(packet, 9, 4)) > '8')",
}


def content(path):
    """What the logbook holds, table by table, without the times of its imports; None when
    there is no file."""
    if not os.path.exists(path):
        return None
    con = sqlite3.connect(path)
    try:
        assert con.execute("PRAGMA integrity_check").fetchone() == ("ok",), path
        held = []
        tables = [r[0] for r in con.execute(
            "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name")]
        for table in tables:
            names = [r[1] for r in con.execute(f"PRAGMA table_info({table})")
                     if r[1] != "imported"]
            columns = ", ".join(f'"{n}"' for n in names)
            query = (f'SELECT {SUMS[table]} FROM "{table}"' if table in SUMS
                     else f'SELECT {columns} FROM "{table}" ORDER BY rowid')
            held.append((table, names, con.execute(query).fetchall()))
        return held
    finally:
        con.close()


def timed_import(book, log):
    start = time.monotonic()
    subprocess.run([tool, "-q", "-o", book, "sqlite", log], check=True, capture_output=True)
    return time.monotonic() - start


with tempfile.TemporaryDirectory() as folder:
    first = os.path.join(folder, "first.rec")
    later = os.path.join(folder, "later.rec")
    for path, more in ((first, ["--download-after", "12"]), (later, [])):
        subprocess.run([synth, "-o", path, "--hours", "16", "--seed", "7", *more], check=True,
                       capture_output=True)
    base = os.path.join(folder, "base.db")
    timed_import(base, first)
    done = os.path.join(folder, "done.db")
    shutil.copyfile(base, done)
    seconds = timed_import(done, later)
    fresh = os.path.join(folder, "fresh.db")
    fresh_seconds = timed_import(fresh, first)
    before, after, made = content(base), content(done), content(fresh)
    outcomes = {"before": 0, "after": 0}
    for kind in ("existing", "new"):
        for i in range(KILLS):
            book = os.path.join(folder, f"{kind}-{i}.db")
            if kind == "existing":
                shutil.copyfile(base, book)
                log, span, was, becomes = later, seconds, before, after
            else:
                log, span, was, becomes = first, fresh_seconds, None, made
            killed = subprocess.Popen([tool, "-q", "-o", book, "sqlite", log],
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(span * (i + 0.5) / KILLS)
            killed.send_signal(signal.SIGKILL)
            killed.wait()
            found = content(book)
            assert found in (was, becomes), f"{kind} import killed at {i}: its content is neither"
            outcomes["before" if found == was else "after"] += 1
            # The next import completes; after a kill before the commit, the logbook is what
            # the import would have made of it.
            again = subprocess.run([tool, "-q", "-o", book, "sqlite", log], capture_output=True,
                                   text=True)
            assert again.returncode == 0, again.stderr
            again_holds = content(book)
            if found == was:
                assert again_holds == becomes, f"{kind} import after the kill at {i}"
            assert not [n for n in os.listdir(folder) if n.startswith(f".{kind}-{i}.db")], \
                "a hidden file was left"
            os.remove(book)
    assert outcomes["before"] > 0, outcomes
print(f"{2 * KILLS} imports killed: the logbook as it was or as it became ({outcomes})")
