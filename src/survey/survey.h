// The survey: a first pass over every record that finds where the oldest and the newest record
// are read from, which optional sections occur, and how often the timestamps decrease.
#pragma once

#include <cstdint>

#include "io/byte_stream.h"
#include "io/messages.h"
#include "record/layouts.h"

namespace korvex {

struct SurveyResult {
  // Where the reads that yield the first record with the lowest and the first record with the
  // highest timestamp begin; -1 when there is no record.
  std::int64_t oldest_pos = -1;
  std::int64_t newest_pos = -1;
  SectionFlags sections_seen = 0;
  // Records whose timestamp is lower than the one before; the log holds reversals + 1 groups.
  std::uint64_t reversals = 0;
  // Where the records ended: the end of the file as the survey saw it.
  std::int64_t end_pos = 0;
  std::uint64_t records = 0;
  // Of the records dated on the instrument's clock (layout 2 on): how many, the lowest and the
  // highest timestamp (when there are any).
  std::uint64_t dated = 0;
  std::uint32_t first_dated = 0, last_dated = 0;
};

inline constexpr int SURVEY_FOUND = 1;
inline constexpr int SURVEY_NOT_FOUND = 0;
inline constexpr int SURVEY_SEEK_FAILED = -1;  // the seek to the start failed; errno tells why

// Seeks to the start and reads every record; dots and warnings go to `messages`. Returns
// SURVEY_FOUND when both positions were found, SURVEY_NOT_FOUND when the log holds no record,
// SURVEY_SEEK_FAILED when the seek failed. A failed read ends the survey early; the stream's
// failed() tells.
int survey_log(ByteStream& in, Messages& messages, SurveyResult& result);

}  // namespace korvex
