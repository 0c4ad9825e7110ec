// Every way a value reaches the output against the one accessor (read_value), cell for cell:
// the classic and the analysis rows, of every column or of columns chosen one by one, and the
// readers of many values (a record's view, a column's decoder), on the sample, the golden logs,
// synthesized logs with faults, and records of random bytes.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "output/table/table_output.h"
#include "plan/read_plan.h"
#include "support/log_builder.h"
#include "survey/survey.h"
#include "synth_log.h"

namespace korvex::test {
namespace {

std::vector<std::string> cells_of(std::string_view row) {
  std::vector<std::string> cells;
  std::size_t at = 0;
  for (std::size_t comma; (comma = row.find(',', at)) != std::string_view::npos; at = comma + 1) {
    cells.emplace_back(row.substr(at, comma - at));
  }
  cells.emplace_back(row.substr(at));
  return cells;
}

// What a cell shows, as the accessor's value is compared with it: the classic table's minutes and
// seconds as seconds (csv writes seconds), anything else as it stands.
std::string shown(const Field& f, const std::string& cell) {
  const std::size_t colon = cell.find(':');
  if (f.storage != Storage::MIN_SEC || colon == std::string::npos) return cell;
  return std::to_string(std::stol(cell.substr(0, colon)) * 60 + std::stol(cell.substr(colon + 1)));
}

// The accessor's value as printf shows it with the column's decimals: zero (classic) or nothing
// (analysis) when the record lacks it.
std::string expected(const Field& f, const std::optional<double>& value, CellStyle style) {
  if (!value && style == CellStyle::ANALYSIS) return "";
  char text[80];
  std::snprintf(text, sizeof text, "%.*f", f.storage == Storage::MIN_SEC ? 0 : f.decimals,
                value.value_or(0));
  return text;
}

// "MM/DD/YYYY HH:MM:SS" in quotes as YYYY-MM-DDTHH:MM:SS; a raw count stays as it is.
std::string iso_time(const std::string& classic) {
  if (classic.empty() || classic[0] != '"') return classic;
  return classic.substr(7, 4) + "-" + classic.substr(1, 2) + "-" + classic.substr(4, 2) + "T" +
         classic.substr(12, 8);
}

// Writes every record through each path and compares every cell with the accessor.
class EveryPath final : public RecordConsumer {
 public:
  explicit EveryPath(SectionFlags sections)
      : all_(sections),
        chosen_(chosen_backwards(sections)),
        classic_all_(all_),
        classic_chosen_(chosen_),
        analysis_all_(all_),
        analysis_chosen_(chosen_) {}

  bool record(const Record& rec) override {
    const RecordEvent event(rec, 1);
    const std::string classic = row(event, classic_all_);
    const std::vector<std::string> cells = cells_of(classic);
    check(event, classic_all_, all_, CellStyle::CLASSIC, cells[0]);
    check(event, classic_chosen_, chosen_, CellStyle::CLASSIC, cells[0]);
    check(event, analysis_all_, all_, CellStyle::ANALYSIS, cells[0]);
    check(event, analysis_chosen_, chosen_, CellStyle::ANALYSIS, cells[0]);
    ++records;
    return !testing::Test::HasFailure();
  }

  std::int64_t records = 0;

 private:
  // Every column of the blocks, chosen one by one, last first.
  static ColumnSet chosen_backwards(SectionFlags sections) {
    ColumnSet set(sections);
    set.all = false;
    for_each_column(sections, [&](int block, const Field& f) {
      set.chosen.insert(set.chosen.begin(), ColumnRef{block, &f});
    });
    return set;
  }

  template <CellStyle kStyle>
  std::string row(const RecordEvent& event, const RowCells<kStyle>& cells) {
    std::string text;
    OutBuffer out(&text);
    write_row(out, DELIM_COMMA, event, cells, row_room(200), cache_);
    out.flush();
    return text.substr(0, text.size() - 1);  // without the line end
  }

