// Writes a small wrapped log of layout 2 with every section: the sample in examples/.
//   korvex-sample PATH
#include <cstdio>
#include <vector>

#include "record_writer.h"

namespace {

korvex::RecordFields sample_record(int i) {
  korvex::RecordFields f;
  f.timestamp = 847'000'000U + static_cast<std::uint32_t>(i);
  f.base = {1500 + 12 * i, 2992, 95, 101, 720, 10, 0, 141, 138, 215, 4, 15};
  korvex::TelmFields t;
  t.rpm = static_cast<std::uint16_t>(2400 + i);
  t.flow = 1025;
  t.map = 245;
  t.oil_t = 185;
  t.oil_p = 652;
  t.fuel_p = 52;
  for (int k = 0; k < 6; ++k) t.tc[k] = static_cast<std::uint16_t>(1350 + 10 * k + i);
  for (int k = 6; k < 12; ++k) t.tc[k] = static_cast<std::uint16_t>(330 + 5 * k);
  f.telm1 = t;
  f.telm2 = t;
  f.attitude = korvex::AttitudeFields{static_cast<std::int16_t>(i % 20 - 10), 3, 0, 270, 2, 10,
                                      static_cast<std::uint8_t>(i % 60),      1};
  f.gps = korvex::GpsFields{
      47.45f + 0.0001f * static_cast<float>(i), 122.3f, 270, 110, 1480 + 12 * i, 3, 9, 4, 6};
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: korvex-sample PATH\n");
    return 1;
  }
  // A circular file of 40 records that 60 records were written into: it wrapped once, and the
  // oldest record left (number 20) stands in the middle of the file.
  constexpr int kWritten = 60;
  constexpr int kCapacity = 40;
  std::vector<std::vector<std::uint8_t>> slots(kCapacity);
  for (int i = 0; i < kWritten; ++i) {
    std::vector<std::uint8_t> bytes;
    korvex::append_record(bytes, sample_record(i), 2);
    slots[static_cast<std::size_t>(i % kCapacity)] = bytes;
  }
  std::FILE* file = std::fopen(argv[1], "wb");
  if (file == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  for (const auto& slot : slots) std::fwrite(slot.data(), 1, slot.size(), file);
  if (std::fclose(file) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
