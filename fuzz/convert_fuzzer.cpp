// libFuzzer target: the whole conversion (survey, header and both dump passes) of the fuzzer's
// bytes as a log in memory, in every table format, with checks beyond "no crash":
//   - the run ends with status 0, or 3 for a log without records (and then prints no table);
//   - every line has the header's number of cells; in the classic formats it ends with the
//     separator (in space mode with the last value) and "\n", in csv and tsv no separator follows
//     the last cell;
//   - the header holds the blocks that the section line names;
//   - the summary counts exactly the rows printed;
//   - the same bytes read through a source that delivers 1 to 7 bytes per read give exactly the
//     same table and messages;
//   - the records of the flights table (--flights) add up to the rows of the table;
//   - a GPX or KML document is whole, and the GPX has as many points as the summary counts;
//   - a report is a whole page, every chart closed, no number in it "nan" or "inf", and it
//     lists as many flights as the flights table;
//   - read as two logs (the bytes cut in two), csv ends with status 0 or 3, is a whole table,
//     and has no more rows than the two logs alone; the bytes given twice are the bytes once
//     (when the log holds no more records than the merge remembers).
// Built with the address sanitizer, the packet buffer past the current record is poisoned, so a
// row that reads a byte from outside its record is caught too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli/convert.h"
#include "cli/exit_status.h"
#include "io/byte_stream.h"
#include "io/messages.h"
#include "io/out_buffer.h"
#include "support/chunked_source.h"

