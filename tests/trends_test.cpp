// Drift: an engine that wears from a given flight on (the synthesizer's --drift: one cylinder's
// CHT and EGT rising against the others, the oil pressure falling) is found within a few
// flights of the start, for the cylinder that wears and for the oil pressure; histories without
// wear have no drift at all.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "support/csv_cells.h"
#include "support/run_capture.h"
#include "support/temp_folder.h"

namespace korvex::test {
namespace {

struct Drift {
  long flight;
  std::string column;
};

class Trends : public TempFolderTest {
 protected:
  // The drift findings of --findings csv of a synthesized history of 200 flights.
  std::vector<Drift> drifts(const std::string& options) {
    const std::string log = path("history.rec");
    EXPECT_EQ(std::system((std::string(KORVEX_SYNTH) + " --flights 200 " + options + " -o " + log +
                           " 2>/dev/null")
                              .c_str()),
              0);
    const ProcessResult r =
        run_tool_process({"-q", "--profile", KORVEX_SAMPLE_PROFILE, "--findings", "csv", log});
    EXPECT_EQ(r.status, 0) << r.err;
    std::istringstream in(r.out);
    std::string line;
    std::getline(in, line);
    const std::vector<std::string> header = csv_cells(line);
    EXPECT_EQ(header.size(), 14U) << line;
    std::vector<Drift> found;
    while (std::getline(in, line)) {
      const std::vector<std::string> cells = csv_cells(line);
      if (cells.size() != header.size()) {
        ADD_FAILURE() << line;
        continue;
      }
      if (cells[6] == "drift") found.push_back({std::stol(cells[0]), cells[4]});
    }
    return found;
  }
};

TEST_F(Trends, DriftIsFoundWhereTheEngineWearsAndNowhereElse) {
  struct Case {
    std::string options;
    int cylinder;  // that wears, or 0
  };
  const Case cases[] = {
      {"--seed 5 --drift 120", 3},
      {"--seed 8 --drift 120 --drift-cylinder 5", 5},
      {"--seed 1", 0},
      {"--seed 2 --exceedances", 0},
      {"--seed 3", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    const std::vector<Drift> found = drifts(c.options);
    if (c.cylinder == 0) {
      EXPECT_TRUE(found.empty()) << found.size() << " drift findings, the first "
                                 << found[0].column;
      continue;
    }
    for (const std::string block : {"telm1_", "telm2_"}) {
      for (const std::string what : {"cht", "egt"}) {
        const std::string wearing = block + what + std::to_string(c.cylinder) + "_dev";
        int seen = 0;
        for (const Drift& d : found) {
          if (d.column != wearing) continue;
          ++seen;
          EXPECT_GE(d.flight, 120) << wearing;
          EXPECT_LE(d.flight, 125) << wearing;
        }
        EXPECT_EQ(seen, 1) << wearing;
      }
      int oil = 0;
      for (const Drift& d : found) {
        if (d.column != block + "oil_p") continue;
        ++oil;
        EXPECT_GE(d.flight, 120);
      }
      EXPECT_EQ(oil, 1) << block;
    }
    // Nothing else drifts: the other cylinders, the oil temperature, the flow, the volts.
    EXPECT_EQ(found.size(), 6U);
  }
}

}  // namespace
}  // namespace korvex::test
