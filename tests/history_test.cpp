// One aircraft's history: logs of two instruments never mix, whatever the order; one
// instrument's downloads and a history given twice merge; a logbook given as a log is read as
// the downloads it was made of; a file that holds no record is named.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "support/csv_cells.h"
#include "support/run_capture.h"
#include "support/temp_folder.h"

namespace korvex::test {
namespace {

using Args = std::vector<std::string>;

std::string bytes_of(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class History : public TempFolderTest {
 protected:
  // A log the synthesizer writes with these options (the same day whatever the seed).
  std::string synthesize(const std::string& name, const std::string& options) {
    const std::string file = path(name);
    EXPECT_EQ(
        std::system(
            (std::string(KORVEX_SYNTH) + " " + options + " -o " + file + " 2>/dev/null").c_str()),
        0);
    return file;
  }
  ProcessResult run(Args args) {
    args.insert(args.begin(), "-q");
    return run_tool_process(args);
  }
};

// Two aircraft flying the same hours: refused as several logs and into one logbook, in both
// orders, before anything is written, naming both and the hours; --merge-instruments reads them
// as one all the same.
TEST_F(History, TwoInstrumentsNeverMix) {
  const std::string n101 = synthesize("N101.rec", "--flights 4 --seed 1");
  const std::string n102 = synthesize("N102.rec", "--flights 4 --seed 2");
  const std::string hours =
      " both hold 06/14/2026 08:17 to 16:16 but share no record: they come "
      "from two instruments; give each aircraft's logs apart";
  struct Case {
    std::string first, second;
  };
  for (const Case& c : {Case{n101, n102}, Case{n102, n101}}) {
    const std::string first = std::filesystem::path(c.first).filename().string();
    const std::string second = std::filesystem::path(c.second).filename().string();
    SCOPED_TRACE(first + " then " + second);
    for (const std::string format : {"csv", "tab", "html"}) {
      const ProcessResult logs = run({format, c.first, c.second});
      EXPECT_EQ(logs.status, 1);
      EXPECT_EQ(logs.out, "");
      EXPECT_NE(logs.err.find(second + " and " + first + hours), std::string::npos) << logs.err;
    }
    const std::string book = path("book.db");
    std::filesystem::remove(book);
    ASSERT_EQ(run({"-o", book, "sqlite", c.first}).status, 0);
    const std::string before = bytes_of(book);
    const ProcessResult into = run({"-o", book, "sqlite", c.second});
    EXPECT_EQ(into.status, 1);
    EXPECT_NE(into.err.find(second + " and book.db" + hours), std::string::npos) << into.err;
    EXPECT_NE(into.err.find("Nothing was written to " + book), std::string::npos) << into.err;
    EXPECT_EQ(bytes_of(book), before);
    // The logbook read as a log, with the other aircraft's.
    EXPECT_EQ(run({"--flights", "csv", book, c.second}).status, 1);
    const ProcessResult merged = run({"--merge-instruments", "csv", c.first, c.second});
    EXPECT_EQ(merged.status, 0) << merged.err;
  }
}

// One instrument's downloads overlap and merge, a history given twice too, and a logbook read
// as a log is the downloads it was made of, in every format.
TEST_F(History, ALogbookReadAsALogIsItsDownloads) {
  const std::string early = synthesize("early.rec", "--flights 5 --seed 3 --download-after 3");
  const std::string late = synthesize("late.rec", "--flights 5 --seed 3");
  const std::string book = path("book.db");
  ASSERT_EQ(run({"-o", book, "sqlite", early}).status, 0);
  const ProcessResult added = run({"-o", book, "sqlite", late});
  ASSERT_EQ(added.status, 0) << added.err;
  const std::string profile = KORVEX_SAMPLE_PROFILE;
  const std::vector<Args> forms = {
      {"csv"},
      {"tab"},
      {"space"},
      {"--flights", "csv"},
      {"--profile", profile, "--findings", "csv"},
      {"--cruise", "tsv"},
      {"--flight", "2-3", "--columns", "alt,telm1_RPM", "tsv"},
      {"--profile", profile, "html"},
      {"gpx"},
      {"kml"},
  };
  for (const Args& form : forms) {
    std::string shown;
    for (const std::string& a : form) shown += a + " ";
    SCOPED_TRACE(shown);
    Args downloads = form, logbook = form, twice = form, overlapping = form;
    downloads.insert(downloads.end(), {early, late});
    logbook.push_back(book);
    twice.insert(twice.end(), {book, late, early});
    overlapping.push_back(late);
    const ProcessResult want = run(downloads);
    ASSERT_EQ(want.status, 0) << want.err;
    const std::string titled = "Flight report: early.rec, late.rec";
    for (const Args& args : {logbook, twice}) {
      ProcessResult got = run(args);
      EXPECT_EQ(got.status, 0) << got.err;
      // The report names what it was made of.
      for (const std::string title :
           {"Flight report: book.db, late.rec, early.rec", "Flight report: book.db"}) {
        for (std::size_t at; (at = got.out.find(title)) != std::string::npos;) {
          got.out.replace(at, title.size(), titled);
        }
      }
      EXPECT_TRUE(got.out == want.out) << "differs from the downloads read together";
    }
  }
}

// The value of a query's first row and column, as text ("" for none).
std::string query_text(const std::string& book, const std::string& sql) {
  sqlite3* db = nullptr;
  std::string text;
  if (sqlite3_open_v2(book.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_text(stmt, 0) != nullptr) {
      text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    }
    sqlite3_finalize(stmt);
  }
  sqlite3_close(db);
  return text;
}

// A logbook knows its aircraft: the registration and serials of the profile of its first
// import, each import's profile (text and digest), the registration in its flights, findings
// and cruise; a profile naming another aircraft is refused and changes nothing; read as a log
// without --profile it gives the profile of its latest import, and says so.
TEST_F(History, ALogbookKnowsItsAircraft) {
  const std::string sample_profile = bytes_of(KORVEX_SAMPLE_PROFILE);
  const std::string n101 = path("n101.toml");
  const std::string n102 = path("n102.toml");
  const auto with_registration = [&](const std::string& file, const std::string& registration) {
    std::string text = sample_profile;
    text.replace(text.find("\"N123KX\""), 8, "\"" + registration + "\"");
    std::ofstream(file) << text;
  };
  with_registration(n101, "N101");
  with_registration(n102, "N102");
  const std::string early =
      synthesize("early.rec", "--flights 4 --seed 4 --exceedances --download-after 2");
  const std::string late = synthesize("late.rec", "--flights 4 --seed 4 --exceedances");
  const std::string book = path("book.db");
  ASSERT_EQ(run({"--profile", n101, "-o", book, "sqlite", early}).status, 0);
  EXPECT_EQ(query_text(book,
                       "SELECT registration || ' ' || serial || ' ' || engine1_serial "
                       "FROM aircraft"),
            "N101 KX-1042 L-23871-51A");
  EXPECT_EQ(query_text(book, "SELECT profile_path FROM imports"), n101);
  EXPECT_EQ(query_text(book, "SELECT profile FROM imports"), bytes_of(n101));
  const ProcessResult digest = run_tool_process({"-c", "sha256sum " + n101}, "", "/bin/sh");
  EXPECT_EQ(query_text(book, "SELECT profile_sha256 FROM imports"), digest.out.substr(0, 64));
  for (const std::string table : {"flights", "findings", "cruise"}) {
    EXPECT_EQ(
        query_text(book, "SELECT group_concat(DISTINCT coalesce(aircraft, '-')) FROM " + table),
        "N101")
        << table;
  }
  // Its data dictionary labels the cylinders as the findings and the report name them.
  EXPECT_EQ(query_text(book,
                       "SELECT group_concat(label, ',') FROM columns WHERE name IN "
                       "('telm1_tc1', 'telm1_tc9', 'telm1_o_t', 'telm2_tc12')"),
            "Oil temperature,EGT 1,CHT 3,CHT 6");
  // Another aircraft's profile: refused, both named, nothing changed.
  const std::string before = bytes_of(book);
  const ProcessResult other = run({"--profile", n102, "-o", book, "sqlite", late});
  EXPECT_EQ(other.status, 1);
  EXPECT_NE(other.err.find("the profile " + n102 +
                           " names N102, but book.db is the logbook of "
                           "N101"),
            std::string::npos)
      << other.err;
  EXPECT_EQ(bytes_of(book), before);
  // Without a profile the import keeps the aircraft; read as a log, the logbook gives the
  // profile of its latest import.
  ASSERT_EQ(run({"--no-profile", "-o", book, "sqlite", late}).status, 0);
  EXPECT_EQ(query_text(book, "SELECT count(*) FROM imports WHERE registration = 'N101'"), "2");
  const ProcessResult read = run({"--flights", "csv", book});
  EXPECT_EQ(read.status, 0);
  EXPECT_NE(read.err.find("Using the profile of book.db's latest import (" + n101 + ")\n"),
            std::string::npos)
      << read.err;
  EXPECT_EQ(read.out.substr(0, 16), "aircraft,flight,");
  EXPECT_EQ(read.out.substr(read.out.find('\n') + 1, 7), "N101,1,");
  const ProcessResult given = run({"--profile", n101, "--flights", "csv", early, late});
  EXPECT_EQ(read.out, given.out);
  // Two aircraft's logbooks read together.
  const std::string other_book = path("other.db");
  ASSERT_EQ(run({"--profile", n102, "-o", other_book, "sqlite", KORVEX_SAMPLE}).status, 0);
  const ProcessResult both = run({"csv", book, other_book});
  EXPECT_EQ(both.status, 1);
  EXPECT_NE(both.err.find("other.db is the logbook of N102"), std::string::npos) << both.err;
}

// Every row of a query, a line each, its values apart by '|'.
std::string rows_text(const std::string& book, const std::string& sql) {
  sqlite3* db = nullptr;
  std::string text;
  if (sqlite3_open_v2(book.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK) {
      while (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
          const unsigned char* v = sqlite3_column_text(stmt, c);
          text += (c == 0 ? "" : "|") +
                  std::string(v != nullptr ? reinterpret_cast<const char*>(v) : "NULL");
        }
        text += "\n";
      }
    }
    sqlite3_finalize(stmt);
  }
  sqlite3_close(db);
  return text;
}

// Each row of a table written as csv (its header names the columns) equals the logbook's table
// of that name, row for row in the order of start_clock, numbers as numbers; but flight_id,
// which a logbook keeps from the import that first held the flight.
void expect_same_table(const std::string& book, const std::string& table, const std::string& csv) {
  std::istringstream lines(csv);
  std::string line;
  std::getline(lines, line);
  std::vector<std::string> names = csv_cells(line);
  std::string select;
  for (const std::string& name : names) select += (select.empty() ? "\"" : ", \"") + name + "\"";
  std::istringstream stored(
      rows_text(book, "SELECT " + select + " FROM " + table + " ORDER BY start_clock"));
  int rows = 0;
  for (std::string row; std::getline(lines, line); ++rows) {
    ASSERT_TRUE(std::getline(stored, row)) << "row " << rows << " missing";
    const std::vector<std::string> want = csv_cells(line);
    std::vector<std::string> have;
    for (std::size_t at = 0, bar = 0; bar != std::string::npos; at = bar + 1) {
      bar = row.find('|', at);
      have.push_back(row.substr(at, bar == std::string::npos ? bar : bar - at));
    }
    ASSERT_EQ(have.size(), want.size()) << row;
    for (std::size_t c = 0; c < want.size(); ++c) {
      if (names[c] == "flight_id") continue;
      char* end = nullptr;
      const double w = std::strtod(want[c].c_str(), &end);
      const bool number = !want[c].empty() && *end == '\0';
      if (number) {
        EXPECT_NEAR(std::strtod(have[c].c_str(), nullptr), w, 1e-9) << names[c] << " " << line;
      } else {
        EXPECT_EQ(have[c], want[c].empty() ? "NULL" : want[c]) << names[c];
      }
    }
  }
  EXPECT_GT(rows, 0);
}

// The drift findings of --findings csv as rows_text gives the logbook's: flight|column|values.
std::string drift_rows(const std::string& csv) {
  std::istringstream lines(csv);
  std::string line, rows;
  while (std::getline(lines, line)) {
    const std::vector<std::string> c = csv_cells(line);
    if (c.size() > 13 && c[6] == "drift") rows += c[0] + "|" + c[4] + "|" + c[13] + "\n";
  }
  return rows;
}

// Rows of findings, cruise and records that name no flight by its key, or another flight than
// their flight number does (a query of one count).
const std::string kUnkeyed =
    "SELECT (SELECT count(*) FROM findings WHERE flight_id NOT IN (SELECT flight_id FROM "
    "flights) OR flight IS NOT (SELECT flight FROM flights f WHERE f.flight_id = "
    "findings.flight_id)) + (SELECT count(*) FROM cruise WHERE flight IS NOT (SELECT flight FROM "
    "flights f WHERE f.flight_id = cruise.flight_id)) + (SELECT count(*) FROM records r WHERE "
    "flight IS NOT (SELECT flight FROM flights f WHERE f.flight_id = r.flight_id)) + (SELECT "
    "count(*) FROM records WHERE flight_id IS NULL)";

// Downloads of a circular log, imported one by one in any order, give the logbook that all of
// them imported at once give, but that every flight keeps the key of the import that first
// held it (a flight whose start a later download brings too); findings, cruise and records name
// their flights by those keys; an import whose records follow the logbook's (the monthly case)
// reads of it only the flights it touches.
TEST_F(History, ImportsCutAnewOnlyTheFlightsTheyTouch) {
  const std::string profile = KORVEX_SAMPLE_PROFILE;
  std::vector<std::string> downloads;
  for (const std::string after : {"6", "12", "18"}) {
    downloads.push_back(synthesize(
        "d" + after + ".rec",
        "--hours 14 --seed 12 --exceedances --capacity 2500000 --download-after " + after));
  }
  const std::string all = path("all.db");
  Args at_once = {"--profile", profile, "-o", all, "sqlite"};
  at_once.insert(at_once.end(), downloads.begin(), downloads.end());
  ASSERT_EQ(run(at_once).status, 0);
  // Every column but the flights' keys, which are the first import's.
  const auto but_keys = [&](const std::string& table) {
    return query_text(all, "SELECT group_concat('\"' || name || '\"') FROM pragma_table_info('" +
                               table + "') WHERE name != 'flight_id'");
  };
  const std::string tables[] = {
      "SELECT " + but_keys("flights") + " FROM flights ORDER BY flight",
      "SELECT " + but_keys("findings") + " FROM findings ORDER BY start_clock, \"column\", kind",
      "SELECT " + but_keys("cruise") + " FROM cruise ORDER BY start_clock",
      "SELECT " + but_keys("trends") + " FROM trends ORDER BY start_clock",
      "SELECT clock, flight, phase, record_key FROM records ORDER BY clock, record_key"};
  // The monthly order, and an older download last: each last import reads of the logbook only
  // the flights from its first record on.
  for (const std::vector<int>& order : {std::vector<int>{0, 1, 2}, std::vector<int>{2, 0, 1}}) {
    const std::string book = path("book.db");
    std::filesystem::remove(book);
    ProcessResult last;
    std::string first_keys;
    for (const int d : order) {
      last = run({"--profile", profile, "-o", book, "sqlite", downloads[d]});
      ASSERT_EQ(last.status, 0) << last.err;
      if (first_keys.empty()) first_keys = rows_text(book, "SELECT flight_id FROM flights");
    }
    for (const std::string& sql : tables) {
      EXPECT_TRUE(rows_text(book, sql) == rows_text(all, sql)) << sql;
    }
    // The flights of the first import keep their keys, whatever came after.
    const std::string keys = rows_text(book, "SELECT flight_id FROM flights");
    for (std::size_t at = 0, end; (end = first_keys.find('\n', at)) != std::string::npos;
         at = end + 1) {
      EXPECT_NE(keys.find(first_keys.substr(at, end - at + 1)), std::string::npos)
          << first_keys.substr(at, end - at);
    }
    EXPECT_EQ(query_text(book, kUnkeyed), "0");
    const std::string held = query_text(book, "SELECT count(*) FROM records");
    const std::size_t from = last.err.find(" made anew from ");
    ASSERT_NE(from, std::string::npos) << last.err;
    std::string read = last.err.substr(from + 16, last.err.find(' ', from + 16) - from - 16);
    std::erase(read, ',');
    EXPECT_LT(std::stoll(read), std::stoll(held)) << last.err;
    // The logbook's trends are those of the downloads read together, drift and all.
    Args trends = {"--profile", profile, "--trends", "csv"};
    trends.insert(trends.end(), downloads.begin(), downloads.end());
    expect_same_table(book, "trends", run(trends).out);
    Args findings = {"--profile", profile, "--findings", "csv"};
    findings.insert(findings.end(), downloads.begin(), downloads.end());
    EXPECT_EQ(rows_text(book,
                        "SELECT flight, \"column\", \"values\" FROM findings WHERE kind = "
                        "'drift' ORDER BY rowid"),
              drift_rows(run(findings).out));
  }
}

// A flight whose start was lost to the wrap of the log, imported so, keeps its key when an
// older download brings the start: every record of it, the new ones too, names it by that key.
TEST_F(History, AFlightKeepsItsKeyWhenItsStartComesLater) {
  const std::string options = "--hours 14 --seed 12 --exceedances --capacity 2500000";
  const std::string late = synthesize("late.rec", options + " --download-after 9");
  const std::string early = synthesize("early.rec", options + " --download-after 6");
  const std::string book = path("book.db");
  const std::string profile = KORVEX_SAMPLE_PROFILE;
  ASSERT_EQ(run({"--profile", profile, "-o", book, "sqlite", late}).status, 0);
  const std::string first = query_text(book,
                                       "SELECT flight_id || ' ' || start_clock FROM flights "
                                       "WHERE partial = 'start'");
  const std::string key = first.substr(0, first.find(' '));
  ASSERT_FALSE(key.empty());
  ASSERT_EQ(run({"--profile", profile, "-o", book, "sqlite", early}).status, 0);
  const std::string now = query_text(
      book, "SELECT flight_id || ' ' || start_clock FROM flights WHERE flight_id = " + key);
  EXPECT_EQ(now.substr(0, key.size()), key);
  EXPECT_LT(std::stoll(now.substr(key.size() + 1)), std::stoll(first.substr(key.size() + 1)))
      << "the start did not come";
  EXPECT_EQ(query_text(book, kUnkeyed), "0");
  EXPECT_EQ(query_text(book, "SELECT count(*) FROM records WHERE flight_id = " + key +
                                 " AND clock < " + first.substr(key.size() + 1)),
            std::to_string(std::stoll(first.substr(key.size() + 1)) -
                           std::stoll(now.substr(key.size() + 1))))
      << "a record a second from the new start";
  // --flight takes the key as well as the number, which the older download moved on.
  const std::string number =
      query_text(book, "SELECT flight FROM flights WHERE flight_id = " + key);
  const ProcessResult by_key = run({"--flight", key, "--flights", "csv", book});
  ASSERT_EQ(by_key.status, 0) << by_key.err;
  EXPECT_EQ(by_key.out, run({"--flight", number, "--flights", "csv", book}).out);
  EXPECT_NE(by_key.out.find("," + number + "," + key + ","), std::string::npos) << by_key.out;
  EXPECT_EQ(std::count(by_key.out.begin(), by_key.out.end(), '\n'), 2) << by_key.out;
}

// A file that holds no record, or that cannot be opened, is named, with what to do where it
// helps; the classic command line keeps its texts.
TEST_F(History, WhatHoldsNoRecordIsNamed) {
  const std::string text = path("README.md");
  std::ofstream(text) << "# A readme\n\nNot a log.\n";
  const std::string empty = path("empty.rec");
  std::ofstream(empty).flush();
  const std::string other = path("other.db");
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(other.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE t (x)", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  const std::string book = path("book.db");
  ASSERT_EQ(run({"-o", book, "sqlite", KORVEX_SAMPLE}).status, 0);
  struct Case {
    Args args;
    int status;
    std::string said;
  };
  const Case cases[] = {
      {{"csv", text}, 3, "README.md holds no record of the instrument's log\n"},
      {{"--flights", "csv", empty}, 3, "empty.rec holds no record of the instrument's log\n"},
      {{"html", other}, 3, "KorvexLogDump: " + other + " is a SQLite database but no logbook\n"},
      {{"csv", path("missing.rec")},
       2,
       "Error on open of " + path("missing.rec") + ": No such file or directory\n"},
      {{"-o", book, "sqlite", book},
       1,
       "KorvexLogDump: book.db is a logbook: add to it with -o book.db sqlite LOGFILE, or read "
       "it as a log\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.back());
    const ProcessResult r = run(c.args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
  }
  // The classic command line, as it always was.
  for (const std::string& file : {text, other}) {
    const ProcessResult classic = run_tool_process({"tab", file});
    EXPECT_EQ(classic.status, 3);
    EXPECT_NE(classic.err.find("\nUnable to locating starting and/or ending record\n"),
              std::string::npos);
  }
}

}  // namespace
}  // namespace korvex::test
