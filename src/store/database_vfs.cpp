#include "store/database_vfs.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace korvex {

// A file of the database: SQLite's own file of the real file system, behind a header of ours.
struct DatabaseVfs::File {
  sqlite3_file base;
  DatabaseVfs* vfs;

  sqlite3_file* real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};

// SQLite's calls of the file system and of its files: passed on to the real ones, those that
// change a file through the seam.
struct DatabaseVfs::Calls {
  static File* file(sqlite3_file* f) { return reinterpret_cast<File*>(f); }
  static sqlite3_file* real(sqlite3_file* f) { return file(f)->real(); }
  static const sqlite3_io_methods& methods(sqlite3_file* f) { return *real(f)->pMethods; }
  static DatabaseVfs& self(sqlite3_vfs* vfs) { return *static_cast<DatabaseVfs*>(vfs->pAppData); }
  static sqlite3_vfs* real(sqlite3_vfs* vfs) { return self(vfs).real_; }

  static int close(sqlite3_file* f) { return methods(f).xClose(real(f)); }
  static int read(sqlite3_file* f, void* data, int n, sqlite3_int64 at) {
    return methods(f).xRead(real(f), data, n, at);
  }
  static int write(sqlite3_file* f, const void* data, int n, sqlite3_int64 at) {
    DatabaseVfs& vfs = *file(f)->vfs;
    if (call_fails(vfs.calls_, SystemCall::WRITE)) return vfs.planned_failure(SQLITE_IOERR_WRITE);
    return vfs.kept(methods(f).xWrite(real(f), data, n, at));
  }
  static int truncate(sqlite3_file* f, sqlite3_int64 size) {
    DatabaseVfs& vfs = *file(f)->vfs;
    if (call_fails(vfs.calls_, SystemCall::WRITE)) {
      return vfs.planned_failure(SQLITE_IOERR_TRUNCATE);
    }
    return vfs.kept(methods(f).xTruncate(real(f), size));
  }
  static int sync(sqlite3_file* f, int flags) {
    DatabaseVfs& vfs = *file(f)->vfs;
    if (call_fails(vfs.calls_, SystemCall::SYNC)) return vfs.planned_failure(SQLITE_IOERR_FSYNC);
    return vfs.kept(methods(f).xSync(real(f), flags));
  }
  static int size(sqlite3_file* f, sqlite3_int64* n) { return methods(f).xFileSize(real(f), n); }
  static int lock(sqlite3_file* f, int how) { return methods(f).xLock(real(f), how); }
  static int unlock(sqlite3_file* f, int how) { return methods(f).xUnlock(real(f), how); }
  static int reserved(sqlite3_file* f, int* out) {
    return methods(f).xCheckReservedLock(real(f), out);
  }
  static int control(sqlite3_file* f, int op, void* arg) {
    return methods(f).xFileControl(real(f), op, arg);
  }
  static int sector_size(sqlite3_file* f) { return methods(f).xSectorSize(real(f)); }
  static int characteristics(sqlite3_file* f) { return methods(f).xDeviceCharacteristics(real(f)); }
  // Shared memory (a write-ahead log) and memory-mapped pages, where the real file has them.
  static int shm_map(sqlite3_file* f, int region, int size, int extend, void volatile** at) {
    if (methods(f).iVersion < 2) return SQLITE_IOERR_SHMMAP;
    return methods(f).xShmMap(real(f), region, size, extend, at);
  }
  static int shm_lock(sqlite3_file* f, int offset, int n, int flags) {
    if (methods(f).iVersion < 2) return SQLITE_IOERR_SHMLOCK;
    return methods(f).xShmLock(real(f), offset, n, flags);
  }
  static void shm_barrier(sqlite3_file* f) {
    if (methods(f).iVersion >= 2) methods(f).xShmBarrier(real(f));
  }
  static int shm_unmap(sqlite3_file* f, int remove) {
    if (methods(f).iVersion < 2) return SQLITE_OK;
    return methods(f).xShmUnmap(real(f), remove);
  }
  static int fetch(sqlite3_file* f, sqlite3_int64 at, int n, void** pages) {
    *pages = nullptr;
    if (methods(f).iVersion < 3) return SQLITE_OK;
    return methods(f).xFetch(real(f), at, n, pages);
  }
  static int unfetch(sqlite3_file* f, sqlite3_int64 at, void* pages) {
    if (methods(f).iVersion < 3) return SQLITE_OK;
    return methods(f).xUnfetch(real(f), at, pages);
  }

