// The table's cells, generated from field tables, on bytes in memory in the three delimiter
// modes.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <vector>

#include "output/cells/block_cells.h"
#include "support/log_builder.h"

namespace korvex::test {
namespace {

// One-column tables, one for each way a value is stored, all of width 5 (s32 of width 4).
constexpr Field kS8[] = {{"v", 5, 0, Storage::S8}};
constexpr Field kS8Tenths[] = {{"v", 5, 0, Storage::S8, 1}};
constexpr Field kU8[] = {{"v", 5, 0, Storage::U8}};
constexpr Field kU8Tenths[] = {{"v", 5, 0, Storage::U8, 1}};
constexpr Field kS16[] = {{"v", 5, 0, Storage::S16}};
constexpr Field kU16[] = {{"v", 5, 0, Storage::U16}};
constexpr Field kS16Tenths[] = {{"v", 5, 0, Storage::S16, 1}};
constexpr Field kU16Tenths[] = {{"v", 5, 0, Storage::U16, 1}};
constexpr Field kU16Hundredths[] = {{"v", 5, 0, Storage::U16, 2}};
constexpr Field kS32[] = {{"v", 4, 0, Storage::S32}};
constexpr Field kMinSec[] = {{"v", 7, 0, Storage::MIN_SEC}};
constexpr Field kLat[] = {{"lat", 10, 0, Storage::COORDINATE, COORDINATE_DECIMALS}};
constexpr Field kLong[] = {{"long", 11, 0, Storage::COORDINATE, COORDINATE_DECIMALS, 0, true}};

// Room for a cell with everything a writer may put beyond it.
struct CellBuffer {
  char bytes[CELL_ROOM];
};

// The cell of a one-column table over `bytes`; absent: the block is missing.
template <const auto& kTable>
std::string cell(Bytes bytes, DelimiterMode mode = DELIM_COMMA, bool present = true) {
  CellBuffer buffer;
  const char* end =
      block_cells<kTable>(buffer.bytes, present ? bytes.data() : nullptr, true, 3, mode);
  return std::string(static_cast<const char*>(buffer.bytes), end);
}

TEST(Columns, CellRuleInEveryMode) {
  EXPECT_EQ(cell<kU16>({0xD2, 0x04}, DELIM_TAB), "1234\t");
  EXPECT_EQ(cell<kU16>({0xD2, 0x04}, DELIM_COMMA), "1234,");
  EXPECT_EQ(cell<kU16>({0xD2, 0x04}, DELIM_SPACE), " 1234");
  EXPECT_EQ(cell<kU16>({0xFF, 0xFF}, DELIM_SPACE), "65535");
  EXPECT_EQ(cell<kS32>({0x40, 0x42, 0x0F, 0x00}, DELIM_SPACE), "1000000");

  std::string text;
  OutBuffer out(&text);
  print_label(out, "RPM", DELIM_SPACE, 5);
  print_label(out, "RPM", DELIM_TAB, 5);
  print_label(out, "toolong", DELIM_SPACE, 3);
  out.flush();
  EXPECT_EQ(text, "  RPMRPM\ttoolong");
}

TEST(Columns, IntegerPrintersReadTheirWidthAndSign) {
  EXPECT_EQ(cell<kU16>({0xFF, 0xFF}), "65535,");
  EXPECT_EQ(cell<kS16>({0xFF, 0xFF}), "-1,");
  EXPECT_EQ(cell<kU8>({0x80}), "128,");
  EXPECT_EQ(cell<kS8>({0x80}), "-128,");
  EXPECT_EQ(cell<kS32>({0x00, 0x00, 0x00, 0x80}), "-2147483648,");
}

TEST(Columns, ScaledPrintersShowTheStoredDigits) {
  EXPECT_EQ(cell<kS8Tenths>({0x80}), "-12.8,");
  EXPECT_EQ(cell<kS16Tenths>({0xFB, 0xFF}), "-0.5,");
  EXPECT_EQ(cell<kU16Hundredths>({7, 0}), "0.07,");
  EXPECT_EQ(cell<kU16Hundredths>({0xFF, 0xFF}), "655.35,");
  EXPECT_EQ(cell<kU8Tenths>({141}), "14.1,");
  EXPECT_EQ(cell<kU16Tenths>({0, 0}), "0.0,");
  EXPECT_EQ(cell<kS16Tenths>({0x00, 0x80}), "-3276.8,");
  EXPECT_EQ(cell<kU16Hundredths>({0xE8, 0x03}, DELIM_SPACE), "10.00");

  // The digits equal printf's rendering of the value divided by 10.0 or 100.0, for every
  // 16-bit value.
  for (int v = -32768; v <= 65535; ++v) {
    const auto bits = static_cast<std::uint16_t>(v);
    const Bytes b{static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8)};
    char expected[32];
    if (v < 0 || v <= 32767) {
      std::snprintf(expected, sizeof expected, "%.1f,", static_cast<std::int16_t>(bits) / 10.0);
      ASSERT_EQ(cell<kS16Tenths>(b), expected) << v;
    }
    if (v >= 0) {
      std::snprintf(expected, sizeof expected, "%.2f,", v / 100.0);
      ASSERT_EQ(cell<kU16Hundredths>(b), expected) << v;
    }
  }
}

TEST(Columns, AbsentValuesPrintZero) {
  const Bytes bytes{9, 9, 9, 9};
  EXPECT_EQ(cell<kS8>(bytes, DELIM_SPACE, false), "    0");
  EXPECT_EQ(cell<kS8Tenths>(bytes, DELIM_SPACE, false), "  0.0");
  EXPECT_EQ(cell<kU8>(bytes, DELIM_SPACE, false), "    0");
  EXPECT_EQ(cell<kU8Tenths>(bytes, DELIM_SPACE, false), "  0.0");
  EXPECT_EQ(cell<kS16>(bytes, DELIM_SPACE, false), "    0");
  EXPECT_EQ(cell<kU16Hundredths>(bytes, DELIM_SPACE, false), " 0.00");
  EXPECT_EQ(cell<kS32>(bytes, DELIM_SPACE, false), "   0");
  EXPECT_EQ(cell<kMinSec>(bytes, DELIM_SPACE, false), "   0:00");
  EXPECT_EQ(cell<kLong>(bytes, DELIM_SPACE, false), "    0.00000");
}

TEST(Columns, MinutesAndSecondsKeepTheirShapeInEveryMode) {
  EXPECT_EQ(cell<kMinSec>({0x07, 0x05, 0x00}, DELIM_SPACE), "   5:07");
  EXPECT_EQ(cell<kMinSec>({0x07, 0x05, 0x00}, DELIM_TAB), "   5:07\t");
  EXPECT_EQ(cell<kMinSec>({0x00, 0xFF, 0xFF}, DELIM_COMMA), "  -1:00,");
  EXPECT_EQ(cell<kMinSec>({0x3B, 0xE8, 0x03}, DELIM_SPACE), " 1000:59");
  EXPECT_EQ(cell<kMinSec>({0xC8, 0x00, 0x00}, DELIM_SPACE), "   0:200");
  EXPECT_EQ(cell<kMinSec>({0x05, 0x0C, 0x00}, DELIM_SPACE), "  12:05");
}

float decode(const Bytes& bytes) {
  return decode_packed_float(bytes.data());
}

std::string coordinate(Bytes bytes, bool negate) {
  return negate ? cell<kLong>(std::move(bytes)) : cell<kLat>(std::move(bytes));
}

TEST(Columns, PackedFloatsIgnoreTheSignBit) {
  EXPECT_EQ(decode({0x00, 0x00, 0x80, 0x3F}), 1.0f);
  EXPECT_EQ(decode({0x00, 0x00, 0x80, 0xBF}), 1.0f);
  EXPECT_TRUE(std::isinf(decode({0x00, 0x00, 0x80, 0x7F})));
  EXPECT_TRUE(std::isinf(decode({0x01, 0x00, 0x80, 0x7F})));
  EXPECT_GT(decode({0, 0, 0, 0}), 0.0f);  // exponent 0 is no zero
  EXPECT_EQ(coordinate({0x00, 0x00, 0x80, 0xBF}, true), "-1.00000,");
  EXPECT_EQ(coordinate({0x00, 0x00, 0x80, 0xBF}, false), "1.00000,");
  EXPECT_EQ(coordinate({0, 0, 0, 0}, false), "0.00000,");
  EXPECT_EQ(coordinate({0, 0, 0, 0}, true), "-0.00000,");
  EXPECT_EQ(cell<kLong>({0x00, 0x00, 0x80, 0x7F}, DELIM_SPACE), "       -inf");
}

TEST(Columns, CoordinatesMatchPrintfOfTheWidenedFloat) {
  // Every exponent, a spread of mantissas, and exact decimal ties such as 1/64.
  char expected[80];
  for (std::uint32_t e = 1; e < 255; ++e) {
    for (std::uint32_t m = 0; m < (1U << 23); m += 65521) {
      const std::uint32_t bits = (e << 23) | m;
      const Bytes b{static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
                    static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
      const float f = std::bit_cast<float>(bits);
      std::snprintf(expected, sizeof expected, "%.5f,", static_cast<double>(f));
      ASSERT_EQ(coordinate(b, false), expected) << bits;
      std::snprintf(expected, sizeof expected, "%.5f,", -static_cast<double>(f));
      ASSERT_EQ(coordinate(b, true), expected) << bits;
    }
  }
  // Values whose sixth decimal is an exact 5 (k/64, k/2^11...), and small exponents.
  std::vector<float> values;
  for (int k = 1; k < 400; k += 2) {
    values.push_back(static_cast<float>(k) / 64.0f);
    values.push_back(static_cast<float>(k) / 2048.0f + 47.0f);
  }
  for (std::uint32_t bits = 0; bits < (40U << 23); bits += 0x3FFFFU)
    values.push_back(std::bit_cast<float>(bits));
  for (const float v : values) {
    const auto bits = std::bit_cast<std::uint32_t>(v);
    const Bytes b{static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
                  static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
    const float decoded = decode(b);
    std::snprintf(expected, sizeof expected, "%.5f,", static_cast<double>(decoded));
    ASSERT_EQ(coordinate(b, false), expected) << v;
    std::snprintf(expected, sizeof expected, "%.5f,", -static_cast<double>(decoded));
    ASSERT_EQ(coordinate(b, true), expected) << v;
  }
}

}  // namespace
}  // namespace korvex::test
