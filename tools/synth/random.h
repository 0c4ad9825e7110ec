// A small deterministic random generator (splitmix64): the same seed gives the same log on every
// run and build.
#pragma once

#include <cmath>
#include <cstdint>

namespace korvex::synth {

struct Random {
  std::uint64_t state;

  std::uint64_t next() {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // Uniform in [0, 1).
  double unit() { return static_cast<double>(next() >> 11) * 0x1p-53; }
  double uniform(double lo, double hi) { return lo + (hi - lo) * unit(); }
  // Uniform integer in [lo, hi].
  std::int64_t between(std::int64_t lo, std::int64_t hi) {
    return lo + static_cast<std::int64_t>(next() % static_cast<std::uint64_t>(hi - lo + 1));
  }
  // Roughly normal noise of the given spread (sum of uniforms; no libm in the stream).
  double noise(double spread) {
    return spread * (unit() + unit() + unit() + unit() - 2.0) * 0.8660254037844386;
  }
};

}  // namespace korvex::synth