  static int open(sqlite3_vfs* vfs, sqlite3_filename name, sqlite3_file* f, int flags, int* out) {
    File* opened = file(f);
    opened->vfs = &self(vfs);
    opened->base.pMethods = nullptr;
    sqlite3_file* inner = opened->real();
    inner->pMethods = nullptr;
    const int rc = real(vfs)->xOpen(real(vfs), name, inner, flags, out);
    // A file the real system opened is closed through ours, even after a failure.
    if (inner->pMethods != nullptr) opened->base.pMethods = &self(vfs).methods_;
    return rc;
  }
  static int remove(sqlite3_vfs* vfs, const char* name, int sync_dir) {
    return real(vfs)->xDelete(real(vfs), name, sync_dir);
  }
  static int access(sqlite3_vfs* vfs, const char* name, int flags, int* out) {
    return real(vfs)->xAccess(real(vfs), name, flags, out);
  }
  static int full_pathname(sqlite3_vfs* vfs, const char* name, int n, char* out) {
    return real(vfs)->xFullPathname(real(vfs), name, n, out);
  }
  static void* dl_open(sqlite3_vfs* vfs, const char* name) {
    return real(vfs)->xDlOpen(real(vfs), name);
  }
  static void dl_error(sqlite3_vfs* vfs, int n, char* out) {
    real(vfs)->xDlError(real(vfs), n, out);
  }
  static void (*dl_sym(sqlite3_vfs* vfs, void* lib, const char* symbol))() {
    return real(vfs)->xDlSym(real(vfs), lib, symbol);
  }
  static void dl_close(sqlite3_vfs* vfs, void* lib) { real(vfs)->xDlClose(real(vfs), lib); }
  static int randomness(sqlite3_vfs* vfs, int n, char* out) {
    return real(vfs)->xRandomness(real(vfs), n, out);
  }
  static int sleep(sqlite3_vfs* vfs, int microseconds) {
    return real(vfs)->xSleep(real(vfs), microseconds);
  }
  static int current_time(sqlite3_vfs* vfs, double* now) {
    return real(vfs)->xCurrentTime(real(vfs), now);
  }
  // SQLite asks for the errno of a failure here: the one kept, when there is one.
  static int last_error(sqlite3_vfs* vfs, int n, char* out) {
    if (self(vfs).errno_ != 0) return self(vfs).errno_;
    return real(vfs)->xGetLastError(real(vfs), n, out);
  }
  static int current_time_int64(sqlite3_vfs* vfs, sqlite3_int64* now) {
    return real(vfs)->xCurrentTimeInt64(real(vfs), now);
  }
};

DatabaseVfs::DatabaseVfs(SystemCalls* calls) : calls_(calls) {
  real_ = sqlite3_vfs_find(nullptr);
  if (real_ == nullptr || real_->iVersion < 2) return;
  char name[48];
  std::snprintf(name, sizeof name, "korvex-%p", static_cast<void*>(this));
  name_ = name;
  vfs_.iVersion = 2;
  vfs_.szOsFile = static_cast<int>(sizeof(File)) + real_->szOsFile;
  vfs_.mxPathname = real_->mxPathname;
  vfs_.zName = name_.c_str();
  vfs_.pAppData = this;
  vfs_.xOpen = Calls::open;
  vfs_.xDelete = Calls::remove;
  vfs_.xAccess = Calls::access;
  vfs_.xFullPathname = Calls::full_pathname;
  vfs_.xDlOpen = Calls::dl_open;
  vfs_.xDlError = Calls::dl_error;
  vfs_.xDlSym = Calls::dl_sym;
  vfs_.xDlClose = Calls::dl_close;
  vfs_.xRandomness = Calls::randomness;
  vfs_.xSleep = Calls::sleep;
  vfs_.xCurrentTime = Calls::current_time;
  vfs_.xGetLastError = Calls::last_error;
  vfs_.xCurrentTimeInt64 = Calls::current_time_int64;
  methods_ = {3,
              Calls::close,
              Calls::read,
              Calls::write,
              Calls::truncate,
              Calls::sync,
              Calls::size,
              Calls::lock,
              Calls::unlock,
              Calls::reserved,
              Calls::control,
              Calls::sector_size,
              Calls::characteristics,
              Calls::shm_map,
              Calls::shm_lock,
              Calls::shm_barrier,
              Calls::shm_unmap,
              Calls::fetch,
              Calls::unfetch};
  registered_ = sqlite3_vfs_register(&vfs_, 0) == SQLITE_OK;
}

DatabaseVfs::~DatabaseVfs() {
  if (registered_) sqlite3_vfs_unregister(&vfs_);
}

int DatabaseVfs::planned_failure(int code) {
  errno_ = errno;
  return errno_ == ENOSPC ? SQLITE_FULL : code;
}

int DatabaseVfs::kept(int rc) {
  if (rc != SQLITE_OK) errno_ = errno;
  return rc;
}

int DatabaseVfs::take_errno() {
  const int err = errno_;
  errno_ = 0;
  return err;
}

}  // namespace korvex
