// korvex-survey-only FILE: runs the survey pass alone over a log and prints how long it took;
// the benchmark reads the converter's figures against it.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "io/byte_stream.h"
#include "io/messages.h"
#include "survey/survey.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: korvex-survey-only FILE\n");
    return 1;
  }
  int fd = ::open(argv[1], O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    std::perror(argv[1]);
    return 2;
  }
  std::string dots;
  korvex::Messages quiet(&dots);
  korvex::ByteStream in(korvex::fd_source(&fd));
  korvex::SurveyResult s;
  const auto start = std::chrono::steady_clock::now();
  const int found = korvex::survey_log(in, quiet, s);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("survey %.6f s, found %d, oldest %lld, newest %lld, bytes %lld\n", seconds, found,
              static_cast<long long>(s.oldest_pos), static_cast<long long>(s.newest_pos),
              static_cast<long long>(in.pos()));
  ::close(fd);
  return in.failed() != 0 ? 7 : 0;
}
