#include "output/sqlite/sqlite_output.h"

#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <iterator>
#include <string>
#include <vector>

#include "fields/value.h"
#include "io/concat.h"
#include "io/new_file.h"
#include "output/cells/time_cell.h"
#include "output/describe/describe.h"
#include "record/timestamp.h"

namespace korvex {

namespace {

constexpr std::uint64_t kFnvOffset = 0xcbf29ce484222325ULL;
constexpr std::uint64_t kFnvPrime = 0x100000001b3ULL;

// A 64-bit hash (FNV-1a) of the record's layout and payload: with the clock, what tells
// records apart.
std::int64_t record_key(const Record& rec) {
  std::uint64_t h = kFnvOffset;
  h = (h ^ static_cast<std::uint8_t>(rec.revision)) * kFnvPrime;
  for (std::int32_t i = 0; i < rec.payload_len; ++i) h = (h ^ rec.payload[i]) * kFnvPrime;
  return static_cast<std::int64_t>(h);
}

// 10 to the power of a field's decimals.
constexpr double kScale[] = {1, 10, 100, 1000};

bool is_real(const Field& f) {
  return f.storage == Storage::COORDINATE || f.decimals > 0;
}

class SqliteOutput final : public LogOutput {
 public:
  explicit SqliteOutput(const OutputSetup& setup)
      : path_(setup.output_path),
        replace_(setup.replace),
        columns_(setup.columns),
        profile_(setup.profile) {
    columns_.for_each([&](ColumnRef c) {
      chosen_.push_back(c);
      decoders_.push_back(value_decoder(c));
    });
  }
  ~SqliteOutput() override {
    if (insert_ != nullptr) sqlite3_finalize(insert_);
    if (db_ != nullptr) sqlite3_close(db_);
  }

