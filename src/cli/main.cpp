// KorvexLogDump: turns the binary data log of a flight-instrument display into a text table.
#include "cli/run.h"

int main(int argc, char** argv) {
  korvex::OutBuffer out(1);
  korvex::Messages messages(2);
  const int status = korvex::run_tool(argc, argv, out, messages);
  messages.flush();
  return status;
}
