// An output of the tool: it learns of the log's selected records through flight events, in the
// order they are read, and writes something of its own before and after them.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "plan/merged_read.h"
#include "selection/flight_events.h"

namespace korvex {

// The findings an output found, and in how many flights.
struct FindingCount {
  std::int64_t findings = 0;
  std::int64_t flights = 0;
  FindingCount& operator+=(const FindingCount& other) {
    findings += other.findings;
    flights += other.flights;
    return *this;
  }
};

// A log file a run read, for an output that keeps where its records came from.
struct LogFacts {
  std::size_t read = 0;    // its place among the logs read (Record::log)
  std::string name;        // as messages name it
  std::int64_t size = -1;  // bytes; -1 when unknown
  std::string sha256;      // of its bytes, hexadecimal; empty when unknown
  LogTally tally;          // what the run read of it
};

class LogOutput : public FlightEvents {
 public:
  // Before the first flight (a header); false when it fails.
  virtual bool begin() = 0;
  bool begin_flight(const FlightFacts&) override { return true; }
  bool end_flight() override { return true; }
  // After the last flight; false when a write failed.
  virtual bool end() = 0;
  // The rows written.
  virtual std::int64_t rows() const = 0;
  // The errno of the failed write, or 0.
  virtual int write_error() const = 0;
  // What failed, when the errno does not say it (a database's own message); else empty.
  virtual std::string failure_reason() const { return {}; }
  // What could not be written: empty for standard output, else the file's path.
  virtual std::string failed_file() const { return {}; }
  // Its own file (the FILE of -o that it writes) has its name, though the run failed.
  virtual bool named_though_failed() const { return false; }
  // The log files read (not a logbook's own records), in the order given: after the last record,
  // before end().
  virtual void logs_read(std::span<const LogFacts>) {}
  // The findings it found (an output that looks for none found none).
  virtual FindingCount findings() const { return {}; }
  // What it says at the end of a run that succeeded, or empty.
  virtual std::string closing_note() const { return {}; }
};

}  // namespace korvex