  void begin() override {
    if (!file_.create(path_, NewFile::Naming::HIDDEN_NAME)) {
      fail(errno);
      return;
    }
    if (sqlite3_open_v2(file_.hidden_path().c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK) {
      fail(0);
      return;
    }
    std::string create =
        "CREATE TABLE records (time TEXT, clock INTEGER NOT NULL, layout INTEGER NOT NULL, "
        "flight INTEGER NOT NULL";
    std::string insert = "INSERT INTO records VALUES (?, ?, ?, ?";
    for (const ColumnRef& c : chosen_) {
      create += concat(
          {", \"", column_name(c.block, *c.field), "\" ", is_real(*c.field) ? "REAL" : "INTEGER"});
      insert += ", ?";
    }
    create += ", record_key INTEGER NOT NULL, UNIQUE (clock, record_key))";
    insert += ", ?)";
    // A new file under a hidden name: no journal is needed, the file is named when complete.
    if (!exec("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; PRAGMA user_version = " +
              std::to_string(LOGBOOK_VERSION) + "; BEGIN") ||
        !exec(create) ||
        sqlite3_prepare_v2(db_, insert.c_str(), -1, &insert_, nullptr) != SQLITE_OK) {
      fail(0);
    }
  }

  bool record(const RecordEvent& event) override {
    if (error_ != 0) return false;
    const Record& rec = event.rec;
    int i = 1;
    if (rec.revision >= FIRST_DATED_LAYOUT) {
      char text[32];
      const char* end = print_iso_time_cell(text, DELIM_COMMA, rec.timestamp, rec.revision,
                                            time_cache_) -
                        1;  // without the separator
      sqlite3_bind_text(insert_, i++, text, static_cast<int>(end - text), SQLITE_TRANSIENT);
    } else {
      sqlite3_bind_null(insert_, i++);
    }
    sqlite3_bind_int64(insert_, i++, rec.timestamp);
    sqlite3_bind_int(insert_, i++, rec.revision);
    sqlite3_bind_int64(insert_, i++, event.flight);
    const RecordView& view = event.view();
    for (std::size_t c = 0; c < chosen_.size(); ++c, ++i) {
      const std::optional<double> v = read_value(view, chosen_[c], decoders_[c]);
      if (!v) {
        sqlite3_bind_null(insert_, i);
      } else if (chosen_[c].field->storage == Storage::COORDINATE) {
        sqlite3_bind_double(insert_, i, *v);  // the logged float's value
      } else if (is_real(*chosen_[c].field)) {
        // The stored integer in tenths or hundredths: the double nearest to its decimal value.
        const std::uint8_t d = chosen_[c].field->decimals;
        const double scale = d < std::size(kScale) ? kScale[d] : 1;
        sqlite3_bind_double(insert_, i, std::round(*v * scale) / scale);
      } else {
        sqlite3_bind_int64(insert_, i, std::llround(*v));
      }
    }
    sqlite3_bind_int64(insert_, i, record_key(rec));
    const int stepped = sqlite3_step(insert_);
    sqlite3_reset(insert_);
    // A record identical to one written (logged twice in the same second) is stored once.
    if (stepped == SQLITE_DONE) {
      ++rows_;
    } else if (stepped != SQLITE_CONSTRAINT) {
      return fail(0);
    }
    return true;
  }

  bool end() override {
    if (error_ != 0) return false;
    sqlite3_finalize(insert_);
    insert_ = nullptr;
    if (!exec("CREATE INDEX records_clock ON records (clock); "
              "CREATE INDEX records_flight ON records (flight)") ||
        !write_columns() || !exec("COMMIT")) {
      return fail(0);
    }
    if (sqlite3_close(db_) != SQLITE_OK) return fail(0);
    db_ = nullptr;
    if (::fsync(file_.fd()) != 0 || !file_.publish(replace_) || !sync_folder_of(path_)) {
      return fail(errno);
    }
    return true;
  }

  std::int64_t rows() const override { return rows_; }
  int write_error() const override { return error_; }
  std::string failed_file() const override { return path_; }

 private:
  // The data dictionary: a row per column of `records`, as --describe gives it, with the types
  // the database holds.
  bool write_columns() {
    std::vector<DescriptionRow> rows = {
        {"time", "record", "Time", "text", "", "ISO 8601 on the instrument's clock"},
        {"clock", "record", "", "integer", "s", "the raw timestamp"},
        {"layout", "record", "", "integer", "", "the record's layout"}};
    std::vector<DescriptionRow> described = description_rows(columns_, profile_);
    for (std::size_t i = 1; i < described.size(); ++i) {  // flight and the columns
      DescriptionRow& row = described[i];
      const bool minutes_seconds = row[3] == "minutes:seconds";
      rows.push_back({std::move(row[0]), std::move(row[1]), std::move(row[2]),
                      minutes_seconds ? std::string("integer") : std::move(row[3]),
                      minutes_seconds && row[4].empty() ? std::string("s") : std::move(row[4]),
                      std::move(row[5])});
    }
    rows.push_back(
        {"record_key", "record", "", "integer", "", "a hash of the record's layout and bytes"});
    sqlite3_stmt* insert = nullptr;
    bool written = exec(
                       "CREATE TABLE columns (name TEXT PRIMARY KEY, block TEXT, "
                       "classic_label TEXT, type TEXT, unit TEXT, label TEXT)") &&
                   sqlite3_prepare_v2(db_, "INSERT INTO columns VALUES (?, ?, ?, ?, ?, ?)", -1,
                                      &insert, nullptr) == SQLITE_OK;
    for (const DescriptionRow& row : rows) {
      if (!written) break;
      for (std::size_t f = 0; f < row.size(); ++f) {
        sqlite3_bind_text(insert, static_cast<int>(f + 1), row[f].c_str(),
                          static_cast<int>(row[f].size()), SQLITE_TRANSIENT);
      }
      written = sqlite3_step(insert) == SQLITE_DONE;
      sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    return written;
  }

  bool exec(const std::string& sql) {
    return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  }

  // Remembers the first failure: `err`, or the database's own.
  bool fail(int err) {
    if (error_ == 0) {
      if (err == 0 && db_ != nullptr) err = sqlite3_system_errno(db_);
      error_ = err != 0 ? err : EIO;
    }
    file_.discard();
    return false;
  }

  std::string path_;
  bool replace_;
  const ColumnSet& columns_;
  const Profile& profile_;
  std::vector<ColumnRef> chosen_;
  std::vector<ValueDecoder> decoders_;
  NewFile file_;
  sqlite3* db_ = nullptr;
  sqlite3_stmt* insert_ = nullptr;
  TimeCellCache time_cache_;
  std::int64_t rows_ = 0;
  int error_ = 0;
};

}  // namespace

std::unique_ptr<LogOutput> make_sqlite(const OutputSetup& setup) {
  return std::make_unique<SqliteOutput>(setup);
}

}  // namespace korvex
