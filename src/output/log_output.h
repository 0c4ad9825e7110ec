// An output of the tool: it takes the log's records, in the read plan's order and with the
// flight each belongs to, and writes something of its own before and after them.
#pragma once

#include <cstdint>
#include <string>

#include "record/record.h"

namespace korvex {

class LogOutput {
 public:
  virtual ~LogOutput() = default;
  // Before the first record (a header).
  virtual void begin() = 0;
  // One record of flight `flight`; false stops the reading: a write failed.
  virtual bool record(const Record& rec, std::int64_t flight) = 0;
  // After the last record; false when a write failed.
  virtual bool end() = 0;
  // The rows written.
  virtual std::int64_t rows() const = 0;
  // The errno of the failed write, or 0.
  virtual int write_error() const = 0;
  // What could not be written: empty for standard output, else the file's path.
  virtual std::string failed_file() const { return {}; }
};

}  // namespace korvex
