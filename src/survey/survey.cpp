#include "survey/survey.h"

#include <cstdio>

#include "record/record_reader.h"
#include "record/timestamp.h"

namespace korvex {

namespace {

constexpr std::uint64_t kRecordsPerDot = 1000;

void warn_inconsistent_sections(Messages& messages, SectionFlags seen, SectionFlags record) {
  char text[96];
  const int n = std::snprintf(text, sizeof text,
                              "Warning, records contain inconsistent sections: %02x %02x %02x\n",
                              seen, record, seen ^ record);
  messages.note(std::string_view(text, static_cast<std::size_t>(n)));
}

}  // namespace

int survey_log(ByteStream& in, Messages& messages, SurveyResult& result) {
  result = SurveyResult{};
  if (in.seek(0) != 0) return SURVEY_SEEK_FAILED;

  RecordReader reader(in, &messages);
  std::uint32_t lowest = 0;
  std::uint32_t highest = 0;
  std::uint32_t previous = 0;
  std::uint64_t records_read = 0;
  std::int64_t read_start = in.pos();
  while (const Record* rec = reader.next()) {
    if (records_read > 0 && result.sections_seen != rec->sections) {
      warn_inconsistent_sections(messages, result.sections_seen, rec->sections);
    }
    result.sections_seen |= rec->sections;
    // The first record sets both extremes, so that a log stamped all 0 or all 0xFFFFFFFF still
    // has an oldest and a newest record; later ones replace them only when strictly beyond.
    if (records_read == 0 || rec->timestamp < lowest) {
      lowest = rec->timestamp;
      result.oldest_pos = read_start;
    }
    if (records_read == 0 || rec->timestamp > highest) {
      highest = rec->timestamp;
      result.newest_pos = read_start;
    }
    if (rec->revision >= FIRST_DATED_LAYOUT) {
      if (result.dated == 0 || rec->timestamp < result.first_dated) {
        result.first_dated = rec->timestamp;
      }
      if (result.dated == 0 || rec->timestamp > result.last_dated) {
        result.last_dated = rec->timestamp;
      }
      ++result.dated;
    }
    if (rec->timestamp < previous) ++result.reversals;
    previous = rec->timestamp;
    read_start = in.pos();
    if (++records_read % kRecordsPerDot == 0) messages.dot();
  }
  result.end_pos = in.pos();
  result.records = records_read;
  messages.flush();
  return result.oldest_pos >= 0 && result.newest_pos >= 0 ? SURVEY_FOUND : SURVEY_NOT_FOUND;
}

}  // namespace korvex
