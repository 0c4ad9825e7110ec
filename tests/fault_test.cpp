// Bad input and failing surroundings: whatever the bytes or the file system do, the tool ends
// with a clear status and message, reads nothing outside its records and loses no record it can
// read.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "cli/convert.h"
#include "support/log_builder.h"
#include "support/run_capture.h"

namespace korvex::test {
namespace {

const std::string kScan = "Scanning for first and last record, please wait";
const std::string kNoRecords = "\nUnable to locating starting and/or ending record\n";

std::string summary(int rows, int bad) {
  return "\nRead " + std::to_string(rows) + " packets, skipped " + std::to_string(bad) +
         " bad packets.\n";
}

bool ends_with(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(Faults, FilesOfOneRepeatedByteHoldNoRecord) {
  const std::size_t n = 100000;
  struct Case {
    Bytes log;
    std::string dots;  // one per 1000 bytes skipped in the search for a marker
  };
  Bytes pairs;
  for (std::size_t i = 0; i < n / 2; ++i) pairs.insert(pairs.end(), {0xAA, 0x55});
  const Case cases[] = {{Bytes(n, 0xAA), std::string(100, '.')},
                        {Bytes(n, 0x55), std::string(100, '.')},
                        {Bytes(n, 0x00), std::string(100, '.')},
                        {pairs, ""}};  // 50,000 empty packets: nothing is skipped
  for (const Case& c : cases) {
    const Conversion r = convert(c.log, DELIM_TAB);
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, kScan + c.dots + kNoRecords);
  }
}

TEST(Faults, MegabytesWithoutAMarkerAreOneBadPacket) {
  const Bytes log = LogBuilder().record(0, 1).marker().fill(5000000, 0x01).record(0, 2).bytes;
  const Conversion r = convert(log, DELIM_COMMA);
  EXPECT_EQ(r.status, 0);
  // Five dots for the body in the survey and five more in the dump.
  EXPECT_EQ(r.err, kScan + "....." +
                       "\nOptional record sections present:\nDumping packets, please wait....." +
                       summary(2, 1));
}

TEST(Faults, RecordsCutAtEveryLengthCostOnlyThemselves) {
  const SectionFlags all = SECTION_TELM1 | SECTION_TELM2 | SECTION_ATTITUDE | SECTION_GPS;
  for (RecordLayout layout = 0; layout < RECORD_LAYOUT_COUNT; ++layout) {
    const Bytes body = record_body(layout, sample_fields(90061, all));
    for (std::size_t cut = 0; cut < body.size(); ++cut) {
      SCOPED_TRACE(testing::Message() << "layout " << layout << " cut " << cut);
      const Bytes part(body.begin(), body.begin() + static_cast<std::ptrdiff_t>(cut));
      // Between two records, and as the last packet of the file.
      Conversion r = convert(
          LogBuilder().record(layout, 10, all).marker().raw(part).record(layout, 11, all).bytes,
          DELIM_COMMA);
      ASSERT_EQ(r.status, 0);
      ASSERT_TRUE(ends_with(r.err, summary(2, 1))) << r.err;
      r = convert(LogBuilder().record(layout, 10, all).marker().raw(part).bytes, DELIM_TAB);
      ASSERT_TRUE(ends_with(r.err, summary(1, 1))) << r.err;
    }
  }
}

TEST(Faults, ClosedStandardOutputEndsWithStatus8) {
  const std::string log =
      write_temp_file("closed-stdout.rec", LogBuilder().records(0, {1, 2, 3}).bytes);
  const ProcessResult r = run_tool_process({"tab", log}, CLOSED_STDOUT);
  EXPECT_EQ(r.status, 8);
  EXPECT_TRUE(
      ends_with(r.err, "Dumping packets, please wait\nError on write: Bad file descriptor\n"))
      << r.err;
}

TEST(Faults, SparseFileOfFiveGibibytes) {
  // The newest records near the start, a start marker, then zeros (holes) up to beyond 4 GiB,
  // where a record with the newest timestamp again and then the oldest records end the file.
  // The zeros are one bad packet; the oldest record's read starts beyond 4 GiB.
  const std::int64_t far = (std::int64_t{5} << 30) - 4096;
  const Bytes head = LogBuilder().records(1, {20, 21, 22}).marker().bytes;
  const Bytes tail = LogBuilder().records(1, {22, 1, 2, 3}).bytes;
  // On tmpfs reading a hole costs neither disk nor memory; elsewhere the kernel fills pages.
  const std::filesystem::path dir = std::filesystem::is_directory("/dev/shm")
                                        ? "/dev/shm"
                                        : std::filesystem::temp_directory_path();
  const std::string path =
      (dir / ("korvex-sparse-" + std::to_string(::getpid()) + ".rec")).string();
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, head.data(), head.size()), static_cast<ssize_t>(head.size()));
  ASSERT_EQ(::pwrite(fd, tail.data(), tail.size(), far), static_cast<ssize_t>(tail.size()));
  ASSERT_EQ(::close(fd), 0);
  ASSERT_GT(std::filesystem::file_size(path), (std::uintmax_t{5} << 30) - 8192);
  const ProcessResult r = run_tool_process({"comma", path});
  std::filesystem::remove(path);
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(ends_with(r.err, summary(7, 1))) << r.err.substr(r.err.size() - 200);
  std::vector<std::string> times;
  for (std::size_t at = r.out.find('\n') + 1; at < r.out.size(); at = r.out.find('\n', at) + 1) {
    times.push_back(r.out.substr(at, r.out.find(',', at) - at));
  }
  EXPECT_EQ(times, (std::vector<std::string>{"1", "2", "3", "20", "21", "22", "22"}));
}

}  // namespace
}  // namespace korvex::test

