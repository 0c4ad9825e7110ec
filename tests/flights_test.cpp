// Flights and selections: the TIME and LIST parsers, and what --flight and --split write against
// the full table.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "selection/flight_list.h"
#include "selection/time_window.h"
#include "support/log_builder.h"
#include "support/run_capture.h"

namespace korvex::test {
namespace {

TEST(Selection, TimesAreReadInEveryFormAndCheckedForRange) {
  const std::uint32_t day = 9661 * 86400U;  // 2026-06-14
  struct Case {
    const char* text;
    TimeEnd end;
    long long expected;  // -1: refused
  };
  const Case cases[] = {
      {"2026-06-14", TimeEnd::FROM, day},
      {"2026-06-14", TimeEnd::TO, day + 86399},
      {"2026-06-14 13:05", TimeEnd::FROM, day + 47100},
      {"2026-06-14 13:05", TimeEnd::TO, day + 47159},
      {"2026-06-14T13:05:09", TimeEnd::TO, day + 47109},
      {"06/14/2026 13:05:09", TimeEnd::FROM, day + 47109},
      {"\"06/14/2026 13:05:09\"", TimeEnd::TO, day + 47109},
      {"0", TimeEnd::FROM, 0},
      {"4294967295", TimeEnd::TO, 4294967295LL},
      {"2000-01-01", TimeEnd::FROM, 0},
      {"2000-02-29", TimeEnd::FROM, 59 * 86400},
      {"2136-02-07 06:28:15", TimeEnd::FROM, 4294967295LL},
      {"2136-02-07", TimeEnd::TO, 4294967295LL},  // the day's end lies beyond the clock
      {"4294967296", TimeEnd::FROM, -1},
      {"2136-02-07 06:28:16", TimeEnd::FROM, -1},
      {"1999-12-31", TimeEnd::FROM, -1},
      {"2026-02-29", TimeEnd::FROM, -1},
      {"2026-13-01", TimeEnd::FROM, -1},
      {"2026-06-14 24:00", TimeEnd::FROM, -1},
      {"2026-06-14 12:60", TimeEnd::FROM, -1},
      {"2026-06-14 12:00:60", TimeEnd::FROM, -1},
      {"2026-6-14", TimeEnd::FROM, -1},
      {"06/14/2026", TimeEnd::FROM, -1},
      {"06/14/2026 13:05", TimeEnd::FROM, day + 47100},
      {"06/14/2026 13:05", TimeEnd::TO, day + 47159},
      {"2026-06-14T13:05Z", TimeEnd::FROM, -1},  // a zone only where the caller can place it
      {"2026-06-14 13:05:09 ", TimeEnd::FROM, -1},
      {"", TimeEnd::FROM, -1},
      {"-5", TimeEnd::FROM, -1},
      {"yesterday", TimeEnd::FROM, -1},
  };
  for (const Case& c : cases) {
    std::uint32_t t = 12345;
    std::string error;
    const bool ok = parse_time(c.text, c.end, t, error);
    EXPECT_EQ(ok, c.expected >= 0) << c.text;
    if (ok) {
      EXPECT_EQ(t, static_cast<std::uint32_t>(c.expected)) << c.text;
    } else {
      EXPECT_NE(error.find(c.text), std::string::npos) << error;
    }
  }
}

// Times in UTC or a zone: read as written with the zone's seconds ahead of UTC, then placed on
// the instrument's clock by its offset; offsets of the clock from -14:00 to +14:00.
TEST(Selection, TimesInUtcOrAZoneArePlacedOnTheClock) {
  const std::uint32_t day = 9661 * 86400U;  // 2026-06-14
  const struct {
    const char* text;
    TimeEnd end;
    long long written;  // -1: refused
    std::int32_t zone;
  } kCases[] = {
      {"2026-06-14T13:05Z", TimeEnd::FROM, day + 47100, 0},
      {"2026-06-14T13:05Z", TimeEnd::TO, day + 47159, 0},
      {"2026-06-14 13:05:09+02:00", TimeEnd::FROM, day + 47109, 7200},
      {"2026-06-14T13:05-05:30", TimeEnd::FROM, day + 47100, -19800},
      {"2026-06-14T13:05+14:00", TimeEnd::FROM, day + 47100, 50400},
      {"2026-06-14T13:05+14:01", TimeEnd::FROM, -1, 0},
      {"2026-06-14T13:05+2:00", TimeEnd::FROM, -1, 0},
      {"2026-06-14T13:05 Z", TimeEnd::FROM, -1, 0},
      {"2026-06-14Z", TimeEnd::FROM, -1, 0},
      {"06/14/2026 13:05Z", TimeEnd::FROM, -1, 0},
  };
  for (const auto& c : kCases) {
    std::uint32_t t = 0;
    std::string error;
    std::optional<std::int32_t> zone;
    const bool ok = parse_time(c.text, c.end, t, error, &zone);
    EXPECT_EQ(ok, c.written >= 0) << c.text << ": " << error;
    if (!ok) continue;
    EXPECT_EQ(t, static_cast<std::uint32_t>(c.written)) << c.text;
    EXPECT_EQ(zone, std::optional<std::int32_t>(c.zone)) << c.text;
  }
  std::uint32_t t = 0;
  std::string error;
  std::optional<std::int32_t> zone = 5;
  ASSERT_TRUE(parse_time("2026-06-14 13:05", TimeEnd::FROM, t, error, &zone));
  EXPECT_FALSE(zone) << "a time without a zone is on the clock already";
  // 13:05 at +02:00 is 11:05 UTC, 06:05 on a clock 5 hours behind UTC.
  t = day + 47100;
  ASSERT_TRUE(zoned_to_clock(t, 7200, -5 * 3600));
  EXPECT_EQ(t, day + 6 * 3600 + 300);
  t = 100;
  EXPECT_FALSE(zoned_to_clock(t, 3600, 0)) << "before the clock's start";

  const struct {
    const char* text;
    OffsetRead read;
    std::int32_t seconds;
  } kOffsets[] = {{"+14:00", OffsetRead::READ, 50400},
                  {"-14:00", OffsetRead::READ, -50400},
                  {"05:30", OffsetRead::READ, 19800},
                  {"-00:00", OffsetRead::READ, 0},
                  {"+14:01", OffsetRead::OUT_OF_RANGE, 0},
                  {"-23:59", OffsetRead::OUT_OF_RANGE, 0},
                  {"25:00", OffsetRead::NO_FORM, 0},
                  {"5", OffsetRead::NO_FORM, 0},
                  {"+05:60", OffsetRead::NO_FORM, 0},
                  {"+05:00 ", OffsetRead::NO_FORM, 0},
                  {"Z", OffsetRead::NO_FORM, 0}};
  for (const auto& o : kOffsets) {
    std::int32_t seconds = 0;
    EXPECT_EQ(parse_utc_offset(o.text, seconds), o.read) << o.text;
    if (o.read == OffsetRead::READ) {
      EXPECT_EQ(seconds, o.seconds) << o.text;
    }
  }
}

TEST(Selection, FlightListsAreNumbersRangesLastAndKeys) {
  // Six flights keyed 900000100, 900000200, ... 900000600.
  std::vector<FlightFacts> spans(6);
  for (std::size_t n = 0; n < spans.size(); ++n) {
    spans[n].number = static_cast<std::int64_t>(n) + 1;
    spans[n].flight_id = 900000000 + spans[n].number * 100;
  }
  struct Case {
    const char* text;
    std::vector<std::int64_t> chosen;  // of flights 1 to 6 in a log of 6; empty: refused
  };
  const Case cases[] = {
      {"900000200", {2}},
      {"900000200-900000400", {2, 3, 4}},
      {"3-900000500", {3, 4, 5}},
      {"900000300-last,1", {1, 3, 4, 5, 6}},
      {"5-900000200", {}},
      {"900000250", {}},
      {"7", {}},
      {"3", {3}},
      {"2,5", {2, 5}},
      {"2-4", {2, 3, 4}},
      {"last", {6}},
      {"4-last", {4, 5, 6}},
      {"1,1-2,6", {1, 2, 6}},
      {"last-last", {6}},
      {"0", {}},
      {"3-1", {}},
      {"", {}},
      {"1,", {}},
      {",1", {}},
      {"1-", {}},
      {"-2", {}},
      {"a", {}},
      {"1 2", {}},
      {"last-3", {}},
      {"1234567890123", {}},
      {"2--3", {}},
  };
  for (const Case& c : cases) {
    FlightList list;
    std::string error;
    const bool taken = parse_flight_list(c.text, list, error) && list.resolve(6, spans, error);
    EXPECT_EQ(taken, !c.chosen.empty()) << c.text << ": " << error;
    if (!taken) continue;
    std::vector<std::int64_t> chosen;
    for (std::int64_t f = 0; f <= 7; ++f) {
      if (list.contains(f)) chosen.push_back(f);
    }
    EXPECT_EQ(chosen, c.chosen) << c.text;
  }
  FlightList list;
  std::string error;
  ASSERT_TRUE(parse_flight_list("2,7-last", list, error));
  EXPECT_FALSE(list.resolve(6, spans, error));
  EXPECT_EQ(error, "there is no flight 7: the log has 6 flights, and none has the flight_id 7");
  ASSERT_TRUE(parse_flight_list("5-900000200", list, error));
  EXPECT_FALSE(list.resolve(6, spans, error));
  EXPECT_EQ(error, "the range '5-900000200' starts after it ends");
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The full table's rows, each with its flight from the csv table of the same log.
struct RowsByFlight {
  std::vector<std::string> header;
  std::map<std::int64_t, std::vector<std::string>> rows;
};

RowsByFlight rows_by_flight(const std::string& log, const std::string& format) {
  const std::vector<std::string> table = lines_of(run_tool_process({"-q", format, log}).out);
  const std::vector<std::string> csv = lines_of(run_tool_process({"-q", "csv", log}).out);
  EXPECT_EQ(table.size(), csv.size());
  RowsByFlight r;
  r.header = {table.at(0)};
  for (std::size_t i = 1; i < table.size() && i < csv.size(); ++i) {
    const std::size_t comma = csv[i].find(',');
    r.rows[std::stoll(csv[i].substr(comma + 1))].push_back(table[i]);
  }
  return r;
}

TEST(Selection, AFlightsRowsAreTheFullTablesRowsOfThatFlight) {
  const std::string logs[] = {KORVEX_SAMPLE, std::string(KORVEX_GOLDEN_LOGS) + "/flights.rec",
                              std::string(KORVEX_GOLDEN_LOGS) + "/groups.rec"};
  for (const std::string& log : logs) {
    const RowsByFlight full = rows_by_flight(log, "comma");
    ASSERT_GE(full.rows.size(), 2U) << log;
    for (const auto& [flight, rows] : full.rows) {
      SCOPED_TRACE(log + " flight " + std::to_string(flight));
      const ProcessResult r =
          run_tool_process({"-q", "--flight", std::to_string(flight), "comma", log});
      EXPECT_EQ(r.status, 0);
      std::vector<std::string> want = full.header;
      want.insert(want.end(), rows.begin(), rows.end());
      EXPECT_EQ(lines_of(r.out), want);
    }
  }
}

TEST(Selection, SplitFilesAreTheFullTableAndAreLeftWhenUnchanged) {
  const auto dir = std::filesystem::temp_directory_path() / "korvex-tests" / "split";
  for (const std::string format : {"csv", "tab"}) {
    SCOPED_TRACE(format);
    std::filesystem::remove_all(dir);
    const ProcessResult r =
        run_tool_process({"-q", "--split", dir.string(), format, KORVEX_SAMPLE});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
      files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    ASSERT_EQ(files.size(), 2U);
    // Created as any file is: 0666 less the umask (the tests run with their own).
    const mode_t mask = ::umask(0);
    ::umask(mask);
    for (const auto& file : files) {
      struct stat st {};
      ASSERT_EQ(::stat(file.c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask) << file;
    }
    const RowsByFlight full = rows_by_flight(KORVEX_SAMPLE, format);
    std::int64_t flight = 1;
    for (const auto& file : files) {
      std::vector<std::string> lines = lines_of(read_file(file));
      EXPECT_EQ(lines.at(0), full.header.at(0)) << file;
      lines.erase(lines.begin());
      // A file holds its flight as flight 1 (csv's second column).
      std::vector<std::string> want = full.rows.at(flight++);
      for (std::string& row : want) {
        if (format != "csv") break;
        const std::size_t cell = row.find(',') + 1;
        row.replace(cell, row.find(',', cell) - cell, "1");
      }
      EXPECT_EQ(lines, want) << file;
      EXPECT_NE(r.err.find("Wrote " + file.string() + "\n"), std::string::npos);
    }
    // Again: every file exists with the same content, so each is left as it is.
    const auto before = std::filesystem::last_write_time(files[0]);
    const ProcessResult again =
        run_tool_process({"-q", "--split", dir.string(), format, KORVEX_SAMPLE});
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.err,
              std::string(format == "csv" ? "4,901 records in 2 flights"
                                          : "Read 4901 packets, skipped 0 bad packets.") +
                  "\n2 files unchanged\n");
    EXPECT_EQ(std::filesystem::last_write_time(files[0]), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 2);
  }
  // A folder that cannot be made: a file stands in its place.
  std::filesystem::remove_all(dir);
  write_temp_file("split", {});
  const ProcessResult r =
      run_tool_process({"-q", "--split", dir.string() + "/sub", "csv", KORVEX_SAMPLE});
  EXPECT_EQ(r.status, 8);
  EXPECT_EQ(r.err, "Error on write of " + dir.string() + "/sub: Not a directory\n");
  std::filesystem::remove(dir);
}

}  // namespace
}  // namespace korvex::test
