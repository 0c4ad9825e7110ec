#include "io/system_calls.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

namespace korvex {

ssize_t write_call(SystemCalls* calls, int fd, const void* data, std::size_t n) {
  return call_fails(calls, SystemCall::WRITE) ? -1 : ::write(fd, data, n);
}

ssize_t pwrite_call(SystemCalls* calls, int fd, const void* data, std::size_t n, off_t offset) {
  return call_fails(calls, SystemCall::WRITE) ? -1 : ::pwrite(fd, data, n, offset);
}

int fsync_call(SystemCalls* calls, int fd) {
  return call_fails(calls, SystemCall::SYNC) ? -1 : ::fsync(fd);
}

int syncfs_call(SystemCalls* calls, int fd) {
  return call_fails(calls, SystemCall::SYNC) ? -1 : ::syncfs(fd);
}

int rename_call(SystemCalls* calls, const char* from, const char* to) {
  return call_fails(calls, SystemCall::RENAME) ? -1 : ::rename(from, to);
}

int renameat2_call(SystemCalls* calls, const char* from, const char* to, unsigned flags) {
  return call_fails(calls, SystemCall::RENAME) ? -1
                                               : ::renameat2(AT_FDCWD, from, AT_FDCWD, to, flags);
}

int link_call(SystemCalls* calls, const char* from, const char* to) {
  return call_fails(calls, SystemCall::LINK) ? -1 : ::link(from, to);
}

int linkat_call(SystemCalls* calls, int from_dir, const char* from, int to_dir, const char* to,
                int flags) {
  return call_fails(calls, SystemCall::LINK) ? -1 : ::linkat(from_dir, from, to_dir, to, flags);
}

}  // namespace korvex