namespace korvex::test {
namespace {

// A log file whose bytes or times something changes when the dump begins: at the source's
// second seek (the first is the survey's; the stream's buffer is smaller than the file, so the
// dump reads the file again).
struct ChangingFile {
  int fd;
  void (*change)(int fd);
  int seeks = 0;
  ByteSource file = fd_source(&fd);

  ByteSource source() { return ByteSource{this, read, seek, stamp}; }
  static std::int64_t read(void* ctx, std::uint8_t* dst, std::size_t n) {
    const ByteSource& file = static_cast<ChangingFile*>(ctx)->file;
    return file.read(file.ctx, dst, n);
  }
  static int seek(void* ctx, std::int64_t offset) {
    auto* self = static_cast<ChangingFile*>(ctx);
    if (++self->seeks == 2 && self->change != nullptr) self->change(self->fd);
    return self->file.seek(self->file.ctx, offset);
  }
  static bool stamp(void* ctx, SourceStamp& s) {
    const ByteSource& file = static_cast<ChangingFile*>(ctx)->file;
    return file.stamp(file.ctx, s);
  }
};

TEST(Faults, ALogThatChangesWhileItIsReadIsAnError) {
  const std::string kChanged = "\nError on read: the log changed while it was being read\n";
  const std::string kMessages =
      kScan + "\nOptional record sections present:\nDumping packets, please wait";
  LogBuilder b;
  for (std::uint32_t t = 0; t < 100; ++t) b.record(0, t);  // 32 bytes each
  struct Case {
    const char* what;
    void (*change)(int fd);
    int status;
    std::size_t rows;  // printed before the end
  };
  const Case cases[] = {
      {"untouched", nullptr, 0, 100},
      {"cut to half its size", [](int fd) { ASSERT_EQ(::ftruncate(fd, 1600), 0); }, 7, 50},
      {"rewritten with the same bytes",
       [](int fd) {
         const timespec later[2] = {{0, UTIME_OMIT}, {2000000000, 0}};
         ASSERT_EQ(::futimens(fd, later), 0);
       },
       7, 100},
      {"grown by a record",
       [](int fd) {
         const Bytes more = LogBuilder().record(0, 100).bytes;
         ASSERT_EQ(::pwrite(fd, more.data(), more.size(), 3200), static_cast<ssize_t>(more.size()));
       },
       7, 101},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = write_temp_file("changing.rec", b.bytes);
    ChangingFile file{::open(path.c_str(), O_RDWR), c.change};
    ASSERT_GE(file.fd, 0);
    ByteStream in(file.source(), kMinStreamBuffer);  // the dump reads the file again
    MessageCapture err;
    std::string table;
    OutBuffer out(&table);
    const int status = convert_log(in, out, "tab", err.messages);
    ::close(file.fd);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(static_cast<std::size_t>(std::count(table.begin(), table.end(), '\n')), c.rows + 1);
    EXPECT_EQ(err.str(), kMessages + (c.status == 0 ? summary(100, 0) : kChanged));
  }
}

}  // namespace
}  // namespace korvex::test