  template <CellStyle kStyle>
  void check(const RecordEvent& event, const RowCells<kStyle>& writer, const ColumnSet& columns,
             CellStyle style, const std::string& classic_time) {
    std::vector<std::string> cells = cells_of(row(event, writer));
    if (style == CellStyle::CLASSIC) {
      ASSERT_EQ(cells.back(), "");  // after the last cell's separator
      cells.pop_back();
      ASSERT_EQ(cells[0], classic_time);
    } else {
      ASSERT_EQ(cells[0], iso_time(classic_time));
      ASSERT_EQ(cells[1], "1");  // the flight
      cells.erase(cells.begin() + 1);
    }
    ASSERT_EQ(cells.size(), columns.count() + 1);
    std::size_t i = 1;
    columns.for_each([&](ColumnRef c) {
      const std::optional<double> value = read_value(event.rec, c);
      ASSERT_EQ(read_value(event.view(), c), value);
      ASSERT_EQ(read_value(event.view(), c, value_decoder(c)), value);
      ASSERT_EQ(shown(*c.field, cells[i]), expected(*c.field, value, style))
          << "record " << records << ", layout " << event.rec.revision << ", block " << c.block
          << ", column " << c.field->label << (style == CellStyle::CLASSIC ? ", classic" : ", csv")
          << (columns.all ? ", every column" : ", chosen");
      ++i;
    });
  }

  ColumnSet all_;
  ColumnSet chosen_;
  RowCells<CellStyle::CLASSIC> classic_all_, classic_chosen_;
  RowCells<CellStyle::ANALYSIS> analysis_all_, analysis_chosen_;
  TimeCellCache cache_;
};

// Every record of a log, in the order it is printed; the number of records.
std::int64_t check_log(const Bytes& log) {
  MessageCapture err;
  MemoryStream in(log);
  SurveyResult survey;
  if (survey_log(in.stream, err.messages, survey) != SURVEY_FOUND) return 0;
  EveryPath paths(survey.sections_seen);
  const ReadOutcome outcome = read_in_order(in.stream, plan_reads(survey), nullptr, paths);
  EXPECT_EQ(outcome.end, ReadEnd::DONE);
  return paths.records;
}

Bytes read_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

TEST(Values, EveryCellIsTheAccessorsValueInTheSampleAndTheGoldenLogs) {
  std::vector<std::string> logs = {KORVEX_SAMPLE};
  for (const auto& entry : std::filesystem::directory_iterator(KORVEX_GOLDEN_LOGS)) {
    logs.push_back(entry.path().string());
  }
  std::int64_t records = 0;
  for (const std::string& path : logs) {
    SCOPED_TRACE(path);
    records += check_log(read_file(path));
  }
  EXPECT_GT(records, 5000);
}

TEST(Values, EveryCellIsTheAccessorsValueInSynthesizedLogs) {
  // Every layout, random section sets, records of another layout mixed in, and every fault.
  std::int64_t records = 0;
  for (std::uint64_t seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE(seed);
    synth::SynthOptions o;
    o.layout = static_cast<RecordLayout>(seed % 4);
    o.sections = static_cast<SectionFlags>((seed * 7) % 16) << 1;
    o.flights = 1;
    o.seed = seed;
    o.mixed_count = 20;
    o.mixed_layout = static_cast<RecordLayout>((seed + 1) % 4);
    o.garbage = o.power_cuts = o.stray_aa = o.stray_markers = 3;
    records += check_log(synth::synthesize(o).image);
  }
  EXPECT_GT(records, 10000);
}

TEST(Values, EveryCellIsTheAccessorsValueInRecordsOfRandomBytes) {
  // Every byte random, every layout, every section at its place: values at the extremes of
  // every storage, coordinates of every exponent.
  std::uint64_t state = 12345;
  auto random_byte = [&state] {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::uint8_t>(state >> 56);
  };
  EveryPath paths(SECTION_ALL);
  for (RecordLayout layout = 0; layout < RECORD_LAYOUT_COUNT; ++layout) {
    for (int round = 0; round < 500; ++round) {
      std::uint8_t payload[MAX_RECORD_BODY];
      for (std::uint8_t& b : payload) b = random_byte();
      Record rec;
      rec.timestamp = static_cast<std::uint32_t>(state >> 32);
      rec.payload = payload;
      rec.revision = layout;
      // Some sections absent, the others one after another.
      rec.sections = static_cast<SectionFlags>(random_byte() & SECTION_ALL);
      std::int32_t at = BASE_PAYLOAD_LEN;
      for (int id = 1; id < SECTION_ID_COUNT; ++id) {
        if ((rec.sections & section_flag(id)) == 0) continue;
        rec.section_at[id] = at;
        at += 2 + layout_section_length[layout][id];
      }
      ASSERT_TRUE(paths.record(rec));
    }
  }
}

}  // namespace
}  // namespace korvex::test