namespace {

// The records the merge of several logs remembers to leave out their copies.
constexpr long long kRemembered = 4096;

void check(bool ok) {
  if (!ok) __builtin_trap();
}

std::size_t count(std::string_view text, char c) {
  std::size_t n = 0;
  for (char x : text) n += x == c ? 1 : 0;
  return n;
}

// The count the closing summary begins with: "Read N packets" of the classic tables, else
// "N records in ...", "N track points in ..." (N in groups of three digits).
long long summary_count(const std::string& messages) {
  const std::size_t classic = messages.rfind("\nRead ");
  if (classic != std::string::npos) return std::atoll(messages.c_str() + classic + 6);
  const std::size_t in = messages.rfind(" in ");
  check(in != std::string::npos);
  std::size_t line = messages.rfind('\n', in);
  line = line == std::string::npos ? 0 : line + 1;
  std::string number = messages.substr(line, messages.find(' ', line) - line);
  std::erase(number, ',');
  return std::atoll(number.c_str());
}

void check_table(std::string_view format, const std::string& table, const std::string& messages) {
  check(!table.empty() && table.back() == '\n');
  // The blocks of the section lines (one per log).
  std::string sections;
  for (std::size_t line = messages.find("\nOptional record sections present:");
       line != std::string::npos;
       line = messages.find("\nOptional record sections present:", line + 1)) {
    sections.append(messages, line, messages.find('\n', line + 1) - line);
  }
  check(!sections.empty());
  const std::size_t expected_cells = 13 + 33 * (sections.find(" TELM1") != std::string::npos) +
                                     33 * (sections.find(" TELM2") != std::string::npos) +
                                     7 * (sections.find(" Attitude") != std::string::npos) +
                                     9 * (sections.find(" GPS") != std::string::npos);
  const bool tabs = format == "tab" || format == "tsv";
  const bool analysis = format == "csv" || format == "tsv";
  const char separator = tabs ? '\t' : ',';
  long long rows = -1;  // the header is no row
  for (std::size_t at = 0; at < table.size();) {
    const std::size_t end = table.find('\n', at);
    const std::string_view line(table.data() + at, end - at);
    check(!line.empty());
    if (format == "space") {
      check(line.back() != ' ');
    } else if (analysis) {
      check(count(line, separator) == expected_cells);  // one more cell: the flight
    } else {
      check(line.back() == separator);
      check(count(line, separator) == expected_cells);
    }
    ++rows;
    at = end + 1;
  }
  check(summary_count(messages) == rows);
}

struct Run {
  int status;
  std::string table;
  std::string messages;
};

Run convert(korvex::ByteSource source, std::size_t buffer, const korvex::Options& options) {
  Run r;
  korvex::OutBuffer out(&r.table, korvex::kMinOutBuffer);
  korvex::Messages err(&r.messages);
  korvex::ByteStream in(source, buffer);
  r.status = korvex::convert_log(in, out, options, err);
  out.flush();
  err.flush();
  return r;
}

// Several logs of memory, read as one.
Run convert_several(const std::vector<std::string_view>& logs, const korvex::Options& options) {
  Run r;
  korvex::OutBuffer out(&r.table, korvex::kMinOutBuffer);
  korvex::Messages err(&r.messages);
  std::vector<korvex::MemorySource> mems;
  mems.reserve(logs.size());
  std::vector<std::unique_ptr<korvex::ByteStream>> streams;
  std::vector<korvex::ByteStream*> ins;
  for (const std::string_view log : logs) {
    mems.push_back({reinterpret_cast<const std::uint8_t*>(log.data()), log.size()});
    streams.push_back(std::make_unique<korvex::ByteStream>(korvex::memory_source(&mems.back())));
    ins.push_back(streams.back().get());
  }
  r.status = korvex::convert_logs(ins, out, options, err);
  out.flush();
  err.flush();
  return r;
}

long long rows_of(const Run& run) {
  return run.status == korvex::EXIT_DONE ? static_cast<long long>(count(run.table, '\n')) - 1 : 0;
}

void check_several(const std::uint8_t* data, std::size_t size, const korvex::Options& given) {
  // The halves of one log share no record: they are read as one all the same.
  korvex::Options csv = given;
  csv.merge_instruments = true;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = size == 0 ? 0 : data[0] * size / 256;
  const std::string_view a = bytes.substr(0, cut), b = bytes.substr(cut);
  const Run merged = convert_several({a, b}, csv);
  check(merged.status == korvex::EXIT_DONE || merged.status == korvex::EXIT_NO_RECORDS);
  if (merged.status == korvex::EXIT_DONE) check_table("csv", merged.table, merged.messages);
  const Run alone_a = convert_several({a}, csv), alone_b = convert_several({b}, csv);
  check(rows_of(merged) <= rows_of(alone_a) + rows_of(alone_b));
  const Run once = convert_several({bytes}, csv);
  if (rows_of(once) <= kRemembered) {
    const Run twice = convert_several({bytes, bytes}, csv);
    check(twice.status == once.status && twice.table == once.table);
  }
}

// A track document: whole, and with the points the summary counts.
void check_track(std::string_view format, const std::string& text, const std::string& messages) {
  const bool gpx = format == "gpx";
  check(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n", 0) == 0);
  const std::string_view closing = gpx ? "</gpx>\n" : "</Document>\n</kml>\n";
  check(text.size() >= closing.size() &&
        text.compare(text.size() - closing.size(), closing.size(), closing) == 0);

  long long points = 0;
  for (std::size_t at = text.find("<trkpt "); at != std::string::npos;
       at = text.find("<trkpt ", at + 1)) {
    ++points;
  }
  if (gpx) check(summary_count(messages) == points);
}

std::size_t occurrences(const std::string& text, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// A report: a whole page, its charts closed, nothing but numbers drawn, a row per flight.
void check_report(const std::string& text, std::size_t flights) {
  check(text.rfind("<!DOCTYPE html>\n", 0) == 0);
  const std::string_view closing = "</body>\n</html>\n";
  check(text.size() >= closing.size() &&
        text.compare(text.size() - closing.size(), closing.size(), closing) == 0);
  check(occurrences(text, "<svg ") == occurrences(text, "</svg>"));
  check(occurrences(text, "nan") == 0 && occurrences(text, "inf") == 0);
  const std::size_t rows = occurrences(text, "<tr>");
  check(rows == (flights == 0 ? 0 : flights + 1));
}

// The flights table's records add up to the rows of the table; returns the number of flights.
std::size_t check_flights(const std::uint8_t* data, std::size_t size, long long rows) {
  korvex::Options options;
  options.format = korvex::find_format("csv");
  options.flights_table = true;
  korvex::MemorySource mem{data, size};
  const Run run = convert(korvex::memory_source(&mem), 0, options);
  check(run.status == korvex::EXIT_DONE);
  long long records = 0;
  for (std::size_t at = run.table.find('\n') + 1; at < run.table.size();) {
    const std::size_t end = run.table.find('\n', at);
    std::size_t cell = at;
    for (int i = 0; i < 5; ++i) cell = run.table.find(',', cell) + 1;
    records += std::atoll(run.table.c_str() + cell);
    at = end + 1;
  }
  check(records == rows);
  return count(run.table, '\n') - 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::size_t flights = 0;
  for (const korvex::FormatEntry& entry : korvex::output_formats()) {
    const std::string_view format = entry.word;
    // A database goes to a file of its own, not to memory.
    if ((entry.needs & korvex::WRITES_OUTPUT_FILE) != 0) continue;
    // The report, much the slowest (a page of charts per flight), for every fourth input.
    if (format == "html" && size % 4 != 1) continue;
    korvex::Options options;
    options.format = &entry;
    korvex::MemorySource mem{data, size};
    // The smallest stream buffer puts refills everywhere, markers across them included.
    const Run run = convert(korvex::memory_source(&mem), size % 2 == 0 ? 0 : 4096, options);
    const int status = run.status;
    const std::string& table = run.table;
    const std::string& messages = run.messages;
    check(status == korvex::EXIT_DONE || status == korvex::EXIT_NO_RECORDS);
    if (format == "tab") {
      korvex::test::ChunkedSource chunked{{data, size}};
      const Run again = convert(chunked.source(), korvex::kStreamBufferSize, options);
      check(again.status == status && again.table == table && again.messages == messages);
      if (status == korvex::EXIT_DONE) {
        flights = check_flights(data, size, static_cast<long long>(count(table, '\n')) - 1);
      }
    }
    if (status == korvex::EXIT_NO_RECORDS) {
      check(table.empty());
    } else if (format == "gpx" || format == "kml") {
      check_track(format, table, messages);
    } else if (format == "html") {
      check_report(table, flights);
    } else {
      check_table(format, table, messages);
    }
    if (format == "csv") check_several(data, size, options);
  }
  return 0;
}
