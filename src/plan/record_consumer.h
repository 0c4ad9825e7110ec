// What every output is: something that takes the records of a log, one at a time, in the order
// of the read plan.
#pragma once

#include "record/record.h"

namespace korvex {

class RecordConsumer {
 public:
  virtual ~RecordConsumer() = default;
  // One record; false stops the reading (the consumer cannot go on, e.g. a write failed).
  virtual bool record(const Record& rec) = 0;
};

}  // namespace korvex
