// The calls to the operating system by which the tool writes files, through one seam: every
// write, sync, rename and link of a file the tool writes (and every write, sync and statement
// of a logbook's database) is counted here by kind, and a test can make the n-th call of one
// kind fail with an errno of its choice, to see that each failure path reports the failure and
// leaves the files as they should be. A run without a plan of failure passes nullptr, and the
// calls are made as they are.
#pragma once

#include <sys/types.h>

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace korvex {

enum class SystemCall : std::uint8_t {
  WRITE,     // write, pwrite, a copy's bytes, a database page
  SYNC,      // fsync, syncfs, a database's sync
  RENAME,    // rename, renameat2
  LINK,      // link, linkat
  SQL_STEP,  // a statement run on a logbook being written
};
inline constexpr std::size_t SYSTEM_CALL_KINDS = 5;

class SystemCalls {
 public:
  SystemCalls() = default;
  // Fails the `nth` call (from 1) of kind `call` with `error`.
  SystemCalls(SystemCall call, std::uint64_t nth, int error)
      : call_(call), nth_(nth), error_(error) {}

  // Counts a call of this kind; true, with errno set, when it is the one to fail.
  bool fails(SystemCall call) {
    const std::uint64_t n = ++count_[static_cast<std::size_t>(call)];
    if (nth_ == 0 || call != call_ || n != nth_) return false;
    errno = error_;
    return true;
  }
  // The calls of a kind made so far.
  std::uint64_t count(SystemCall call) const { return count_[static_cast<std::size_t>(call)]; }
  // The failure was made.
  bool failed() const { return nth_ != 0 && count(call_) >= nth_; }

 private:
  std::array<std::uint64_t, SYSTEM_CALL_KINDS> count_{};
  SystemCall call_ = SystemCall::WRITE;
  std::uint64_t nth_ = 0;  // 0: none fails
  int error_ = 0;
};

// Whether the call fails by the plan: never without one.
inline bool call_fails(SystemCalls* calls, SystemCall call) {
  return calls != nullptr && calls->fails(call);
}

// The calls themselves, each failing by the plan as it would on its own (-1 and errno).
ssize_t write_call(SystemCalls* calls, int fd, const void* data, std::size_t n);
ssize_t pwrite_call(SystemCalls* calls, int fd, const void* data, std::size_t n, off_t offset);
int fsync_call(SystemCalls* calls, int fd);
int syncfs_call(SystemCalls* calls, int fd);
int rename_call(SystemCalls* calls, const char* from, const char* to);
int renameat2_call(SystemCalls* calls, const char* from, const char* to, unsigned flags);
int link_call(SystemCalls* calls, const char* from, const char* to);
int linkat_call(SystemCalls* calls, int from_dir, const char* from, int to_dir, const char* to,
                int flags);

}  // namespace korvex
