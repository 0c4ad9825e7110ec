// Writes a log the way the instrument does: one record per second through days of flights, into
// a circular file that starts again at offset 0 when the next record does not fit. Optional
// faults damage it as power cuts and bad cards do. The report says what was written and what a
// reader of the log will find in it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "flight_model.h"
#include "record/layouts.h"
#include "record_writer.h"

namespace korvex::synth {

struct SynthOptions {
  RecordLayout layout = 2;
  SectionFlags sections = SECTION_TELM1 | SECTION_TELM2 | SECTION_ATTITUDE | SECTION_GPS;
  int flights = 3;            // used when hours is 0
  double hours = 0;           // flight hours to log, in as many flights as that takes
  std::int64_t capacity = 0;  // file capacity in bytes; 0: the file only grows
  std::uint64_t seed = 1;
  int start_year = 2026, start_month = 6, start_day = 14;
  // Faults, each injected this many times at records chosen by the seed.
  int garbage = 0;        // runs of bytes without a start marker between two packets
  int power_cuts = 0;     // records cut short, followed by a restart of the instrument
  int stray_aa = 0;       // a byte 0xAA in a record's data (harmless)
  int stray_markers = 0;  // the pair 0xAA 0x55 in a record's data (splits the record)
  int mixed_count = 0;    // records written in mixed_layout instead
  RecordLayout mixed_layout = 0;
  bool keep_records = false;  // keep every record's fields in the result, for tests
  bool exceedances = false;   // limits exceeded at known seconds of every flight
  // From this flight on (1, 2, ...; 0: never) the engine wears: one cylinder's CHT and EGT rise
  // against the others a flight at a time, and the oil pressure falls (see Drift).
  int drift_from = 0;
  int drift_cylinder = 3;  // 1 to 6
  // The file as downloaded after this many of the flights (0: after all of them): the same
  // history, read off the instrument on an earlier day.
  int download_after = 0;
};

// Limits exceeded on purpose: in every flight long enough, at the same seconds from its start.
struct Exceedance {
  std::int64_t flight = 0;  // 1, 2, ... in the order flown
  std::string what;         // "oil temperature", "oil pressure", "hot cylinder", "cooling"
  std::uint32_t first_timestamp = 0, last_timestamp = 0;
};

// How --drift wears the engine: in the k-th flight from its first (k = 1 there), the cylinder's
// CHT and EGT read k times their rate more (at most their most), the oil pressure k times its
// rate less (at most its most), in every second of the flight and in both engine monitors.
struct Drift {
  static constexpr double kChtPerFlight = 5;    // F
  static constexpr double kEgtPerFlight = 6;    // F
  static constexpr double kOilPerFlight = 1.5;  // psi
  static constexpr double kMostCht = 60, kMostEgt = 90, kMostOil = 15;
  int first_flight = 0;  // 0: none
  int cylinder = 0;
  // What it adds in flight `flight` (1, 2, ...): to the CHT, to the EGT, to the oil pressure.
  double cht(std::int64_t flight) const { return amount(flight, kChtPerFlight, kMostCht); }
  double egt(std::int64_t flight) const { return amount(flight, kEgtPerFlight, kMostEgt); }
  double oil(std::int64_t flight) const { return -amount(flight, kOilPerFlight, kMostOil); }

 private:
  double amount(std::int64_t flight, double rate, double most) const {
    if (first_flight == 0 || flight < first_flight) return 0;
    const double k = static_cast<double>(flight - first_flight + 1);
    return k * rate < most ? k * rate : most;
  }
};

// One record as written, with where it stands.
struct WrittenRecord {
  RecordFields fields;
  RecordLayout layout = 0;
  std::int64_t offset = 0;   // of its start marker
  std::uint32_t length = 0;  // marker included
};

// A flight as it was flown: its first and last second, and what the model says of it.
// A stretch of seconds flown in cruise, and the median over it of each true value.
struct CruiseTruth {
  std::uint32_t first_timestamp = 0;
  std::uint32_t last_timestamp = 0;
  TrueValues median;
};

struct FlownFlight {
  std::uint32_t first_timestamp = 0;
  std::uint32_t last_timestamp = 0;
  FlightTruth truth;
  // With keep_records: the phase flown in each second from the first (takeoff and landing the
  // first and last 60 seconds in the air).
  std::vector<Phase> phases;
  // With keep_records: its cruise segments as flown.
  std::vector<CruiseTruth> cruise;
};

// The seconds of takeoff and of landing in the phases flown.
inline constexpr int FLOWN_TAKEOFF_SECONDS = 60;

struct SynthReport {
  std::int64_t records_written = 0;
  std::int64_t flights = 0;
  std::vector<FlownFlight> flown;       // every flight, in order
  std::vector<Exceedance> exceedances;  // injected, in the order of their first second
  Drift drift;                          // the wear of --drift
  std::uint32_t first_timestamp = 0;
  std::uint32_t last_timestamp = 0;
  std::int64_t wraps = 0;
  std::int64_t file_size = 0;
  std::int64_t oldest_offset = -1;  // of the oldest record left whole in a wrapped file
  std::int64_t records_whole = 0;   // records left whole in the file
  // Faults injected.
  std::int64_t garbage_runs = 0;
  std::int64_t power_cuts = 0;
  std::int64_t stray_aa = 0;
  std::int64_t stray_markers = 0;
  std::int64_t mixed_records = 0;
  // Whole records whose own bytes hold 0xAA 0x55: the framing splits them into several
  // packets. The reader joins up to four packets back into a record; records split further, or
  // whose last piece runs into other bytes, are lost as bad packets.
  std::vector<std::uint32_t> rejoined_timestamps;
  std::vector<std::uint32_t> split_timestamps;  // lost
  // Whole records that a following run of garbage or the torn remainder of an overwritten
  // record lengthens into a bad packet.
  std::vector<std::uint32_t> joined_timestamps;
  // What a reader finds: the packets that are whole records, and all the others.
  std::int64_t expected_rows = 0;
  std::int64_t expected_bad_packets = 0;
};

struct SynthResult {
  std::vector<std::uint8_t> image;
  SynthReport report;
  std::vector<WrittenRecord> records;  // only with keep_records: the records read back whole
};

SynthResult synthesize(const SynthOptions& options);

// The report as the synthesizer prints it.
std::string format_report(const SynthOptions& options, const SynthReport& report,
                          const std::string& path);

}  // namespace korvex::synth
