// The cell printers on bytes in memory, in the three delimiter modes.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <vector>

#include "support/log_builder.h"
#include "table/columns.h"

namespace korvex::test {
namespace {

using Printer = char* (*)(char*, Cursor&, DelimiterMode, int, bool);

struct Printed {
  std::string text;
  std::ptrdiff_t consumed;
};

// Room for a cell with everything a printer may write beyond it.
struct CellBuffer {
  char bytes[CELL_ROOM];
};

Printed print(Printer printer, Bytes bytes, DelimiterMode mode, int width, bool present = true) {
  CellBuffer buffer;
  Cursor p = bytes.data();
  const char* end = printer(buffer.bytes, p, mode, width, present);
  return {std::string(static_cast<const char*>(buffer.bytes), end), p - bytes.data()};
}

std::string cell(Printer printer, Bytes bytes, DelimiterMode mode = DELIM_COMMA, int width = 5) {
  return print(printer, std::move(bytes), mode, width).text;
}

TEST(Columns, CellRuleInEveryMode) {
  EXPECT_EQ(cell(print_u16, {0xD2, 0x04}, DELIM_TAB), "1234\t");
  EXPECT_EQ(cell(print_u16, {0xD2, 0x04}, DELIM_COMMA), "1234,");
  EXPECT_EQ(cell(print_u16, {0xD2, 0x04}, DELIM_SPACE), " 1234");
  EXPECT_EQ(cell(print_u16, {0xFF, 0xFF}, DELIM_SPACE), "65535");
  EXPECT_EQ(cell(print_s32, {0x40, 0x42, 0x0F, 0x00}, DELIM_SPACE, 4), "1000000");

  std::string text;
  OutBuffer out(&text);
  print_label(out, "RPM", DELIM_SPACE, 5);
  print_label(out, "RPM", DELIM_TAB, 5);
  print_label(out, "toolong", DELIM_SPACE, 3);
  out.flush();
  EXPECT_EQ(text, "  RPMRPM\ttoolong");
}

TEST(Columns, IntegerPrintersReadTheirWidthAndSign) {
  EXPECT_EQ(cell(print_u16, {0xFF, 0xFF}), "65535,");
  EXPECT_EQ(cell(print_s16, {0xFF, 0xFF}), "-1,");
  EXPECT_EQ(cell(print_u8, {0x80}), "128,");
  EXPECT_EQ(cell(print_s8, {0x80}), "-128,");
  EXPECT_EQ(cell(print_s32, {0x00, 0x00, 0x00, 0x80}), "-2147483648,");
  EXPECT_EQ(print(print_s32, {1, 2, 3, 4, 5}, DELIM_TAB, 4).consumed, 4);
  EXPECT_EQ(print(print_u16, {1, 2, 3}, DELIM_TAB, 4).consumed, 2);
  EXPECT_EQ(print(print_s8, {1, 2}, DELIM_TAB, 4).consumed, 1);
}

TEST(Columns, ScaledPrintersShowTheStoredDigits) {
  EXPECT_EQ(cell(print_s8_tenths, {0x80}), "-12.8,");
  EXPECT_EQ(cell(print_s16_tenths, {0xFB, 0xFF}), "-0.5,");
  EXPECT_EQ(cell(print_u16_hundredths, {7, 0}), "0.07,");
  EXPECT_EQ(cell(print_u16_hundredths, {0xFF, 0xFF}), "655.35,");
  EXPECT_EQ(cell(print_u8_tenths, {141}), "14.1,");
  EXPECT_EQ(cell(print_u16_tenths, {0, 0}), "0.0,");
  EXPECT_EQ(cell(print_s16_tenths, {0x00, 0x80}), "-3276.8,");
  EXPECT_EQ(cell(print_u16_hundredths, {0xE8, 0x03}, DELIM_SPACE, 5), "10.00");

  // The digits equal printf's rendering of the value divided by 10.0 or 100.0, for every
  // 16-bit value.
  for (int v = -32768; v <= 65535; ++v) {
    const auto bits = static_cast<std::uint16_t>(v);
    const Bytes b{static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8)};
    char expected[32];
    if (v < 0 || v <= 32767) {
      std::snprintf(expected, sizeof expected, "%.1f,", static_cast<std::int16_t>(bits) / 10.0);
      ASSERT_EQ(cell(print_s16_tenths, b), expected) << v;
    }
    if (v >= 0) {
      std::snprintf(expected, sizeof expected, "%.2f,", v / 100.0);
      ASSERT_EQ(cell(print_u16_hundredths, b), expected) << v;
    }
  }
}

TEST(Columns, AbsentValuesPrintZeroAndReadNothing) {
  const Bytes bytes{9, 9, 9, 9};
  struct Case {
    Printer printer;
    const char* text;
  };
  const Case cases[] = {
      {print_s8, "    0"},         {print_s8_tenths, "  0.0"},  {print_u8, "    0"},
      {print_u8_tenths, "  0.0"},  {print_s16, "    0"},        {print_u16, "    0"},
      {print_s16_tenths, "  0.0"}, {print_u16_tenths, "  0.0"}, {print_u16_hundredths, " 0.00"},
      {print_s32, "    0"}};
  for (const Case& c : cases) {
    const Printed p = print(c.printer, bytes, DELIM_SPACE, 5, false);
    EXPECT_EQ(p.text, c.text);
    EXPECT_EQ(p.consumed, 0);
  }
}

std::string min_sec(Bytes bytes, DelimiterMode mode, bool present = true) {
  CellBuffer buffer;
  Cursor p = bytes.data();
  const char* end = print_min_sec(buffer.bytes, p, mode, present);
  EXPECT_EQ(p - bytes.data(), present ? 3 : 0);
  return std::string(static_cast<const char*>(buffer.bytes), end);
}

TEST(Columns, MinutesAndSecondsKeepTheirShapeInEveryMode) {
  EXPECT_EQ(min_sec({0x07, 0x05, 0x00}, DELIM_SPACE), "   5:07");
  EXPECT_EQ(min_sec({0x07, 0x05, 0x00}, DELIM_TAB), "   5:07\t");
  EXPECT_EQ(min_sec({0x00, 0xFF, 0xFF}, DELIM_COMMA), "  -1:00,");
  EXPECT_EQ(min_sec({0x3B, 0xE8, 0x03}, DELIM_SPACE), " 1000:59");
  EXPECT_EQ(min_sec({0xC8, 0x00, 0x00}, DELIM_SPACE), "   0:200");
  EXPECT_EQ(min_sec({0x05, 0x0C, 0x00}, DELIM_SPACE), "  12:05");
  EXPECT_EQ(min_sec({9, 9, 9}, DELIM_SPACE, false), "   0:00");
}

float decode(Bytes bytes) {
  Cursor p = bytes.data();
  const float v = decode_packed_float(p);
  EXPECT_EQ(p - bytes.data(), 4);
  return v;
}

std::string coordinate(Bytes bytes, bool negate, bool present = true,
                       DelimiterMode mode = DELIM_COMMA, int width = 10) {
  CellBuffer buffer;
  Cursor p = bytes.data();
  const char* end = print_coordinate(buffer.bytes, p, mode, width, present, negate);
  EXPECT_EQ(p - bytes.data(), present ? 4 : 0);
  return std::string(static_cast<const char*>(buffer.bytes), end);
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
  EXPECT_EQ(coordinate({1, 2, 3, 4}, true, false, DELIM_SPACE, 11), "    0.00000");
  EXPECT_EQ(coordinate({0x00, 0x00, 0x80, 0x7F}, true, true, DELIM_SPACE, 11), "       -inf");
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
