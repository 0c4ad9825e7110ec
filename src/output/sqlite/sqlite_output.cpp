#include "output/sqlite/sqlite_output.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "aggregation/flight_analysis.h"
#include "aggregation/trends/trends.h"
#include "aggregation/values/shown.h"
#include "fields/value.h"
#include "io/concat.h"
#include "io/sha256.h"
#include "output/cells/time_cell.h"
#include "output/describe/describe.h"
#include "output/findings/finding_text.h"
#include "output/flights/flight_columns.h"
#include "output/sqlite/logbook_writer.h"
#include "output/trends/trends_table.h"
#include "record/timestamp.h"
#include "store/logbook.h"
#include "store/schema.h"
#include "store/sql.h"

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

// A value rounded to its decimals: the double nearest to its decimal text.
double rounded(double value, int decimals) {
  const double scale =
      decimals >= 0 && static_cast<std::size_t>(decimals) < std::size(DECIMAL_SCALE)
          ? DECIMAL_SCALE[decimals]
          : 1;
  return std::round(value * scale) / scale;
}

bool is_real(const Field& f) {
  return f.storage == Storage::COORDINATE || f.decimals > 0;
}

// ISO 8601 on the instrument's clock; NULL for a raw-clock timestamp.
void bind_time(Statement& statement, int i, std::uint32_t timestamp, RecordLayout layout) {
  if (layout < FIRST_DATED_LAYOUT) {
    statement.null(i);
    return;
  }
  char text[32];
  TimeCellCache cache;
  const char* end = print_iso_time_cell(text, DELIM_COMMA, timestamp, layout, cache) - 1;
  statement.text(i, std::string_view(text, static_cast<std::size_t>(end - text)));
}

// The columns of table flights: the flights table's, typed, with start and end as ISO text and
// as the raw clock.
struct FlightField {
  std::string name;
  const char* type;
  const FlightColumn* column;  // nullptr: the clock of start or end
  bool end = false;
};

// A figure in the logbook: a whole number, or a value rounded to its decimals.
bool figure_is_integer(FigureId figure, const Profile& profile) {
  return figure_decimals(figure, profile) == 0;
}

constexpr const char* kFindingsTable =
    "CREATE TABLE findings (flight INTEGER NOT NULL, start TEXT, start_clock INTEGER NOT NULL, "
    "\"end\" TEXT, end_clock INTEGER NOT NULL, seconds INTEGER NOT NULL, \"column\" TEXT NOT "
    "NULL, label TEXT, kind TEXT NOT NULL, \"limit\" REAL, peak REAL, unit TEXT, aircraft TEXT, "
    "flight_id INTEGER, baseline_median REAL, baseline_iqr REAL, baseline_flights INTEGER, "
    "\"values\" TEXT)";
// The columns of a drift, which a findings table of an older logbook lacks.
constexpr const char* kDriftColumns[] = {"baseline_median REAL", "baseline_iqr REAL",
                                         "baseline_flights INTEGER", "\"values\" TEXT"};

// Whose logbook it is, and each import with the profile it was made with.
constexpr const char* kIdentityTables =
    "CREATE TABLE IF NOT EXISTS aircraft (registration TEXT, serial TEXT, engine1_serial TEXT, "
    "engine2_serial TEXT); CREATE TABLE IF NOT EXISTS imports (id INTEGER PRIMARY KEY, imported "
    "TEXT NOT NULL, profile_path TEXT, profile_sha256 TEXT, profile TEXT, registration TEXT, gap "
    "INTEGER)";

// Each record as logged, by the rowid of its row in records: what the logbook's records are
// read back from.
constexpr const char* kPacketsTable =
    "CREATE TABLE packets (record INTEGER PRIMARY KEY, packet BLOB NOT NULL)";

constexpr const char* kSourcesTable =
    "CREATE TABLE sources (id INTEGER PRIMARY KEY, name TEXT NOT NULL, size INTEGER, sha256 TEXT, "
    "imported TEXT NOT NULL, records_read INTEGER NOT NULL, records_added INTEGER NOT NULL, "
    "first_time TEXT, last_time TEXT, first_clock INTEGER, last_clock INTEGER)";

// Now in UTC, as ISO 8601 with a Z.
std::string utc_now() {
  const std::time_t now = std::time(nullptr);
  std::tm t{};
  gmtime_r(&now, &t);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &t);
  return text;
}

class SqliteOutput final : public LogOutput {
 public:
  explicit SqliteOutput(const OutputSetup& setup)
      : path_(setup.output_path),
        replace_(setup.replace),
        history_(setup.history),
        gap_(setup.gap),
        recut_(setup.recut),
        recut_from_(setup.recut_from),
        writer_(setup.calls),
        columns_(setup.columns),
        profile_(setup.profile),
        analysis_(setup.columns.sections, setup.profile,
                  FlightAnalysis::ALL | FlightAnalysis::CRUISE_SEGMENTS),
        findings_(analysis_.finds()),
        flight_columns_(flight_columns(analysis_.figures(), findings_,
                                       setup.profile.aircraft.registration, true)) {
    columns_.for_each([&](ColumnRef c) {
      chosen_.push_back(c);
      decoders_.push_back(value_decoder(c));
    });
  }

