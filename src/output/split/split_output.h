// --split DIR: one file per flight, each with its own header, named after the flight's first
// time, so that the folder can be an archive that each new download adds its flights to. A
// file holds its flight as flight 1, so that it is the same whichever download it comes from.
//
// A file is written whole or not at all: made without a name in DIR, it gets its name only when
// complete. Completed files are named in batches: the file system is synced once (the data of a
// whole batch on disk before any of its names), the files are linked in, and the folder is
// synced. A file that exists already is never replaced unless asked: with the same content it is
// left as it is ("unchanged"); with other content it is kept and reported, or with `replace` it
// is replaced in one step.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "io/new_file.h"
#include "io/out_buffer.h"
#include "output/format/log_output.h"
#include "selection/flight_list.h"
#include "selection/flight_scan.h"

namespace korvex {

struct SplitFile {
  std::int64_t flight;
  std::string path;
};

// The name of a flight's file in `dir`: its first time (YYYY-MM-DD_HHMMSS.EXT) when dated, else
// flight-NNN_SECONDS.EXT with the number padded with zeros to `number_width` digits.
std::string split_path(const std::string& dir, const FlightFacts& flight, int number_width,
                       std::string_view extension);

// The files of the flights of the scan that the list selects, in order; with `need_fix`, a
// flight without a GPS fix gets none. Numbers are padded to the width of the scan's largest; a
// name that an earlier flight of the run already has gets "_2", "_3", ... before its extension
// (so that it sorts after the first).
std::vector<SplitFile> split_files(const std::string& dir, const FlightScan& scan,
                                   const FlightList& flights, bool need_fix,
                                   std::string_view extension);

// What became of a flight's file.
enum class FileFate : std::uint8_t {
  NONE,       // not written (no record, or the run failed first)
  WRITTEN,    // new
  REPLACED,   // another file of that name was replaced
  UNCHANGED,  // the same file was there
  KEPT,       // another file of that name was there and was kept
};

// Where a flight's file goes: while a file of its name exists, its bytes are compared with that
// file's; from where they differ (or from the start, when there is none) they go to a new file,
// or, when a differing file is to be kept, nowhere. A file that is the same is never written.
class FlightFileSink final : public ByteSink {
 public:
  FlightFileSink();
  FlightFileSink(const FlightFileSink&) = delete;
  FlightFileSink& operator=(const FlightFileSink&) = delete;
  ~FlightFileSink() override { discard(); }
  // Starts the file that is to become `path`, written through `calls`; false with errno set.
  bool open(const std::string& path, bool replace, SystemCalls* calls);
  bool put(const char* data, std::size_t n) override;

  enum class Outcome {
    NEW,      // a new file to name, in `file`
    REPLACE,  // a new file, in `file`, to take the place of the one of its name
    SAME,     // the file of its name is the same
    KEPT,     // the file of its name differs, and is kept
    FAILED,   // errno says why
  };
  // At the end of the file's bytes.
  Outcome finish(NewFile& file);
  // Drops the file, if any.
  void discard();
  const std::string& path() const { return path_; }

 private:
  bool diverge();
  bool compare(const char* data, std::size_t n);

  std::string path_;
  bool replace_ = false;
  bool existed_ = false;  // a file of its name was there when it began
  NewFile file_;
  int existing_ = -1;          // the file of its name, while the bytes agree with it
  std::int64_t compared_ = 0;  // the bytes that agree
  bool kept_ = false;          // it differs and is kept: the rest goes nowhere
  std::unique_ptr<char[]> scratch_;
  SystemCalls* calls_ = nullptr;
};

class SplitOutput final : public LogOutput {
 public:
  // The output that writes the file of one flight.
  using MakeOutput =
      std::function<std::unique_ptr<LogOutput>(OutBuffer& out, const SplitFile& file)>;

  // `files` names the file of every flight to write, in order (the records of other flights
  // are passed over); `make` makes the output that writes one file; `replace`: existing files
  // of other content are replaced. Files are written through `calls`.
  SplitOutput(std::vector<SplitFile> files, MakeOutput make, bool replace,
              SystemCalls* calls = nullptr);

  bool begin() override { return true; }
  bool begin_flight(const FlightFacts& facts) override;
  bool record(const RecordEvent& event) override;
  bool end_flight() override;
  bool end() override { return settle() && error_ == 0; }
  std::int64_t rows() const override { return rows_ + (current_ ? current_->rows() : 0); }
  int write_error() const override { return error_; }
  std::string failed_file() const override { return failed_; }
  FindingCount findings() const override {
    FindingCount count = findings_;
    if (current_) count += current_->findings();
    return count;
  }

  // Names the files completed and not yet named (after a failure too, so that what was
  // finished is kept); false when that fails.
  bool settle();
  // The files, in order, and what became of each.
  const std::vector<SplitFile>& files() const { return files_; }
  const std::vector<FileFate>& fates() const { return fates_; }

 private:
  bool has_file(std::int64_t flight);
  bool open_file();
  bool finish_file();
  bool fail(const std::string& path);
  struct Pending {
    std::size_t index;  // in files_
    NewFile file;
    bool replace;
  };
  bool settle_file(Pending& pending);

  std::vector<SplitFile> files_;
  std::vector<FileFate> fates_;
  MakeOutput make_;
  bool replace_;
  SystemCalls* calls_;
  std::size_t batch_;             // completed files held before they are named
  std::size_t next_ = 0;          // the next entry of files_ to open
  FlightFileSink sink_;           // of the file being written
  std::vector<Pending> pending_;  // complete, not yet named
  OutBuffer buffer_;
  std::unique_ptr<LogOutput> current_;
  std::int64_t rows_ = 0;  // of the files completed
  FindingCount findings_;  // likewise
  int error_ = 0;
  std::string failed_;
};

}  // namespace korvex
