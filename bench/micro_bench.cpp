// Micro-benchmarks of the parts: framing and validation of a packet, one row of each block
// kind, and the survey of a log in memory.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "io/byte_stream.h"
#include "io/messages.h"
#include "output/table/table_output.h"
#include "record/record_reader.h"
#include "record/validation.h"
#include "record_writer.h"
#include "survey/survey.h"
#include "synth_log.h"

namespace {

using korvex::SectionFlags;

constexpr SectionFlags kAll =
    korvex::SECTION_TELM1 | korvex::SECTION_TELM2 | korvex::SECTION_ATTITUDE | korvex::SECTION_GPS;

// Keeps the progress dots of the passes out of the benchmark's output.
struct QuietMessages {
  std::string dots;
  korvex::Messages messages{&dots};
  void clear() {
    messages.flush();
    dots.clear();
  }
};

std::vector<std::uint8_t> synthesized(korvex::RecordLayout layout, SectionFlags sections) {
  korvex::synth::SynthOptions o;
  o.layout = layout;
  o.sections = sections;
  o.flights = 1;
  return korvex::synth::synthesize(o).image;
}

// Frames and validates every packet of a log, over and over.
void BM_FrameAndValidate(benchmark::State& state) {
  const auto log =
      synthesized(static_cast<korvex::RecordLayout>(state.range(0)), state.range(1) ? kAll : 0);
  QuietMessages quiet;
  std::int64_t records = 0;
  for (auto _ : state) {
    korvex::MemorySource mem{log.data(), log.size()};
    korvex::ByteStream in(korvex::memory_source(&mem));
    korvex::RecordReader reader(in, &quiet.messages);
    while (reader.next() != nullptr) ++records;
    quiet.clear();
  }
  state.SetItemsProcessed(records);
  state.SetBytesProcessed(static_cast<std::int64_t>(log.size()) * state.iterations());
}
BENCHMARK(BM_FrameAndValidate)->Args({2, 1})->Args({0, 0});

// One row of a record with the given sections, in the given mode.
void BM_Row(benchmark::State& state) {
  const auto sections = static_cast<SectionFlags>(state.range(0));
  const auto mode = static_cast<korvex::DelimiterMode>(state.range(1));
  korvex::RecordFields fields;
  fields.timestamp = 834743700;
  fields.base = {4500, 2992, 121, 132, -10, 10, 0, 141, 127, 30, 5, 16};
  korvex::TelmFields t;
  t.rpm = 2400;
  t.flow = 1030;
  for (int i = 0; i < 12; ++i) t.tc[i] = static_cast<std::uint16_t>(i < 6 ? 1400 + i : 380 + i);
  if (sections & korvex::SECTION_TELM1) fields.telm1 = t;
  if (sections & korvex::SECTION_TELM2) fields.telm2 = t;
  if (sections & korvex::SECTION_ATTITUDE)
    fields.attitude = korvex::AttitudeFields{-12, 3, 0, 271, 12, 11, 5, 0};
  if (sections & korvex::SECTION_GPS)
    fields.gps = korvex::GpsFields{47.51234f, 122.34567f, 268, 131, 4540, 3, 9, 4, 6};
  std::uint8_t body[korvex::MAX_RECORD_BODY];
  const std::size_t size = korvex::encode_record(fields, 2, body);
  korvex::Record rec;
  if (!korvex::validate_record(body, static_cast<std::uint32_t>(size), rec))
    state.SkipWithError("invalid record");
  std::string sink;
  korvex::OutBuffer out(&sink);
  korvex::TimeCellCache cache;
  const korvex::ColumnSet columns{sections};
  const korvex::RowCells<korvex::CellStyle::CLASSIC> cells(columns);
  const std::size_t room = korvex::table_row_room(columns);
  for (auto _ : state) {
    const korvex::RecordEvent event(rec, 1);
    korvex::write_row(out, mode, event, cells, room, cache);
    if (sink.size() > (1 << 20)) sink.clear();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Row)
    ->Args({0, korvex::DELIM_TAB})
    ->Args({korvex::SECTION_TELM1, korvex::DELIM_TAB})
    ->Args({korvex::SECTION_ATTITUDE, korvex::DELIM_TAB})
    ->Args({korvex::SECTION_GPS, korvex::DELIM_TAB})
    ->Args({kAll, korvex::DELIM_TAB})
    ->Args({kAll, korvex::DELIM_SPACE});

// The survey pass over a log held in memory.
void BM_Survey(benchmark::State& state) {
  const auto log =
      synthesized(static_cast<korvex::RecordLayout>(state.range(0)), state.range(1) ? kAll : 0);
  QuietMessages quiet;
  for (auto _ : state) {
    korvex::MemorySource mem{log.data(), log.size()};
    korvex::ByteStream in(korvex::memory_source(&mem));
    korvex::SurveyResult result;
    benchmark::DoNotOptimize(korvex::survey_log(in, quiet.messages, result));
    quiet.clear();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(log.size()) * state.iterations());
}
BENCHMARK(BM_Survey)->Args({2, 1})->Args({0, 0});

}  // namespace

BENCHMARK_MAIN();
