// --split DIR: one file per flight, each with its own header. A file is written whole or not at
// all: to a temporary name in DIR first, then linked to its own name when complete, so that an
// existing file is never replaced and a failed run leaves no half-written file.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "io/out_buffer.h"
#include "output/log_output.h"

namespace korvex {

struct SplitFile {
  std::int64_t flight;
  std::string path;
};

class SplitOutput final : public LogOutput {
 public:
  // The output that writes the file of one flight.
  using MakeOutput = std::function<std::unique_ptr<LogOutput>(OutBuffer& out, std::int64_t flight)>;

  // `files` names the file of every flight to write, in order (the records of other flights
  // are passed over); `make` makes the output that writes one file.
  SplitOutput(std::vector<SplitFile> files, MakeOutput make);
  ~SplitOutput() override;

  void begin() override {}
  bool record(const Record& rec, std::int64_t flight) override;
  bool end() override { return finish_file(); }
  std::int64_t rows() const override { return rows_ + (current_ ? current_->rows() : 0); }
  int write_error() const override { return error_; }
  std::string failed_file() const override { return failed_; }

  // The files written whole, in order.
  const std::vector<std::string>& written() const { return written_; }

 private:
  bool has_file(std::int64_t flight);
  bool open_file();
  bool finish_file();
  bool fail(const std::string& path);

  std::vector<SplitFile> files_;
  MakeOutput make_;
  std::size_t next_ = 0;  // the next entry of files_ to open
  std::int64_t current_flight_ = 0;
  int fd_ = -1;
  std::string temporary_;  // the file being written, under its temporary name
  std::string path_;       // ... and the name it gets when complete
  std::unique_ptr<OutBuffer> buffer_;
  std::unique_ptr<LogOutput> current_;
  std::int64_t rows_ = 0;  // of the files completed
  std::vector<std::string> written_;
  int error_ = 0;
  std::string failed_;
};

}  // namespace korvex
