// Writes records in the log format: what the instrument writes, for the tests and the helper
// programs. Each record goes behind a start marker; sections follow the base payload directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "record/layouts.h"

namespace korvex {

struct BaseFields {
  std::int32_t alt = 0;
  std::int16_t baro = 0;
  std::int16_t asi = 0;
  std::int16_t tas = 0;
  std::int16_t vsi = 0;
  std::int16_t g_s = 0;  // tenths
  std::uint16_t rotor = 0;
  std::uint8_t main_volts = 0;  // tenths
  std::uint8_t batt_volts = 0;  // tenths
  std::int16_t amps = 0;        // tenths
  std::int16_t aoa = 0;
  std::int16_t oat = 0;
};

struct TelmFields {
  std::uint16_t rpm = 0;
  std::uint16_t rfl1 = 0;
  std::uint16_t rfl2 = 0;
  std::uint16_t ch1 = 0;
  std::uint16_t ch2 = 0;
  std::uint16_t flow = 0;  // hundredths
  std::uint16_t map = 0;
  std::uint16_t fl1 = 0;
  std::uint16_t fl2 = 0;
  std::uint16_t flc = 0;  // tenths
  std::uint16_t oil_t = 0;
  std::uint16_t oil_p = 0;  // tenths
  std::int16_t carb = 0;
  std::uint8_t fuel_p = 0;  // tenths
  std::uint8_t h2o = 0;
  std::uint16_t tc[12] = {};
  std::uint16_t rch1 = 0;  // rch1, rch2, rot and rop exist in the 63-byte form only
  std::uint16_t rch2 = 0;
  std::uint16_t rot = 0;
  std::uint16_t rop = 0;
  std::uint16_t ref = 0;
  std::uint8_t fail = 0;
  std::uint8_t spare = 0;  // the 56-byte form's last byte
};

struct AttitudeFields {
  std::int16_t bank = 0;
  std::int16_t pitch = 0;
  std::int16_t slip = 0;
  std::int16_t heading = 0;
  std::uint16_t yaw = 0;
  std::int8_t g = 0;  // tenths
  std::uint8_t turn_seconds = 0;
  std::int16_t turn_minutes = 0;
};

struct GpsFields {
  float lat = 0;  // stored as single-precision bit patterns
  float lon = 0;
  std::int32_t heading = 0;
  std::int32_t ground_speed = 0;
  std::int32_t altitude = 0;
  std::int8_t status = 0;  // status, sats, hac and vac exist from layout 1 on
  std::int8_t sats = 0;
  std::int8_t hac = 0;
  std::int8_t vac = 0;
};

struct RecordFields {
  std::uint32_t timestamp = 0;
  BaseFields base;
  std::optional<TelmFields> telm1;
  std::optional<TelmFields> telm2;
  std::optional<AttitudeFields> attitude;
  std::optional<GpsFields> gps;
};

// The record body (no start marker) in the given layout; returns its length.
std::size_t encode_record(const RecordFields& fields, RecordLayout layout, std::uint8_t* body);

// Appends the start marker and the record body to log.
void append_record(std::vector<std::uint8_t>& log, const RecordFields& fields, RecordLayout layout);

}  // namespace korvex
