// korvex-synth: writes a log file like the instrument does, for trying the converter out, for
// the tests and for benchmarks. See --help.
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "synth_log.h"

namespace {

constexpr const char* kHelp = R"(Usage: korvex-synth [options] -o FILE

Writes a log in the instrument's record format: one record per second through a day (or days)
of flights with the instrument switched off between them.

  -o, --output FILE      where to write the log (required)
  --layout N             record layout, 0 to 3 (default 2)
  --sections LIST        optional sections: all (default), none, or a comma-separated list of
                         telm1, telm2, attitude, gps
  --flights N            number of flights (default 3)
  --hours H              flight hours to log instead of a number of flights (may be fractional)
  --capacity BYTES       file capacity: a circular file that starts again at offset 0 when the
                         next record does not fit (default 0: no limit, no wrap)
  --seed N               random seed (default 1); the same options and seed give the same bytes
  --date YYYY-MM-DD      day of the first flight (default 2026-06-14)
  --download-after N     the file as downloaded after the first N of the flights: the same
                         history (same options and seed) read off the instrument earlier
Faults, each injected N times at records chosen by the seed:
  --garbage N            a run of bytes without a start marker behind a record
  --power-cuts N         a record cut short by a power loss, then a few seconds unlogged
  --stray-aa N           a byte 0xAA inside a record's data (harmless to a reader)
  --stray-markers N      the pair 0xAA 0x55 inside a record's data (splits the record)
  --mixed N              N records written in another layout, given by --mixed-layout
  --mixed-layout N       layout of the mixed-in records, 0 to 3 (default 0)
Exceedances, in every flight long enough, at the same seconds of each:
  --exceedances          an oil temperature of 260 F for 120 s from second 600, an oil
                         pressure of 15 psi for 20 s from 900, cylinder 3 running hot (CHT 90 F
                         more for 300 s, EGT 200 F more for 100 s, from 1200) and a shock cooling
                         of cylinder 5 (its CHT 150 F down in 60 s from 1700, then back up)
Wear, flight after flight:
  --drift N              from flight N on, one cylinder's CHT rises 4 F a flight (to 60 F more)
                         and its EGT 6 F (to 90 F) against the others, and the oil pressure falls
                         1.5 psi a flight (to 15 psi less); the report says so
  --drift-cylinder C     the cylinder that drifts, 1 to 6 (default 3)
  -h, --help             this text

The report on standard error says what was written, whether and where the file wrapped, the
faults injected, and what a reader will find: the records it can read and the bad packets.
)";

bool parse_int(std::string_view text, long long lo, long long hi, long long& value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && value >= lo && value <= hi;
}

bool parse_sections(std::string_view text, korvex::SectionFlags& flags) {
  if (text == "all") {
    flags = korvex::SECTION_TELM1 | korvex::SECTION_TELM2 | korvex::SECTION_ATTITUDE |
            korvex::SECTION_GPS;
    return true;
  }
  flags = 0;
  if (text == "none") return true;
  while (!text.empty()) {
    const std::size_t comma = text.find(',');
    const std::string_view word = text.substr(0, comma);
    if (word == "telm1") {
      flags |= korvex::SECTION_TELM1;
    } else if (word == "telm2") {
      flags |= korvex::SECTION_TELM2;
    } else if (word == "attitude") {
      flags |= korvex::SECTION_ATTITUDE;
    } else if (word == "gps") {
      flags |= korvex::SECTION_GPS;
    } else {
      return false;
    }
    text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
  }
  return true;
}

int usage_error(const std::string& message) {
  std::fprintf(stderr, "korvex-synth: %s (see --help)\n", message.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  korvex::synth::SynthOptions o;
  std::string path;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (arg == "--exceedances") {
      o.exceedances = true;
      continue;
    }
    if (i + 1 >= argc) return usage_error("missing value after " + std::string(arg));
    const std::string_view value = argv[++i];
    long long n = 0;
    bool ok = true;
    if (arg == "-o" || arg == "--output") {
      path = value;
    } else if (arg == "--layout") {
      ok = parse_int(value, 0, 3, n);
      o.layout = static_cast<korvex::RecordLayout>(n);
    } else if (arg == "--sections") {
      ok = parse_sections(value, o.sections);
    } else if (arg == "--flights") {
      ok = parse_int(value, 1, 1000000, n);
      o.flights = static_cast<int>(n);
    } else if (arg == "--hours") {
      const std::string text(value);  // alive while `end` points into it
      char* end = nullptr;
      o.hours = std::strtod(text.c_str(), &end);
      ok = o.hours > 0 && o.hours < 1e6 && end != nullptr && *end == '\0';
    } else if (arg == "--capacity") {
      ok = parse_int(value, 0, (1LL << 40), n) && (n == 0 || n >= 1024);
      o.capacity = n;
    } else if (arg == "--drift") {
      ok = parse_int(value, 1, 1000000, n);
      o.drift_from = static_cast<int>(n);
    } else if (arg == "--drift-cylinder") {
      ok = parse_int(value, 1, 6, n);
      o.drift_cylinder = static_cast<int>(n);
    } else if (arg == "--download-after") {
      ok = parse_int(value, 1, 1000000, n);
      o.download_after = static_cast<int>(n);
    } else if (arg == "--seed") {
      ok = parse_int(value, 0, (1LL << 62), n);
      o.seed = static_cast<std::uint64_t>(n);
    } else if (arg == "--date") {
      // YYYY-MM-DD
      long long y = 0, m = 0, d = 0;
      ok = value.size() == 10 && value[4] == '-' && value[7] == '-' &&
           parse_int(value.substr(0, 4), 2000, 2130, y) &&
           parse_int(value.substr(5, 2), 1, 12, m) && parse_int(value.substr(8, 2), 1, 31, d);
      o.start_year = static_cast<int>(y);
      o.start_month = static_cast<int>(m);
      o.start_day = static_cast<int>(d);
    } else if (arg == "--garbage" || arg == "--power-cuts" || arg == "--stray-aa" ||
               arg == "--stray-markers" || arg == "--mixed") {
      ok = parse_int(value, 0, 1000000, n);
      int& target = arg == "--garbage"         ? o.garbage
                    : arg == "--power-cuts"    ? o.power_cuts
                    : arg == "--stray-aa"      ? o.stray_aa
                    : arg == "--stray-markers" ? o.stray_markers
                                               : o.mixed_count;
      target = static_cast<int>(n);
    } else if (arg == "--mixed-layout") {
      ok = parse_int(value, 0, 3, n);
      o.mixed_layout = static_cast<korvex::RecordLayout>(n);
    } else {
      return usage_error("unknown option " + std::string(arg));
    }
    if (!ok) return usage_error("bad value for " + std::string(arg) + ": " + std::string(value));
  }
  if (path.empty()) return usage_error("no output file given (-o FILE)");

  const korvex::synth::SynthResult result = korvex::synth::synthesize(o);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    std::fprintf(stderr, "korvex-synth: cannot create %s: %s\n", path.c_str(),
                 std::strerror(errno));
    return 1;
  }
  const bool written =
      std::fwrite(result.image.data(), 1, result.image.size(), file) == result.image.size();
  if (std::fclose(file) != 0 || !written) {
    std::fprintf(stderr, "korvex-synth: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
    return 1;
  }
  std::fputs(korvex::synth::format_report(o, result.report, path).c_str(), stderr);
  return 0;
}
