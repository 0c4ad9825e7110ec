// --split DIR: one file per flight, each with its own header, named after the flight and its
// first time. A file is written whole or not at all: to a temporary name in DIR first, then
// linked to its own name when complete, so that an existing file is never replaced and a failed
// run leaves no half-written file. Files are created with mode 0666 less the umask.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "io/out_buffer.h"
#include "output/log_output.h"
#include "selection/flight_list.h"
#include "selection/flight_scan.h"

namespace korvex {

struct SplitFile {
  std::int64_t flight;
  std::string path;
};

// flight-NNN_ and the flight's first time (YYYY-MM-DD_HHMMSS, or the raw seconds), and the
// extension, in `dir`.
std::string split_path(const std::string& dir, const FlightFacts& flight,
                       std::string_view extension);

// The files of the flights of the scan that the list selects, in order; with `need_fix`, a
// flight without a GPS fix gets none.
std::vector<SplitFile> split_files(const std::string& dir, const FlightScan& scan,
                                   const FlightList& flights, bool need_fix,
                                   std::string_view extension);

// How many of the files exist already (as any kind of file), and the first of them.
struct ExistingFiles {
  int count = 0;
  std::string first;
};
ExistingFiles existing_files(const std::vector<SplitFile>& files);

class SplitOutput final : public LogOutput {
 public:
  // The output that writes the file of one flight.
  using MakeOutput = std::function<std::unique_ptr<LogOutput>(OutBuffer& out, std::int64_t flight)>;

  // `files` names the file of every flight to write, in order (the records of other flights
  // are passed over); `make` makes the output that writes one file.
  SplitOutput(std::vector<SplitFile> files, MakeOutput make);
  ~SplitOutput() override;

  void begin() override {}
  bool begin_flight(const FlightFacts& facts) override;
  bool record(const RecordEvent& event) override;
  bool end_flight() override;
  bool end() override { return error_ == 0; }
  std::int64_t rows() const override { return rows_ + (current_ ? current_->rows() : 0); }
  int write_error() const override { return error_; }
  std::string failed_file() const override { return failed_; }
  FindingCount findings() const override {
    FindingCount count = findings_;
    if (current_) count += current_->findings();
    return count;
  }

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
  int fd_ = -1;
  unsigned serial_ = 0;    // of the temporary names
  std::string temporary_;  // the file being written, under its temporary name
  std::string path_;       // ... and the name it gets when complete
  std::unique_ptr<OutBuffer> buffer_;
  std::unique_ptr<LogOutput> current_;
  std::int64_t rows_ = 0;  // of the files completed
  FindingCount findings_;  // likewise
  std::vector<std::string> written_;
  int error_ = 0;
  std::string failed_;
};

}  // namespace korvex
