// KorvexLogDump: turns the binary data log of a flight-instrument display into a text table.
#include "driver/run.h"
#include "io/diagnostics.h"

int main(int argc, char** argv) {
  korvex::OutBuffer out(1);
  const int status = korvex::run_tool(argc, argv, out);
  korvex::diag_flush();
  return status;
}
