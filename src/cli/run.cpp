#include "cli/run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "cli/convert.h"
#include "cli/exit_status.h"
#include "cli/log_file.h"
#include "cli/options.h"
#include "io/byte_stream.h"
#include "io/concat.h"
#include "io/new_file.h"
#include "profile/profile_file.h"
#include "version.h"

namespace korvex {

namespace {

// The classic command line's messages, as they have always been.
constexpr std::string_view kUsage =
    "(V0.8) Usage: KorvexLogDump (\"tab\", \"comma\" or \"space\" without the quotes) Korvex.rec "
    "(or any file name)\n";
constexpr std::string_view kUnknownFormat =
    "Unknown delimiter type, should be \"tab\", \"comma\" or \"space\"\n";

// The profile file a run reads: --profile FILE; else, unless --no-profile, the user's own in
// $XDG_CONFIG_HOME/korvexlogdump (or ~/.config/korvexlogdump) when it exists; else none.
std::string profile_file(const Options& options) {
  if (!options.profile_path.empty()) return options.profile_path;
  if (options.no_profile) return {};
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  std::string folder;
  if (config != nullptr && *config != '\0') {
    folder = config;
  } else if (home != nullptr && *home != '\0') {
    folder = concat({home, "/.config"});
  } else {
    return {};
  }
  std::string path = concat({folder, "/korvexlogdump/profile.toml"});
  return ::access(path.c_str(), F_OK) == 0 ? path : std::string();
}

int write_text(OutBuffer& out, std::string_view text, Messages& messages) {
  out.write(text);
  if (out.flush()) return EXIT_DONE;
  messages.error_report("Error on write", out.failed());
  return EXIT_WRITE;
}

int refuse_output(const std::string& path, Messages& messages) {
  messages.say(concat({"KorvexLogDump: ", path, " exists; --force replaces it\n"}));
  return EXIT_USAGE;
}

// Where -o writes: a new file, given its name when complete; or a device or pipe that exists
// (/dev/null, a FIFO), written as it comes.
struct OutputFile {
  NewFile file;
  int stream = -1;
  std::string path;  // the file's (a symbolic link's target, so that the link stays)
  ~OutputFile() {
    if (stream >= 0) ::close(stream);
  }
  int fd() const { return stream >= 0 ? stream : file.fd(); }
};

// Opens the output of -o: a file that exists is refused unless --force. A database is opened by
// its output: only the checks are made.
int open_output(const Options& options, bool database, Messages& messages, OutputFile& output,
                SystemCalls* calls) {
  const std::string& path = options.output_path;
  output.path = path;
  struct stat st {};
  // A dangling symbolic link is there too: -o refuses it without --force (a logbook is made
  // through it, as nothing is there to add to).
  const bool named = ::lstat(path.c_str(), &st) == 0;
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (exists) {
    if (S_ISDIR(st.st_mode)) {
      messages.say(concat({"KorvexLogDump: ", path, " is a folder; -o needs a file name\n"}));
      return EXIT_USAGE;
    }
    if (!S_ISREG(st.st_mode) && database) {
      messages.say(concat({"KorvexLogDump: ", path, " is no file; ", options.format->word,
                           " writes a database file\n"}));
      return EXIT_USAGE;
    }
    if (!S_ISREG(st.st_mode)) {
      output.stream = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
      if (output.stream >= 0) return EXIT_DONE;
      messages.error_report(concat({"Error on open of ", path}), errno);
      return EXIT_WRITE;
    }
  }
  // A database that exists is a logbook to add to: its output checks it.
  if (database) return EXIT_DONE;
  if (named && !options.force) return refuse_output(path, messages);
  // A link stays a link: the file is made, or replaced, at its target.
  output.path = path_through_links(path);
  if (!output.file.create(output.path, NewFile::Naming::UNNAMED_FIRST, calls)) {
    messages.error_report(concat({"Error on open of ", path}), errno);
    return EXIT_WRITE;
  }
  return EXIT_DONE;
}

// Gives the complete file of -o its name, its data and its name on disk first; `named` tells a
// failure that came after the file was named.
int finish_output(const Options& options, OutBuffer& out, Messages& messages, OutputFile& output,
                  SystemCalls* calls, bool& named) {
  const std::string& path = options.output_path;
  errno = out.failed();
  if (!out.flush() || (output.stream < 0 && (fsync_call(calls, output.file.fd()) != 0 ||
                                             !output.file.publish(options.force)))) {
    if (errno == EEXIST && output.file.is_open()) return refuse_output(path, messages);
    messages.error_report(concat({"Error on write of ", path}), errno);
    return EXIT_WRITE;
  }
  if (output.stream >= 0 || sync_folder_of(output.path, calls)) return EXIT_DONE;
  named = true;
  messages.say(concat({"Error on write of ", path, ": ", unsynced_folder(path, errno), "\n"}));
  return EXIT_WRITE;
}

}  // namespace

int run_tool(int argc, const char* const* argv, OutBuffer& out, Messages& messages,
             SystemCalls* calls) {
  const ParsedCommandLine parsed = parse_command_line(argc, argv);
  switch (parsed.command) {
    case Command::HELP:
      return write_text(out, help_text(), messages);
    case Command::VERSION:
      return write_text(out, concat({"KorvexLogDump ", VERSION, "\n"}), messages);
    case Command::PROFILE_TEMPLATE:
      return write_text(out, profile_template(), messages);
    case Command::CLASSIC_USAGE:
      messages.say(kUsage);
      return EXIT_USAGE;
    case Command::UNKNOWN_FORMAT:
      // The classic message for the classic command line; with options, one that names them.
      messages.say(parsed.error.empty() ? std::string(kUnknownFormat)
                                        : concat({"KorvexLogDump: ", parsed.error,
                                                  "\nTry 'KorvexLogDump --help'.\n"}));
      return EXIT_DELIMITER;
    case Command::OPTION_ERROR:
      messages.say(concat({"KorvexLogDump: ", parsed.error, "\nTry 'KorvexLogDump --help'.\n"}));
      return EXIT_USAGE;
    case Command::CONVERT:
      break;
  }
  Options options = parsed.options;
  messages.set_quiet(options.quiet);
  if (const std::string path = profile_file(options); !path.empty()) {
    if (std::string error; !read_profile(path, options.profile, error)) {
      messages.say(concat({"KorvexLogDump: ", error, "\n"}));
      return EXIT_USAGE;
    }
  }
  OutputFile output;
  std::unique_ptr<OutBuffer> file_out;
  const bool database = (options.format->needs & WRITES_OUTPUT_FILE) != 0;
  if (!options.output_path.empty()) {
    if (const int status = open_output(options, database, messages, output, calls);
        status != EXIT_DONE) {
      return status;
    }
    if (!database) file_out = std::make_unique<OutBuffer>(output.fd(), kOutBufferSize, calls);
  }
  // A file that -o names is written whole or not at all (a device or pipe as it comes).
  const bool whole_file = !options.output_path.empty() && output.stream < 0;
  OutBuffer& table = file_out ? *file_out : out;
  // Every log is opened before any is read.
  const std::size_t n = options.log_paths.size();
  std::vector<int> fds(n, -1);
  const auto close_all = [&fds] {
    for (const int fd : fds) {
      if (fd >= 0) ::close(fd);
    }
  };
  for (std::size_t i = 0; i < n; ++i) {
    if (n > 1) messages.heading(log_heading(i, n, options.log_paths[i]));
    if (const int status = open_log(options.log_paths[i], messages, fds[i], options.classic);
        status != EXIT_DONE) {
      close_all();
      return status;
    }
  }
  messages.heading("");
  std::vector<std::unique_ptr<ByteStream>> streams;
  std::vector<ByteStream*> ins;
  for (std::size_t i = 0; i < n; ++i) {
    streams.push_back(std::make_unique<ByteStream>(fd_source(&fds[i])));
    ins.push_back(streams.back().get());
  }
  bool named = false;  // the file of -o has its name, though the run failed
  int status = convert_logs(ins, table, options, messages, calls, &named);
  if (status == EXIT_DONE && file_out) {
    status = finish_output(options, table, messages, output, calls, named);
  }
  if (status != EXIT_DONE) {
    close_all();
    if (whole_file && !named) {
      messages.say(concat({"Nothing was written to ", options.output_path, "\n"}));
    }
    return status;
  }
  if (whole_file) messages.say(concat({"Wrote ", options.output_path, "\n"}));
  int closed = EXIT_DONE;
  for (std::size_t i = 0; i < n; ++i) {
    if (n > 1) messages.heading(log_heading(i, n, options.log_paths[i]));
    if (const int s = close_log(fds[i], messages); closed == EXIT_DONE) closed = s;
    fds[i] = -1;
  }
  messages.heading("");
  return closed;
}

}  // namespace korvex
