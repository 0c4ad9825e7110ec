// An output of the tool: a consumer of the log's records, in the read plan's order, that writes
// something of its own before them.
#pragma once

#include "plan/record_consumer.h"

namespace korvex {

class LogOutput : public RecordConsumer {
 public:
  // Before the first record (a header).
  virtual void begin() = 0;
};

}  // namespace korvex