  bool begin() override {
    const bool opened =
        history_ != nullptr ? writer_.adopt(*history_) : writer_.create(path_, replace_);
    if (!opened) return fail(errno);
    db_ = writer_.db();
    return make_tables() || fail(0);
  }

  bool begin_flight(const FlightFacts& facts) override {
    analysis_.start(facts);
    return true;
  }

  bool record(const RecordEvent& event) override {
    if (error_ != 0) return false;
    analysis_.add(event);
    if (findings_) {
      analysis_.take_findings(found_);
      if (!write_findings()) return false;
    }
    analysis_.take_cruise(segments_);
    if (!write_cruise()) return false;
    const Record& rec = event.rec;
    const std::string_view phase = phase_name(event.phase);
    if (rec.origin == Origin::LOGBOOK) {
      // A record of the logbook: its flight is numbered anew over the whole history, and its
      // phase found anew over its flight.
      if (event.flight == rec.stored_flight && rec.stored_flight_id == key() &&
          rec.stored_phase == static_cast<std::uint8_t>(event.phase) + 1) {
        return true;
      }
      update_flight_.integer(1, event.flight);
      update_flight_.text(2, phase);
      update_flight_.integer(3, key());
      update_flight_.integer(4, rec.stored_row);
      return writer_.run(update_flight_) == SQLITE_DONE || fail(0);
    }
    sqlite3_stmt* insert = insert_record_.get();
    int i = 1;
    if (rec.revision >= FIRST_DATED_LAYOUT) {
      const char* end =
          print_iso_time_cell(time_text_, DELIM_COMMA, rec.timestamp, rec.revision, time_cache_) -
          1;  // without the separator
      // Read by the insert below, while the text stays as it is.
      sqlite3_bind_text(insert, i++, time_text_, static_cast<int>(end - time_text_), SQLITE_STATIC);
    } else {
      sqlite3_bind_null(insert, i++);
    }
    sqlite3_bind_int64(insert, i++, rec.timestamp);
    sqlite3_bind_int(insert, i++, rec.revision);
    sqlite3_bind_int64(insert, i++, event.flight);
    sqlite3_bind_int64(insert, i++, key());
    sqlite3_bind_text(insert, i++, phase.data(), static_cast<int>(phase.size()), SQLITE_STATIC);
    const RecordView& view = event.view();
    for (std::size_t c = 0; c < chosen_.size(); ++c, ++i) {
      const std::optional<double> v = read_value(view, chosen_[c], decoders_[c]);
      const Field& field = *chosen_[c].field;
      if (!v) {
        sqlite3_bind_null(insert, i);
      } else if (field.storage == Storage::COORDINATE) {
        sqlite3_bind_double(insert, i, *v);  // the logged float's value
      } else if (is_real(field)) {
        // The stored integer in tenths or hundredths: the double nearest to its decimal value.
        sqlite3_bind_double(insert, i, rounded(*v, field.decimals));
      } else {
        sqlite3_bind_int64(insert, i, static_cast<std::int64_t>(*v));  // a whole number
      }
    }
    sqlite3_bind_int64(insert, i, record_key(rec));
    if (writer_.run(insert_record_) != SQLITE_DONE) return fail(0);
    // A record identical to one the logbook holds (logged twice in the same second, or a copy a
    // merge let through) is stored once: the insert adds nothing.
    if (sqlite3_changes(db_) == 1) {
      sqlite3_stmt* packet = insert_packet_.get();
      sqlite3_bind_int64(packet, 1, sqlite3_last_insert_rowid(db_));
      sqlite3_bind_blob(packet, 2, rec.payload - RECORD_HEADER_LEN,
                        rec.payload_len + RECORD_HEADER_LEN, SQLITE_STATIC);
      if (writer_.run(insert_packet_) != SQLITE_DONE) return fail(0);
      if (rec.log >= added_.size()) added_.resize(rec.log + 1, 0);
      ++added_[rec.log];
      ++rows_;
    }
    return true;
  }

  bool end_flight() override {
    if (error_ != 0) return false;
    analysis_.finish();
    if (findings_) {
      analysis_.take_findings(found_);
      if (!write_findings()) return false;
    }
    analysis_.take_cruise(segments_);
    if (!write_cruise()) return false;
    const FlightSummary& flight = analysis_.summary();
    if (flight.findings > 0) count_ += {flight.findings, 1};
    return settle_key(flight) && write_flight(flight);
  }

  void logs_read(std::span<const LogFacts> logs) override {
    logs_.assign(logs.begin(), logs.end());
  }

  bool end() override {
    if (error_ != 0) return false;
    // The trends of the history as this run leaves its flights (and their drift, as findings).
    if (!write_trends()) return fail(0);
    insert_record_.reset();
    insert_packet_.reset();
    update_flight_.reset();
    insert_flight_.reset();
    insert_finding_.reset();
    insert_cruise_.reset();
    if (history_ == nullptr && !exec("CREATE INDEX records_clock ON records (clock); "
                                     "CREATE INDEX records_flight ON records (flight)")) {
      return fail(0);
    }
    if (!write_sources() || !write_columns() || !write_identity()) return fail(0);
    if (!writer_.publish()) {
      const int err = errno;
      named_ = writer_.named();
      if (named_) reason_ = unsynced_folder(path_, err);
      return fail(err);
    }
    return true;
  }

