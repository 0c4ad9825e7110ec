"""pandas reads a logbook (the sample and a later flight of another download) with read_sql:
every column of records and flights is a number but the times, and the numbers are the csv's.
    python3 tests/clients/pandas_logbook.py KORVEXLOGDUMP REPOSITORY KORVEX_SYNTH"""
import os
import sqlite3
import subprocess
import sys
import tempfile

import pandas

tool, repo, synth = sys.argv[1], sys.argv[2], sys.argv[3]
sample = f"{repo}/examples/Korvex.rec"

with tempfile.TemporaryDirectory() as folder:
    later = os.path.join(folder, "later.rec")
    subprocess.run([synth, "-o", later, "--date", "2026-06-15", "--flights", "1", "--sections",
                    "telm1,gps"], check=True, capture_output=True)
    book = os.path.join(folder, "logbook.db")
    for log in (sample, later):
        subprocess.run([tool, "-q", "-o", book, "sqlite", log], check=True, capture_output=True)
    with sqlite3.connect(book) as con:
        records = pandas.read_sql("SELECT * FROM records", con)
        flights = pandas.read_sql("SELECT * FROM flights", con)
        cruise = pandas.read_sql("SELECT * FROM cruise", con)
        one = pandas.read_sql("SELECT time, alt, telm1_RPM, telm1_oil_p FROM records "
                              "WHERE flight = ? ORDER BY clock", con, params=(3,),
                              parse_dates=["time"], index_col="time")
    assert len(cruise) > 0
    for frame, texts in ((records, {"time", "phase"}), (flights, {"start", "end", "partial"}),
                         (cruise, {"start", "end", "aircraft"})):
        objects = {c for c in frame.columns if frame[c].dtype == object}
        assert objects == texts, objects
    out = subprocess.run([tool, "-q", "csv", sample, later], capture_output=True, check=True)
    with open(os.path.join(folder, "table.csv"), "wb") as f:
        f.write(out.stdout)
    table = pandas.read_csv(os.path.join(folder, "table.csv"), low_memory=False)
    assert len(records) == len(table) and records["telm1_RPM"].max() == table["telm1_RPM"].max()
    assert records["telm1_oil_p"].sum() == table["telm1_oil_p"].sum()
    assert len(one) == (table["flight"] == 3).sum() and str(one.index.dtype).startswith("datetime")
    assert list(flights["flight"]) == [1, 2, 3], flights["flight"]
print("pandas reads the logbook's records and flights as numbers")
