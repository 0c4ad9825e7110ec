#include "cli/run.h"

#include <unistd.h>

#include <string>

#include "cli/convert.h"
#include "cli/exit_status.h"
#include "cli/log_file.h"
#include "cli/options.h"
#include "io/byte_stream.h"
#include "io/concat.h"
#include "version.h"

namespace korvex {

namespace {

// The classic command line's messages, as they have always been.
constexpr std::string_view kUsage =
    "(V0.8) Usage: KorvexLogDump (\"tab\", \"comma\" or \"space\" without the quotes) Korvex.rec "
    "(or any file name)\n";
constexpr std::string_view kUnknownFormat =
    "Unknown delimiter type, should be \"tab\", \"comma\" or \"space\"\n";

int write_text(OutBuffer& out, std::string_view text, Messages& messages) {
  out.write(text);
  if (out.flush()) return EXIT_DONE;
  messages.error_report("Error on write", out.failed());
  return EXIT_WRITE;
}

}  // namespace

int run_tool(int argc, const char* const* argv, OutBuffer& out, Messages& messages) {
  const ParsedCommandLine parsed = parse_command_line(argc, argv);
  switch (parsed.command) {
    case Command::HELP:
      return write_text(out, help_text(), messages);
    case Command::VERSION:
      return write_text(out, concat({"KorvexLogDump ", VERSION, "\n"}), messages);
    case Command::CLASSIC_USAGE:
      messages.say(kUsage);
      return EXIT_USAGE;
    case Command::UNKNOWN_FORMAT:
      messages.say(kUnknownFormat);
      return EXIT_DELIMITER;
    case Command::OPTION_ERROR:
      messages.say(concat({"KorvexLogDump: ", parsed.error, "\nTry 'KorvexLogDump --help'.\n"}));
      return EXIT_USAGE;
    case Command::CONVERT:
      break;
  }
  const Options& options = parsed.options;
  messages.set_quiet(options.quiet);
  int fd = -1;
  if (const int status = open_log(options.log_path, messages, fd); status != EXIT_DONE) {
    return status;
  }
  ByteStream in(fd_source(&fd));
  const int status = convert_log(in, out, options, messages);
  if (status != EXIT_DONE) {
    ::close(fd);
    return status;
  }
  return close_log(fd, messages);
}

}  // namespace korvex