  std::int64_t rows() const override { return rows_; }
  int write_error() const override { return error_; }
  std::string failure_reason() const override { return reason_; }
  std::string failed_file() const override { return path_; }
  bool named_though_failed() const override { return named_; }
  FindingCount findings() const override { return count_; }
  std::string closing_note() const override {
    // A run without limits cannot make the findings of the history anew.
    if (history_ == nullptr || !history_->has_findings() || findings_) return {};
    return concat({"The findings in ", path_,
                   " were kept as they were, without this run's records: give --profile FILE "
                   "with limits to make them anew\n"});
  }

 private:
  // The tables of a new logbook, or the columns an existing one lacks; the tables of flights
  // and findings made anew; the statements that fill them.
  bool make_tables() {
    if (history_ == nullptr) {
      std::string create =
          "CREATE TABLE records (time TEXT, clock INTEGER NOT NULL, layout INTEGER NOT NULL, "
          "flight INTEGER NOT NULL, flight_id INTEGER, phase TEXT";
      for (const ColumnRef& c : chosen_) {
        create += concat({", ", sql_name(column_name(c.block, *c.field)), " ",
                          is_real(*c.field) ? "REAL" : "INTEGER"});
      }
      create += ", record_key INTEGER NOT NULL, UNIQUE (clock, record_key))";
      if (!exec(create) || !exec(kPacketsTable) || !exec(kSourcesTable) ||
          !exec("PRAGMA user_version = " + std::to_string(LOGBOOK_VERSION))) {
        return false;
      }
    } else {
      const std::set<std::string>& present = history_->columns();
      // A logbook of version 1: its records gain their phases (found below, as every record's
      // phase is), and it becomes version 2.
      if (present.count("phase") == 0 &&
          (!exec("ALTER TABLE records ADD COLUMN phase TEXT") ||
           !exec("PRAGMA user_version = " + std::to_string(LOGBOOK_VERSION)))) {
        return false;
      }
      if (!exec("PRAGMA user_version = " + std::to_string(LOGBOOK_VERSION))) return false;
      // A logbook of version 2: its records gain their flights' keys (given below, as every
      // record's is).
      if (present.count("flight_id") == 0 &&
          !exec("ALTER TABLE records ADD COLUMN flight_id INTEGER")) {
        return false;
      }
      // A block the logbook has had no log with: its columns are added (NULL in the records
      // it holds).
      for (const ColumnRef& c : chosen_) {
        const std::string name = column_name(c.block, *c.field);
        if (present.count(name) == 0 &&
            !exec(concat({"ALTER TABLE records ADD COLUMN ", sql_name(name), " ",
                          is_real(*c.field) ? "REAL" : "INTEGER"}))) {
          return false;
        }
      }
    }
    std::string insert = "INSERT INTO records (time, clock, layout, flight, flight_id, phase";
    std::string values = "?, ?, ?, ?, ?, ?";
    for (const ColumnRef& c : chosen_) {
      insert += ", " + sql_name(column_name(c.block, *c.field));
      values += ", ?";
    }
    // Only a record the logbook holds already (the same clock and key) is passed over; anything
    // else that stops an insert fails the run.
    insert += concat(
        {", record_key) VALUES (", values, ", ?) ON CONFLICT (clock, record_key) DO NOTHING"});
    return exec(kIdentityTables) && insert_record_.prepare(db_, insert) &&
           insert_packet_.prepare(db_, "INSERT INTO packets VALUES (?, ?)") &&
           update_flight_.prepare(
               db_, "UPDATE records SET flight = ?, phase = ?, flight_id = ? WHERE rowid = ?") &&
           make_flights_table() && make_cruise_table() &&
           (!findings_ || (anew("findings", kFindingsTable) && drift_columns() &&
                           insert_finding_.prepare(
                               db_,
                               "INSERT INTO findings VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                               "?, ?, ?, ?, ?, ?, ?)")));
  }

  bool make_flights_table() {
    for (const FlightColumn& c : flight_columns_) {
      switch (c.kind) {
        case FlightColumn::AIRCRAFT:
          flight_fields_.push_back({c.name, "TEXT", &c});
          break;
        case FlightColumn::FLIGHT:
          flight_fields_.push_back({c.name, "INTEGER PRIMARY KEY", &c});
          break;
        case FlightColumn::FLIGHT_ID:
          flight_fields_.push_back({c.name, "INTEGER UNIQUE", &c});
          break;
        case FlightColumn::START:
        case FlightColumn::END:
          flight_fields_.push_back({c.name, "TEXT", &c});
          flight_fields_.push_back(
              {c.name + "_clock", "INTEGER", nullptr, c.kind == FlightColumn::END});
          break;
        case FlightColumn::DURATION:
        case FlightColumn::RECORDS:
        case FlightColumn::FINDINGS:
          flight_fields_.push_back({c.name, "INTEGER", &c});
          break;
        case FlightColumn::PARTIAL:
          flight_fields_.push_back({c.name, "TEXT", &c});
          break;
        case FlightColumn::FIGURE:
          flight_fields_.push_back(
              {c.name, figure_is_integer(c.figure, profile_) ? "INTEGER" : "REAL", &c});
          break;
      }
    }
    std::string create = "CREATE TABLE flights (";
    std::string insert = "INSERT INTO flights VALUES (";
    for (std::size_t i = 0; i < flight_fields_.size(); ++i) {
      create += concat(
          {i == 0 ? "" : ", ", sql_name(flight_fields_[i].name), " ", flight_fields_[i].type});
      insert += i == 0 ? "?" : ", ?";
    }
    return anew("flights", create + ")") && insert_flight_.prepare(db_, insert + ")");
  }

  // The cruise segments: flight, start and end (as text and clock), seconds, then the medians
  // by the names of their columns, as --cruise gives them.
  bool make_cruise_table() {
    std::string create =
        "CREATE TABLE cruise (flight INTEGER NOT NULL, start TEXT, start_clock INTEGER NOT NULL, "
        "\"end\" TEXT, end_clock INTEGER NOT NULL, seconds INTEGER NOT NULL";
    std::string insert = "INSERT INTO cruise VALUES (?, ?, ?, ?, ?, ?";
    for (const FigureId id : analysis_.figures()) {
      if (!FIGURES[id].is_cruise()) continue;
      cruise_figures_.push_back(id);
      append(create, {", ", sql_name(cruise_key(id)), " ",
                      figure_is_integer(id, profile_) ? "INTEGER" : "REAL"});
      insert += ", ?";
    }
    return anew("cruise", create + ", aircraft TEXT, flight_id INTEGER)") &&
           insert_cruise_.prepare(db_, insert + ", ?, ?)");
  }

  bool write_cruise() {
    sqlite3_stmt* insert = insert_cruise_.get();
    for (const CruiseSegment& s : segments_) {
      sqlite3_bind_int64(insert, 1, s.flight);
      bind_time(insert_cruise_, 2, s.first_time, s.first_layout);
      sqlite3_bind_int64(insert, 3, s.first_time);
      bind_time(insert_cruise_, 4, s.last_time, s.last_layout);
      sqlite3_bind_int64(insert, 5, s.last_time);
      sqlite3_bind_int64(insert, 6, s.seconds());
      int i = 7;
      for (const FigureId id : cruise_figures_) bind_figure(insert, i++, id, s.figures[id]);
      bind_registration(insert_cruise_, i);
      insert_cruise_.integer(i + 1, key());
      if (writer_.run(insert_cruise_) != SQLITE_DONE) return fail(0);
    }
    segments_.clear();
    return true;
  }

  // A figure's value as the flights table stores it: NULL for none, whole or rounded.
  void bind_figure(sqlite3_stmt* insert, int i, FigureId id, const std::optional<double>& v) {
    if (!v) {
      sqlite3_bind_null(insert, i);
    } else if (figure_is_integer(id, profile_)) {
      sqlite3_bind_int64(insert, i, std::llround(shown_value(*v, 0)));  // a tie to even, as shown
    } else {
      sqlite3_bind_double(insert, i, shown_value(*v, figure_decimals(id, profile_)));
    }
  }

  bool write_flight(const FlightSummary& values) {
    sqlite3_stmt* insert = insert_flight_.get();
    int i = 1;
    for (const FlightField& f : flight_fields_) {
      if (f.column == nullptr) {
        sqlite3_bind_int64(insert, i++, f.end ? values.last_time : values.first_time);
        continue;
      }
      switch (f.column->kind) {
        case FlightColumn::AIRCRAFT:
          bind_registration(insert_flight_, i);
          break;
        case FlightColumn::FLIGHT:
          sqlite3_bind_int64(insert, i, values.flight);
          break;
        case FlightColumn::FLIGHT_ID:
          sqlite3_bind_int64(insert, i, values.flight_id);
          break;
        case FlightColumn::START:
          bind_time(insert_flight_, i, values.first_time, values.first_layout);
          break;
        case FlightColumn::END:
          bind_time(insert_flight_, i, values.last_time, values.last_layout);
          break;
        case FlightColumn::DURATION:
          sqlite3_bind_int64(insert, i, values.seconds());
          break;
        case FlightColumn::RECORDS:
          sqlite3_bind_int64(insert, i, values.records);
          break;
        case FlightColumn::FINDINGS:
          sqlite3_bind_int64(insert, i, values.findings);
          break;
        case FlightColumn::PARTIAL:
          if (const std::string_view part = partial_text(values, {}); part.empty()) {
            sqlite3_bind_null(insert, i);
          } else {
            sqlite3_bind_text(insert, i, part.data(), static_cast<int>(part.size()), SQLITE_STATIC);
          }
          break;
        case FlightColumn::FIGURE:
          bind_figure(insert, i, f.column->figure, values.figures[f.column->figure]);
          break;
      }
      ++i;
    }
    return writer_.run(insert_flight_) == SQLITE_DONE || fail(0);
  }

  bool write_findings() {
    for (const Finding& f : found_) {
      sqlite3_stmt* insert = insert_finding_.get();
      sqlite3_bind_int64(insert, 1, f.flight);
      bind_time(insert_finding_, 2, f.first_time, f.first_layout);
      sqlite3_bind_int64(insert, 3, f.first_time);
      bind_time(insert_finding_, 4, f.last_time, f.last_layout);
      sqlite3_bind_int64(insert, 5, f.last_time);
      sqlite3_bind_int64(insert, 6, f.seconds());
      insert_finding_.text(7, finding_column(f, profile_));
      insert_finding_.text(8, finding_label(f, profile_));
      insert_finding_.text(9, finding_kind(f.kind));
      // The limit and the peak as the findings table gives them.
      sqlite3_bind_double(insert, 10, std::strtod(finding_limit(f, profile_).c_str(), nullptr));
      sqlite3_bind_double(insert, 11, std::strtod(finding_peak(f, profile_).c_str(), nullptr));
      insert_finding_.text(12, finding_unit(f, profile_));
      bind_registration(insert_finding_, 13);
      insert_finding_.integer(14, f.kind == FindingKind::DRIFT ? f.flight_id : key());
      if (f.kind == FindingKind::DRIFT) {
        insert_finding_.real(15, std::strtod(drift_median(f, profile_).c_str(), nullptr));
        insert_finding_.real(16, std::strtod(drift_iqr(f, profile_).c_str(), nullptr));
        insert_finding_.integer(17, f.baseline_flights);
        insert_finding_.text(18, drift_values(f, profile_));
      } else {
        for (int i = 15; i <= 18; ++i) insert_finding_.null(i);
      }
      if (writer_.run(insert_finding_) != SQLITE_DONE) return fail(0);
    }
    found_.clear();
    return true;
  }

  // The key of the flight being written so far (settled when it ends), remembered as one its
  // rows were written with.
  std::int64_t key() {
    const std::int64_t id = analysis_.flight_id();
    if (keys_.empty() || keys_.back() != id) keys_.push_back(id);
    return id;
  }

  // The rows of the flight written with a key other than the one it settled on (a record of
  // the logbook that kept its key came after them: the flight's start, brought by a later
  // download) are given that key.
  bool settle_key(const FlightSummary& flight) {
    for (const std::int64_t written : keys_) {
      if (written == flight.flight_id) continue;
      for (const auto& [table, clock] :
           {std::pair{"records", "clock"}, std::pair{"findings", "start_clock"},
            std::pair{"cruise", "start_clock"}}) {
        if (!findings_ && std::string_view(table) == "findings") continue;
        if (!exec(concat({"UPDATE ", table, " SET flight_id = ", std::to_string(flight.flight_id),
                          " WHERE flight_id = ", std::to_string(written), " AND ", clock,
                          " BETWEEN ", std::to_string(flight.first_time), " AND ",
                          std::to_string(flight.last_time)}))) {
          return fail(0);
        }
      }
    }
    keys_.clear();
    return true;
  }

  // The aircraft's registration, or NULL when none is known.
  void bind_registration(Statement& statement, int i) {
    if (profile_.aircraft.registration.empty()) {
      statement.null(i);
    } else {
      statement.text(i, profile_.aircraft.registration);
    }
  }

  // A row for this import with its profile; the aircraft's identity as the profile gives it
  // (a serial it leaves out stays as it was).
  bool write_identity() {
    const auto text_or_null = [](Statement& statement, int i, const std::string& text) {
      if (text.empty()) {
        statement.null(i);
      } else {
        statement.text(i, text);
      }
    };
    Statement insert;
    if (!insert.prepare(db_,
                        "INSERT INTO imports (imported, profile_path, profile_sha256, profile, "
                        "registration, gap) VALUES (?, ?, ?, ?, ?, ?)")) {
      return false;
    }
    insert.text(1, utc_now());
    if (profile_.path.empty()) {
      for (int i = 2; i <= 4; ++i) insert.null(i);
    } else {
      Sha256 hash;
      hash.update(profile_.text.data(), profile_.text.size());
      insert.text(2, profile_.path);
      insert.text(3, Sha256::hex(hash.finish()));
      insert.text(4, profile_.text);
    }
    bind_registration(insert, 5);
    insert.integer(6, gap_);
    if (writer_.run(insert) != SQLITE_DONE) return false;
    const AircraftSetup& aircraft = profile_.aircraft;
    if (aircraft.registration.empty() && aircraft.serial.empty() &&
        profile_.engines[0].serial.empty() && profile_.engines[1].serial.empty()) {
      return true;
    }
    Statement update;
    for (const char* sql :
         {"UPDATE aircraft SET registration = coalesce(?1, registration), serial = coalesce(?2, "
          "serial), engine1_serial = coalesce(?3, engine1_serial), engine2_serial = coalesce(?4, "
          "engine2_serial)",
          "INSERT INTO aircraft SELECT ?1, ?2, ?3, ?4 WHERE NOT EXISTS (SELECT 1 FROM aircraft)"}) {
      if (!update.prepare(db_, sql)) return false;
      text_or_null(update, 1, aircraft.registration);
      text_or_null(update, 2, aircraft.serial);
      text_or_null(update, 3, profile_.engines[0].serial);
      text_or_null(update, 4, profile_.engines[1].serial);
      if (writer_.run(update) != SQLITE_DONE) return false;
    }
    return true;
  }

  // A row per log file read.
  bool write_sources() {
    Statement insert;
    if (!insert.prepare(db_,
                        "INSERT INTO sources (name, size, sha256, imported, records_read, "
                        "records_added, first_time, last_time, first_clock, last_clock) VALUES "
                        "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")) {
      return false;
    }
    const std::string now = utc_now();
    for (std::size_t l = 0; l < logs_.size(); ++l) {
      const LogFacts& log = logs_[l];
      sqlite3_stmt* stmt = insert.get();
      insert.text(1, log.name);
      if (log.size >= 0) {
        sqlite3_bind_int64(stmt, 2, log.size);
      } else {
        sqlite3_bind_null(stmt, 2);
      }
      if (!log.sha256.empty()) insert.text(3, log.sha256);
      if (log.sha256.empty()) sqlite3_bind_null(stmt, 3);
      insert.text(4, now);
      sqlite3_bind_int64(stmt, 5, log.tally.records);
      sqlite3_bind_int64(stmt, 6, log.read < added_.size() ? added_[log.read] : 0);
      if (log.tally.records > 0) {
        bind_time(insert, 7, log.tally.first_time, log.tally.first_layout);
        bind_time(insert, 8, log.tally.last_time, log.tally.last_layout);
        sqlite3_bind_int64(stmt, 9, log.tally.first_time);
        sqlite3_bind_int64(stmt, 10, log.tally.last_time);
      } else {
        for (int i = 7; i <= 10; ++i) sqlite3_bind_null(stmt, i);
      }
      if (writer_.run(insert) != SQLITE_DONE) return false;
    }
    return true;
  }

  // The data dictionary, made anew: a row per column of `records`, as --describe gives it,
  // with the types the database holds.
  bool write_columns() {
    std::vector<DescriptionRow> rows = {
        {"time", "record", "Time", "text", "", "ISO 8601 on the instrument's clock"},
        {"clock", "record", "", "integer", "s", "the raw timestamp"},
        {"layout", "record", "", "integer", "", "the record's layout"}};
    std::vector<DescriptionRow> described = description_rows(columns_, profile_);
    // flight, phase and the columns, their values as logged
    rows.push_back(std::move(described[1]));
    rows.push_back({"flight_id", "record", "", "integer", "",
                    "the flight's key: the clock of its first record when the logbook first "
                    "held it"});
    rows.push_back({"phase", "record", "", "text", "", "the flight's phase in the record"});
    rows.insert(rows.end(), std::make_move_iterator(described.begin() + 2),
                std::make_move_iterator(described.end()));
    rows.push_back(
        {"record_key", "record", "", "integer", "", "a hash of the record's layout and bytes"});
    Statement insert;
    if (!exec("DROP TABLE IF EXISTS columns") ||
        !exec("CREATE TABLE columns (name TEXT PRIMARY KEY, block TEXT, classic_label TEXT, "
              "type TEXT, unit TEXT, label TEXT, scale REAL, offset REAL, \"table\" TEXT)") ||
        !insert.prepare(db_, "INSERT INTO columns VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)")) {
      return false;
    }
    for (const DescriptionRow& row : rows) {
      for (std::size_t f = 0; f < row.size(); ++f) {
        const int at = static_cast<int>(f + 1);
        if (f == 6 || f == 7) {  // scale and offset: numbers, NULL where none is given
          if (row[f].empty()) {
            sqlite3_bind_null(insert.get(), at);
          } else {
            sqlite3_bind_double(insert.get(), at, std::strtod(row[f].c_str(), nullptr));
          }
        } else if (f == 8 && row[f].empty()) {
          sqlite3_bind_null(insert.get(), at);
        } else {
          insert.text(at, row[f]);
        }
      }
      if (writer_.run(insert) != SQLITE_DONE) return false;
    }
    return true;
  }

  bool exec(const std::string& sql) { return writer_.exec(sql) == SQLITE_OK; }

  // The table trends, made anew: the columns of --trends, typed, with the clocks of the flight's
  // start and of its cruise's start. Their names into `names`.
  bool make_trends_table(const TrendAnalysis& trends, std::vector<std::string>& names) {
    std::string create = "CREATE TABLE trends (";
    const auto add = [&](const std::string& name, const char* type) {
      append(create, {names.empty() ? "" : ", ", sql_name(name), " ", type});
      names.push_back(name);
    };
    if (!profile_.aircraft.registration.empty()) add("aircraft", "TEXT");
    add("flight", "INTEGER NOT NULL");
    add("flight_id", "INTEGER");
    add("start", "TEXT");
    add("start_clock", "INTEGER NOT NULL");
    add("cruise_start", "TEXT");
    add("cruise_start_clock", "INTEGER");
    add("cruise_seconds", "INTEGER");
    const std::vector<int> engines = trend_engines(trends.figures());
    for (const int e : engines) add(concat({"engine", std::to_string(e + 1), "_hours"}), "REAL");
    add("baseline_flights", "INTEGER");
    for (const int e : engines) {
      add(concat({"engine", std::to_string(e + 1), "_power_flights"}), "INTEGER");
    }
    for (const TrendFigure& f : trends.figures()) {
      const std::string name = trend_figure_name(f);
      add(name, "REAL");
      add(name + "_median", "REAL");
      add(name + "_iqr", "REAL");
    }
    if (findings_) {
      for (const std::string_view kind : trend_finding_names()) {
        add(concat({"findings_", kind}), "INTEGER");
      }
    }
    return exec("DROP TABLE IF EXISTS trends") && exec(create + ")");
  }

  // A flight's row of the table trends.
  bool write_trend(Statement& insert, const TrendAnalysis& trends, const FlightSummary& flight,
                   const TrendRow& row) {
    int i = 1;
    const auto real = [&](double v, int decimals) {
      if (std::isnan(v)) {
        insert.null(i++);
      } else {
        insert.real(i++, shown_value(v, decimals));
      }
    };
    if (!profile_.aircraft.registration.empty()) bind_registration(insert, i++);
    insert.integer(i++, flight.flight);
    insert.integer(i++, flight.flight_id);
    bind_time(insert, i++, flight.first_time, flight.first_layout);
    insert.integer(i++, flight.first_time);
    if (row.cruise) {
      bind_time(insert, i++, row.cruise_first, row.cruise_layout);
      insert.integer(i++, row.cruise_first);
      insert.integer(i++, row.cruise_last - row.cruise_first + 1);
    } else {
      for (int k = 0; k < 3; ++k) insert.null(i++);
    }
    const std::vector<int> engines = trend_engines(trends.figures());
    for (const int e : engines) real(row.engine_hours[e], 2);
    insert.integer(i++, row.flights);
    for (const int e : engines) insert.integer(i++, row.power_flights[e]);
    for (std::size_t k = 0; k < trends.figures().size(); ++k) {
      const int decimals = trend_decimals(trends.figures()[k]);
      const Baseline& b = row.baselines[k];
      real(row.values[k], decimals);
      real(b.flights > 0 ? b.median : std::nan(""), decimals + 1);
      real(b.flights > 0 ? b.iqr : std::nan(""), decimals + 1);
    }
    if (findings_) {
      for (std::size_t kind = 0; kind < trend_finding_names().size(); ++kind) {
        insert.integer(i++, flight.findings_by_kind[kind]);
      }
    }
    return writer_.run(insert) == SQLITE_DONE;
  }

  // The drift columns a findings table kept from an older logbook lacks, added.
  bool drift_columns() {
    if (!recut_) return true;
    const std::vector<std::string> have = history_->columns_of("findings");
    for (const char* column : kDriftColumns) {
      std::string name(column, std::strchr(column, ' '));
      std::erase(name, '"');
      if (std::find(have.begin(), have.end(), name) != have.end()) continue;
      if (!exec(concat({"ALTER TABLE findings ADD COLUMN ", column}))) return false;
    }
    return true;
  }

  // The table trends made anew over the whole history from the tables flights, cruise and
  // findings as this run leaves them (their figures as stored, which are the cruise table's),
  // and the drift findings with it. Cheap: a row per flight and per cruise segment.
  bool write_trends() {
    TrendAnalysis trends(trend_figures(analysis_.figures(), profile_), analysis_.figures(),
                         profile_.trends);
    // The flights, with their engine times.
    std::vector<FigureId> timed;
    std::string select = "SELECT flight, flight_id, start, start_clock, end_clock";
    for (const FlightColumn& c : flight_columns_) {
      if (c.kind == FlightColumn::FIGURE && FIGURES[c.figure].kind == FigureKind::ENGINE_TIME) {
        timed.push_back(c.figure);
        append(select, {", ", sql_name(c.name)});
      }
    }
    Statement flights, cruise, kinds;
    std::string cruise_select = "SELECT flight_id, start_clock, end_clock, start IS NOT NULL";
    for (const FigureId id : cruise_figures_)
      append(cruise_select, {", ", sql_name(cruise_key(id))});
    if (!flights.prepare(db_, select + " FROM flights ORDER BY start_clock") ||
        !cruise.prepare(db_, cruise_select + " FROM cruise ORDER BY start_clock") ||
        (findings_ &&
         (!exec("DELETE FROM findings WHERE kind = 'drift'") ||
          !kinds.prepare(db_,
                         "SELECT kind, \"column\" LIKE 'egt_spread_%', count(*) FROM findings "
                         "WHERE flight_id = ? GROUP BY 1, 2")))) {
      return false;
    }
    std::vector<std::string> names;
    if (!make_trends_table(trends, names)) return false;
    Statement insert;
    std::string values = "?";
    for (std::size_t i = 1; i < names.size(); ++i) values += ", ?";
    if (!insert.prepare(db_, concat({"INSERT INTO trends VALUES (", values, ")"}))) return false;
    std::vector<CruiseSegment> segments;
    bool cruise_row = sqlite3_step(cruise.get()) == SQLITE_ROW;
    int stepped = SQLITE_ROW;
    while ((stepped = sqlite3_step(flights.get())) == SQLITE_ROW) {
      sqlite3_stmt* f = flights.get();
      FlightSummary flight;
      flight.flight = sqlite3_column_int64(f, 0);
      flight.flight_id = sqlite3_column_int64(f, 1);
      const bool dated = sqlite3_column_type(f, 2) != SQLITE_NULL;
      flight.first_time = static_cast<std::uint32_t>(sqlite3_column_int64(f, 3));
      flight.last_time = static_cast<std::uint32_t>(sqlite3_column_int64(f, 4));
      flight.first_layout = flight.last_layout = dated ? FIRST_DATED_LAYOUT : 0;
      for (std::size_t i = 0; i < timed.size(); ++i) {
        const int at = static_cast<int>(i) + 5;
        if (sqlite3_column_type(f, at) != SQLITE_NULL) {
          flight.figures[timed[i]] = sqlite3_column_double(f, at);
        }
      }
      segments.clear();
      for (; cruise_row && sqlite3_column_int64(cruise.get(), 0) == flight.flight_id;
           cruise_row = sqlite3_step(cruise.get()) == SQLITE_ROW) {
        sqlite3_stmt* c = cruise.get();
        CruiseSegment& s = segments.emplace_back();
        s.flight = flight.flight;
        s.first_time = static_cast<std::uint32_t>(sqlite3_column_int64(c, 1));
        s.last_time = static_cast<std::uint32_t>(sqlite3_column_int64(c, 2));
        s.first_layout = s.last_layout = sqlite3_column_int(c, 3) != 0 ? FIRST_DATED_LAYOUT : 0;
        for (std::size_t i = 0; i < cruise_figures_.size(); ++i) {
          const int at = static_cast<int>(i) + 4;
          if (sqlite3_column_type(c, at) != SQLITE_NULL) {
            s.figures[cruise_figures_[i]] = sqlite3_column_double(c, at);
          }
        }
      }
      if (findings_) {
        kinds.integer(1, flight.flight_id);
        while (sqlite3_step(kinds.get()) == SQLITE_ROW) {
          const std::string_view kind(
              reinterpret_cast<const char*>(sqlite3_column_text(kinds.get(), 0)));
          const bool spread = sqlite3_column_int(kinds.get(), 1) != 0;
          const std::int64_t n = sqlite3_column_int64(kinds.get(), 2);
          for (std::size_t k = 0; k < FINDING_KINDS; ++k) {
            const auto as = static_cast<FindingKind>(k);
            if (finding_kind(as) == kind && (as == FindingKind::EGT_SPREAD) == spread) {
              flight.findings_by_kind[k] += n;
            }
          }
        }
        sqlite3_reset(kinds.get());
      }
      const TrendRow& row = trends.add(flight, segments);
      if (!write_trend(insert, trends, flight, row)) return false;
      if (findings_) {
        found_ = row.drifts;
        if (!write_findings()) return false;
      }
    }
    return stepped == SQLITE_DONE;
  }

  // A table of flights, findings or cruise made anew by `create`; or when only the flights from
  // recut_from_ on are cut anew, its rows of them deleted.
  bool anew(std::string_view table, const std::string& create) {
    if (recut_) {
      return exec(
          concat({"DELETE FROM ", table, " WHERE start_clock >= ", std::to_string(recut_from_)}));
    }
    return exec(concat({"DROP TABLE IF EXISTS ", table})) && exec(create);
  }

  // Remembers the first failure: `err`, or the database's own (an errno, or SQLite's message
  // where it has none); the logbook stays as it was.
  bool fail(int err) {
    if (error_ == 0) {
      if (err == 0 && db_ != nullptr) {
        const LogbookWriter::Failure failure = writer_.failure();
        err = failure.error;
        reason_ = failure.reason;
      }
      error_ = err != 0 ? err : EIO;
    }
    insert_record_.reset();
    insert_packet_.reset();
    update_flight_.reset();
    insert_flight_.reset();
    insert_finding_.reset();
    insert_cruise_.reset();
    writer_.discard();
    db_ = nullptr;
    return false;
  }

  std::string path_;
  bool replace_;
  Logbook* history_;  // the logbook added to, or nullptr for a new one
  std::uint32_t gap_;
  bool recut_;  // only the flights from recut_from_ on are made anew
  std::uint32_t recut_from_;
  LogbookWriter writer_;
  const ColumnSet& columns_;
  const Profile& profile_;
  std::vector<ColumnRef> chosen_;
  std::vector<ValueDecoder> decoders_;
  FlightAnalysis analysis_;
  bool findings_;  // the profile gives limits: table findings is made anew
  std::vector<FlightColumn> flight_columns_;
  std::vector<FlightField> flight_fields_;
  std::vector<Finding> found_;
  FindingCount count_;
  std::vector<LogFacts> logs_;
  std::vector<std::int64_t> added_;  // records added, per log file
  sqlite3* db_ = nullptr;
  Statement insert_record_, insert_packet_, update_flight_, insert_flight_, insert_finding_,
      insert_cruise_;
  std::vector<FigureId> cruise_figures_;
  std::vector<std::int64_t> keys_;  // of the flight being written, as its rows were written
  std::vector<CruiseSegment> segments_;
  TimeCellCache time_cache_;
  char time_text_[32] = {};  // of the record being inserted
  std::int64_t rows_ = 0;
  int error_ = 0;
  std::string reason_;  // SQLite's message, where the failure has no errno
  bool named_ = false;  // the logbook had its new name when the run failed
};

}  // namespace

std::vector<std::string> logbook_flight_names(const std::vector<FlightColumn>& columns) {
  std::vector<std::string> names;
  for (const FlightColumn& c : columns) {
    names.push_back(c.name);
    if (c.kind == FlightColumn::START || c.kind == FlightColumn::END)
      names.push_back(c.name + "_clock");
  }
  return names;
}

std::unique_ptr<LogOutput> make_sqlite(const OutputSetup& setup) {
  return std::make_unique<SqliteOutput>(setup);
}

}  // namespace korvex
