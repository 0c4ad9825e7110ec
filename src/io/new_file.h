// A file written whole or not at all. It is made without a name in the folder it goes to
// (O_TMPFILE), so that no one sees it, under any name, until it is complete: a run that fails
// or is killed, even with SIGKILL, leaves nothing. Where the file system cannot make a file
// without a name, it is made under a hidden temporary name (".NAME.PID.N") instead, which a
// killed run may leave behind. Files are made with mode 0666 less the umask.
//
// Syncing is the caller's: sync the file (or its file system) before publish() for the data to
// be on disk before the name, and sync the folder after it for the name to be.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

#include "io/system_calls.h"

namespace korvex {

class NewFile {
 public:
  NewFile() = default;
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;
  NewFile(NewFile&& other) noexcept { *this = std::move(other); }
  NewFile& operator=(NewFile&& other) noexcept;
  ~NewFile() { discard(); }

  // How the file is made: without a name where the file system can, or under a hidden name
  // (what a file system without unnamed files gets; tests ask for it).
  enum class Naming { UNNAMED_FIRST, HIDDEN_NAME };

  // Makes the file that is to become `path`, open for reading and writing; false with errno
  // set. Its links and renames go through `calls`.
  bool create(const std::string& path, Naming naming = Naming::UNNAMED_FIRST,
              SystemCalls* calls = nullptr);
  int fd() const { return fd_; }
  const std::string& path() const { return path_; }
  // Its hidden name, when made under one (for a program that opens it by name).
  const std::string& hidden_path() const { return temporary_; }
  bool is_open() const { return fd_ >= 0; }

  // Closes the complete file and gives it its name. An existing file of that name is replaced
  // (in one step) with `replace`; else it is left as it is and publish fails with EEXIST, the
  // file still open, so that the caller may compare it or publish it with `replace`. On any
  // other failure, false with errno set and the file discarded.
  bool publish(bool replace);
  // Closes and forgets the file.
  void discard();

 private:
  int fd_ = -1;
  std::string path_;
  std::string temporary_;  // its hidden name, when it has one
  SystemCalls* calls_ = nullptr;
};

// Removes the hidden files a killed run left behind for `path` (".NAME.PID.N" of a process that
// is gone). The number removed.
int remove_left_behind(const std::string& path);

// Reads n bytes at `offset` (fewer only at the end of the file); the count, or -1 with errno set.
ssize_t read_at(int fd, char* data, std::size_t n, off_t offset);

// Writes all n bytes; false with errno set.
bool write_all(int fd, const void* data, std::size_t n, SystemCalls* calls = nullptr);

// True when the open file `fd` holds the same bytes as the file at `path` (false too when
// `path` cannot be read).
bool same_content(int fd, const std::string& path);

// Syncs the folder that holds `path`, so that the names given to files in it stay after a power
// cut; false with errno set.
bool sync_folder_of(const std::string& path, SystemCalls* calls = nullptr);

// What a failed sync of the folder of `path`, after the file was named, leaves, in words: the
// failure's (`err`), and that the file is whole but its name may not last.
std::string unsynced_folder(const std::string& path, int err);

// How many files the process may hold open besides those it has, about: the soft limit is
// raised towards the hard one first (to at most 8,192).
std::size_t open_file_budget();

// The folder part of `path` ("." for a bare name).
std::string folder_of(const std::string& path);

// Where a file made under the name `path` goes: `path` itself, or, when it is a symbolic link,
// where its links lead, so that the link stays a link. The target need not exist (a dangling
// link names the file to make).
std::string path_through_links(const std::string& path);

}  // namespace korvex
