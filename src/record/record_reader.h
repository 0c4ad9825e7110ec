// The record reader: validated records out of the log's packets, one after another from the
// stream's position. A pass owns one reader; the reader owns the packet buffer, the count of bad
// packets and the progress dots of the framing.
#pragma once

#include <cstdint>

#include "io/byte_stream.h"
#include "io/messages.h"
#include "record/record.h"

namespace korvex {

class RecordReader {
 public:
  // Reads `in`; dots go to `progress` when given.
  RecordReader(ByteStream& in, Messages* progress);
  ~RecordReader();
  RecordReader(const RecordReader&) = delete;
  RecordReader& operator=(const RecordReader&) = delete;

  // The next record, or nullptr at the end of the records: the end of the file, or a failed
  // read (the stream's failed() tells). Every packet passed over is a bad packet. After a record
  // the stream stands on the start marker that follows it, or at the end of the file. The
  // record is valid until the next call.
  const Record* next();

  // Packets that a start marker introduced and that were no record.
  std::int64_t bad_packets() const { return bad_packets_; }

 private:
  bool join_split_record(std::uint32_t size);

  ByteStream& in_;
  Messages* progress_;
  std::int64_t bad_packets_ = 0;
  Record record_;
  PacketBuffer packet_;
};

}  // namespace korvex
