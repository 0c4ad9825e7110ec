// Builds logs for the tests from intent: records by layout, timestamp, fields and sections, plus
// raw bytes and bare start markers where a test needs a damaged file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/options.h"
#include "io/byte_stream.h"
#include "io/messages.h"
#include "io/out_buffer.h"
#include "output/cells/cells.h"
#include "record/layouts.h"
#include "record_writer.h"

namespace korvex::test {

using Bytes = std::vector<std::uint8_t>;

// Fields that differ from one timestamp to the next, with the given sections present.
RecordFields sample_fields(std::uint32_t timestamp, SectionFlags sections);
// Fields whose base payload holds the start marker `pairs` times (1 to 4): the framing splits
// such a record into pairs + 1 packets.
RecordFields split_fields(std::uint32_t timestamp, int pairs);

struct LogBuilder {
  Bytes bytes;

  LogBuilder& record(RecordLayout layout, std::uint32_t timestamp, SectionFlags sections = 0);
  LogBuilder& record(RecordLayout layout, const RecordFields& fields);
  // Records stamped with each timestamp in turn.
  LogBuilder& records(RecordLayout layout, std::initializer_list<std::uint32_t> timestamps,
                      SectionFlags sections = 0);
  LogBuilder& marker();
  LogBuilder& raw(std::initializer_list<std::uint8_t> data);
  LogBuilder& raw(const Bytes& data);
  LogBuilder& fill(std::size_t count, std::uint8_t value);

  std::int64_t size() const { return static_cast<std::int64_t>(bytes.size()); }
};

// The record body (no marker) of one record.
Bytes record_body(RecordLayout layout, const RecordFields& fields);

// A memory stream over a log, with its source.
struct MemoryStream {
  explicit MemoryStream(const Bytes& log, std::size_t buffer_size = kStreamBufferSize)
      : source{log.data(), log.size()}, stream(memory_source(&source), buffer_size) {}
  MemorySource source;
  ByteStream stream;
};

// Messages kept in a text.
struct MessageCapture {
  std::string text;
  Messages messages{&text};
  const std::string& str() {
    messages.flush();
    return text;
  }
};

// A whole conversion in memory.
struct Conversion {
  int status = 0;
  std::string out;
  std::string err;
};
// In the format named by its word.
Conversion convert(const Bytes& log, std::string_view format);
Conversion convert(const Bytes& log, const Options& options);
// Several logs read as one.
Conversion convert(const std::vector<Bytes>& logs, const Options& options);
// The classic table in the delimiter mode's format.
Conversion convert(const Bytes& log, DelimiterMode mode);

// Writes bytes to a new file in the test's temporary folder; returns its path.
std::string write_temp_file(const std::string& name, const Bytes& bytes);

}  // namespace korvex::test
