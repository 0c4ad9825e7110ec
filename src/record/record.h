// A validated record, as the reader hands it to every pass.
#pragma once

#include <cstdint>

#include "record/layouts.h"

namespace korvex {

// Where a record was read from: a log file, or a logbook that keeps it.
enum class Origin : std::uint8_t { LOG_FILE, LOGBOOK };

// Its payload lies in the reader's packet buffer and is valid until the reader's next read.
struct Record {
  std::uint32_t timestamp = 0;
  const std::uint8_t* payload = nullptr;
  std::int32_t payload_len = 0;
  RecordLayout revision = 0;
  SectionFlags sections = 0;
  // Where each section present was found: the offset of its id byte from the payload start
  // (negative when the section offset byte points into the timestamp). Indexed by section id.
  std::int32_t section_at[SECTION_ID_COUNT] = {};
  // Of several logs read together, the one it comes from (0: the first), and what kind it is.
  std::uint32_t log = 0;
  Origin origin = Origin::LOG_FILE;
  // A logbook's record: its row there, and the flight, the flight's key and the phase it was
  // stored with (0 for no key; 1 + the phase's number, 0 for none).
  std::int64_t stored_row = 0;
  std::int64_t stored_flight = 0;
  std::int64_t stored_flight_id = 0;
  std::uint8_t stored_phase = 0;

  // The body of section `id` (behind its id and length bytes), or nullptr when the record lacks
  // that section.
  const std::uint8_t* section(int id) const {
    return (sections & section_flag(id)) != 0 ? payload + section_at[id] + 2 : nullptr;
  }
};

}  // namespace korvex
