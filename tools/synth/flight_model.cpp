#include "flight_model.h"

#include <algorithm>
#include <cmath>

namespace korvex::synth {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRad = kPi / 180.0;
constexpr double kSecondsPerHourTimes60 = 216000.0;  // knots to degrees of latitude per second
constexpr double kEgtOffset[6] = {-25, 10, 30, -5, 18, -35};
constexpr double kChtOffset[6] = {5, -12, 15, 0, -8, 20};
constexpr double kMagneticVariation = 15.0;

double clamp(double v, double lo, double hi) {
  return std::min(std::max(v, lo), hi);
}

double approach(double value, double target, double up, double down) {
  return value + clamp(target - value, -down, up);
}

double wrap360(double deg) {
  deg = std::fmod(deg, 360.0);
  return deg < 0 ? deg + 360.0 : deg;
}

double wrap180(double deg) {
  deg = wrap360(deg);
  return deg > 180.0 ? deg - 360.0 : deg;
}

double true_airspeed(const Aircraft& a) {
  return a.ias * (1.0 + 0.02 * a.alt / 1000.0);
}

bool on_ground(Stage p) {
  return p == Stage::kTaxiOut || p == Stage::kRunUp || p == Stage::kTakeoff ||
         p == Stage::kRollout || p == Stage::kTaxiIn;
}

double distance_nm(const Flight& f, const Aircraft& a) {
  const double dlat = (f.to_lat - a.lat) * 60.0;
  const double dlon = -(f.to_lon_west - a.lon_west) * 60.0 * std::cos(a.lat * kRad);
  return std::hypot(dlat, dlon);
}

double bearing_to_field(const Flight& f, const Aircraft& a) {
  const double dlat = f.to_lat - a.lat;
  const double dlon = -(f.to_lon_west - a.lon_west) * std::cos(a.lat * kRad);
  return wrap360(std::atan2(dlon, dlat) / kRad);
}

double throttle(const Engine& e) {
  return clamp((e.rpm - 800.0) / 1900.0, 0.0, 1.0);
}

void set_phase(Flight& f, Stage p) {
  f.phase = p;
  f.phase_seconds = 0;
}

// Engine and temperatures follow the RPM the pilot sets.
void step_engine(Flight& f, Aircraft& a, double target_rpm, Random& rng) {
  Engine& e = a.engine;
  e.rpm = std::max(0.0, approach(e.rpm, target_rpm, 220.0, 250.0) + (e.rpm > 0 ? rng.noise(6) : 0));
  if (target_rpm == 0 && e.rpm < 300) e.rpm = 0;
  const double th = throttle(e);
  const bool running = e.rpm > 0;
  const double oat_f = (a.ground_oat - 2.0 * a.alt / 1000.0) * 1.8 + 32.0;
  const double flow = running ? 1.6 + 11.5 * std::pow(th, 1.6) : 0.0;
  e.fuel_used += flow / 3600.0;
  e.fuel_on_board = std::max(0.0, e.fuel_on_board - flow / 3600.0);
  const bool climbing = f.phase == Stage::kClimb || f.phase == Stage::kTakeoff;
  for (int i = 0; i < 6; ++i) {
    const double egt =
        running ? 1180.0 + 300.0 * std::pow(th, 0.8) + kEgtOffset[i] - (climbing ? 60 : 0) : oat_f;
    e.egt[i] += (egt - e.egt[i]) * 0.04 + rng.noise(1.5);
    const double cht = running ? 260.0 + 140.0 * th + (climbing ? 25 : 0) + kChtOffset[i] : oat_f;
    e.cht[i] += (cht - e.cht[i]) * 0.004 + rng.noise(0.3);
  }
  const double oil = running ? 160.0 + 40.0 * th : oat_f;
  e.oil_temp += (oil - e.oil_temp) * 0.0015;
}

}  // namespace

Flight plan_flight(Aircraft& a, double from_elevation, Random& rng) {
  Flight f;
  const double distance = rng.uniform(30, 120);
  const double bearing = rng.uniform(0, 360);
  f.from_elevation = from_elevation;
  f.to_elevation = std::round(rng.uniform(50, 1500));
  f.to_lat = a.lat + distance * std::cos(bearing * kRad) / 60.0;
  f.to_lon_west =
      a.lon_west - distance * std::sin(bearing * kRad) / (60.0 * std::cos(a.lat * kRad));
  f.cruise_alt =
      500.0 +
      1000.0 * std::round((std::max(f.from_elevation, f.to_elevation) + rng.uniform(3000, 7000)) /
                          1000.0);
  f.cruise_ias = rng.uniform(115, 128);
  f.taxi_out = static_cast<int>(rng.between(240, 480));
  f.taxi_in = static_cast<int>(rng.between(150, 300));

  a.alt = from_elevation;
  a.vsi = a.ias = a.bank = a.pitch = a.turn_rate = 0;
  a.turn_seconds = 0;
  a.heading = rng.uniform(0, 360);
  a.baro = rng.uniform(29.80, 30.15);
  const double oat_f = (a.ground_oat - 2.0 * a.alt / 1000.0) * 1.8 + 32.0;
  Engine& e = a.engine;
  e.rpm = 0;
  // A long stop lets the engine cool down to the outside air.
  for (int i = 0; i < 6; ++i) {
    e.egt[i] = oat_f + (e.egt[i] - oat_f) * 0.05;
    e.cht[i] = oat_f + (e.cht[i] - oat_f) * 0.2;
  }
  e.oil_temp = oat_f + (e.oil_temp - oat_f) * 0.3;
  e.fuel_used = 0;
  if (e.fuel_on_board < 25) e.fuel_on_board = 48;
  return f;
}

bool step_flight(Flight& f, Aircraft& a, Random& rng) {
  ++f.seconds;
  ++f.phase_seconds;
  double target_ias = 0, target_vsi = 0, target_rpm = 1000;
  double course = a.heading;
  switch (f.phase) {
    case Stage::kTaxiOut:
      // The instrument comes on before the engine is started.
      target_rpm = f.phase_seconds < 20 ? 0 : 1000;
      target_ias = f.phase_seconds < 90 ? 0 : (f.phase_seconds / 45) % 4 == 0 ? 0 : 9;
      course = a.heading + rng.noise(3);
      if (f.phase_seconds >= f.taxi_out) set_phase(f, Stage::kRunUp);
      break;
    case Stage::kRunUp:
      target_rpm = f.phase_seconds < 40 ? 1800 : 1000;
      if (f.phase_seconds >= 60) set_phase(f, Stage::kTakeoff);
      break;
    case Stage::kTakeoff:
      target_rpm = 2650;
      target_ias = 70;
      if (a.ias >= 58) set_phase(f, Stage::kClimb);
      break;
    case Stage::kClimb:
      target_rpm = 2550;
      target_ias = 80;
      target_vsi = 750.0 - 45.0 * a.alt / 1000.0;
      course = bearing_to_field(f, a);
      if (a.alt >= f.cruise_alt - 30) set_phase(f, Stage::kCruise);
      break;
    case Stage::kCruise: {
      target_rpm = 2400;
      target_ias = f.cruise_ias;
      target_vsi = clamp((f.cruise_alt - a.alt) * 3.0, -300, 300);
      if (f.detour_left == 0 && rng.unit() < 1.0 / 300.0) {
        f.detour = (rng.unit() < 0.5 ? -1 : 1) * rng.uniform(30, 90);
        f.detour_left = static_cast<int>(rng.between(40, 150));
      }
      if (f.detour_left > 0) --f.detour_left;
      course = bearing_to_field(f, a) + (f.detour_left > 0 ? f.detour : 0);
      const double gs_nm_per_min = true_airspeed(a) / 60.0;
      const double descent_nm = (a.alt - f.to_elevation - 1000.0) / 500.0 * gs_nm_per_min + 2.0;
      if (distance_nm(f, a) <= descent_nm) set_phase(f, Stage::kDescent);
      break;
    }
    case Stage::kDescent:
      target_rpm = 2150;
      target_ias = f.cruise_ias;
      target_vsi = -500;
      course = bearing_to_field(f, a);
      if (a.alt <= f.to_elevation + 1000 || distance_nm(f, a) < 2.5) set_phase(f, Stage::kApproach);
      break;
    case Stage::kApproach:
      // Downwind, base and final: a turn away from the field, then back onto it.
      target_rpm = 1700;
      target_ias = 68;
      target_vsi = a.alt - f.to_elevation > 40 ? -450 : -150;
      course = bearing_to_field(f, a) + (f.phase_seconds < 60 ? 90 : 0);
      if (a.alt <= f.to_elevation) {
        a.alt = f.to_elevation;
        set_phase(f, Stage::kRollout);
      }
      break;
    case Stage::kRollout:
      target_ias = 8;
      if (a.ias <= 12) set_phase(f, Stage::kTaxiIn);
      break;
    case Stage::kTaxiIn:
      target_rpm = f.phase_seconds < f.taxi_in - 30 ? 1000 : 0;
      target_ias = f.phase_seconds < f.taxi_in - 40 ? 8 : 0;
      course = a.heading + rng.noise(3);
      if (f.phase_seconds >= f.taxi_in) set_phase(f, Stage::kDone);
      break;
    case Stage::kDone:
      return false;
  }

  const bool ground = on_ground(f.phase);
  step_engine(f, a, target_rpm, rng);
  const double accel = ground && f.phase != Stage::kTakeoff ? 1.5 : 3.0;
  a.ias = std::max(0.0, approach(a.ias, target_ias, accel, f.phase == Stage::kRollout ? 3.0 : 2.0) +
                            (a.ias > 20 ? rng.noise(0.6) : 0));
  if (ground) {
    a.alt =
        f.phase == Stage::kTaxiIn || f.phase == Stage::kRollout ? f.to_elevation : f.from_elevation;
    a.vsi = 0;
    a.bank = 0;
    a.pitch = f.phase == Stage::kTakeoff && a.ias > 50 ? 7 : 0;
    const double before = a.heading;
    if (a.ias > 1) a.heading = wrap360(course);
    a.turn_rate = wrap180(a.heading - before);
  } else {
    a.vsi = approach(a.vsi, target_vsi, 150, 150) + rng.noise(25);
    a.alt += a.vsi / 60.0;
    const double error = wrap180(course - a.heading);
    const double target_bank = std::abs(error) < 0.5 ? 0 : clamp(error * 1.2, -25, 25);
    a.bank = approach(a.bank, target_bank, 5, 5) + rng.noise(0.4);
    a.turn_rate = 1091.0 * std::tan(a.bank * kRad) / std::max(true_airspeed(a), 40.0);
    a.heading = wrap360(a.heading + a.turn_rate);
    a.pitch = 2.0 + a.vsi / 250.0 + (a.ias < 75 ? 3.0 : 0.0) + rng.noise(0.3);
  }
  a.turn_seconds = std::abs(a.bank) > 8 ? a.turn_seconds + 1 : 0;
  const double gs = ground ? a.ias : true_airspeed(a);
  a.lat += gs * std::cos(a.heading * kRad) / kSecondsPerHourTimes60;
  a.lon_west -= gs * std::sin(a.heading * kRad) / (kSecondsPerHourTimes60 * std::cos(a.lat * kRad));
  FlightTruth& truth = f.truth;
  truth.fuel_used = a.engine.fuel_used;
  truth.distance_nm += gs / 3600.0;
  const double oil = oil_pressure(a.engine);
  truth.min_oil_psi = truth.sampled ? std::min(truth.min_oil_psi, oil) : oil;
  truth.sampled = true;
  if (static_cast<double>(std::lround(a.engine.rpm)) >= RUNNING_RPM) {
    truth.min_running_oil_psi =
        truth.engine_seconds > 0 ? std::min(truth.min_running_oil_psi, oil) : oil;
    ++truth.engine_seconds;
  }
  if (!ground) ++truth.airborne_seconds;
  if (truth.airborne && ground) ++truth.landings;
  truth.airborne = !ground;
  if (f.seconds % 60 == 0)
    a.sats = static_cast<int>(clamp(a.sats + static_cast<double>(rng.between(-1, 1)), 6, 12));
  return true;
}

Phase flown_phase(const Flight& f, const Aircraft& a) {
  if (on_ground(f.phase)) {
    return static_cast<double>(std::lround(a.engine.rpm)) >= RUNNING_RPM ? Phase::GROUND
                                                                         : Phase::STOPPED;
  }
  switch (f.phase) {
    case Stage::kClimb:
      return Phase::CLIMB;
    case Stage::kCruise:
      return Phase::CRUISE;
    default:
      return Phase::DESCENT;
  }
}

void mark_takeoff_and_landing(std::vector<Phase>& phases, int seconds) {
  const auto airborne = [&](std::size_t i) {
    return phases[i] != Phase::GROUND && phases[i] != Phase::STOPPED;
  };
  const auto n = static_cast<std::ptrdiff_t>(phases.size());
  for (std::ptrdiff_t i = 0; i < n;) {
    if (!airborne(static_cast<std::size_t>(i))) {
      ++i;
      continue;
    }
    std::ptrdiff_t end = i;
    while (end < n && airborne(static_cast<std::size_t>(end))) ++end;
    for (std::ptrdiff_t k = end - 1; i > 0 && end < n && k >= std::max(i, end - seconds); --k) {
      phases[static_cast<std::size_t>(k)] = Phase::LANDING;
    }
    for (std::ptrdiff_t k = i; i > 0 && k < std::min(end, i + seconds); ++k) {
      phases[static_cast<std::size_t>(k)] = Phase::TAKEOFF;
    }
    i = end;
  }
}

double oil_pressure(const Engine& e) {
  const double psi = e.rpm > 0 ? 32 + 38 * e.rpm / 2700.0 - (e.oil_temp - 150) * 0.05 : 0;
  return std::max(0.0, psi);
}

namespace {

double fuel_flow(const Engine& e) {
  return e.rpm > 0 ? 1.6 + 11.5 * std::pow(throttle(e), 1.6) : 0.0;
}

double manifold_pressure(const Aircraft& a) {
  const double ambient = a.baro - a.alt / 1000.0;
  return a.engine.rpm > 0 ? ambient * (0.35 + 0.62 * throttle(a.engine)) : ambient;
}

}  // namespace

TrueValues true_values(const Aircraft& a) {
  TrueValues v;
  v.alt = a.alt;
  v.tas = a.ias >= 20 ? true_airspeed(a) : 0;
  v.rpm = a.engine.rpm;
  v.map = manifold_pressure(a);
  v.flow = fuel_flow(a.engine);
  for (int i = 0; i < 6; ++i) {
    v.egt[i] = a.engine.egt[i];
    v.cht[i] = a.engine.cht[i];
  }
  v.oil_temp = a.engine.oil_temp;
  return v;
}

RecordFields sample_instruments(const Flight& f, const Aircraft& a, Random& rng) {
  auto s16 = [](double v) {
    return static_cast<std::int16_t>(std::lround(clamp(v, -32768, 32767)));
  };
  auto u16 = [](double v) { return static_cast<std::uint16_t>(std::lround(clamp(v, 0, 65535))); };
  auto u8 = [](double v) { return static_cast<std::uint8_t>(std::lround(clamp(v, 0, 255))); };
  const Engine& e = a.engine;
  const bool running = e.rpm > 0;
  const bool airborne = !on_ground(f.phase);
  const double th = throttle(e);
  const double oat = a.ground_oat - 2.0 * a.alt / 1000.0;
  const double load = 1.0 / std::cos(a.bank * kRad);
  const double tas = true_airspeed(a);

  RecordFields r;
  BaseFields& b = r.base;
  b.alt = static_cast<std::int32_t>(std::lround(a.alt));
  b.baro = s16(a.baro * 100);
  b.asi = s16(a.ias >= 20 ? a.ias : 0);
  b.tas = s16(a.ias >= 20 ? tas : 0);
  b.vsi = s16(std::round(a.vsi / 10) * 10);
  b.g_s = s16(load * 10 + (airborne ? rng.noise(0.5) : 0));
  b.rotor = 0;
  b.main_volts = u8(running ? 141 + rng.noise(1) : 123);
  b.batt_volts = u8(127 + rng.noise(0.5));
  b.amps =
      s16(running ? 30 + 140 * std::exp(-f.seconds / 180.0) + rng.noise(3) : -80 + rng.noise(3));
  b.aoa =
      s16(airborne ? clamp(2 + 9 * std::pow(62.0 / std::max(a.ias, 40.0), 2) + a.pitch * 0.3, 0, 20)
                   : 0);
  b.oat = s16(oat + rng.noise(0.3));

  TelmFields t;
  t.rpm = u16(e.rpm);
  t.rfl1 = u16(e.fuel_on_board * 5);  // each tank holds half, in tenths of a gallon
  t.rfl2 = u16(e.fuel_on_board * 5 - 3);
  t.ch1 = u16(512 + rng.noise(2));
  t.ch2 = u16(509 + rng.noise(2));
  t.flow = u16(fuel_flow(e) * 100 + (running ? rng.noise(4) : 0));
  t.map = u16(manifold_pressure(a) * 10);
  // The senders' counts, from the tanks' tenths of a gallon.
  t.fl1 = u16(t.rfl1 * FUEL_SENDER_COUNTS_PER_GALLON / 10);
  t.fl2 = u16(t.rfl2 * FUEL_SENDER_COUNTS_PER_GALLON / 10);
  t.flc = u16(e.fuel_used * 10);
  t.oil_t = u16(e.oil_temp);
  const double oil_psi = oil_pressure(e);
  t.oil_p = u16(oil_psi * 10 + (running ? rng.noise(3) : 0));
  t.carb = s16(running ? oat - 4 - 12 * (1 - th) : oat);
  t.fuel_p = u8(running ? 52 + rng.noise(1) : 0);
  t.h2o = 0;  // air-cooled
  for (int i = 0; i < 6; ++i) {
    t.tc[i] = u16(e.egt[i]);
    t.tc[6 + i] = u16(e.cht[i]);
  }
  t.rch1 = u16(512 + rng.noise(2));
  t.rch2 = u16(511 + rng.noise(2));
  t.rot = u16((e.oil_temp - 32) / 1.8);
  t.rop = u16(std::max(0.0, oil_psi));
  t.ref = u16(5000 + rng.noise(3));
  t.fail = 0;
  r.telm1 = t;
  // The second engine monitor reads the same engine through its own probes.
  for (int i = 0; i < 12; ++i) t.tc[i] = u16(t.tc[i] + (i % 2 == 0 ? 4 : -3) + rng.noise(1));
  t.oil_t = u16(t.oil_t + 1);
  r.telm2 = t;

  AttitudeFields& att = r.attitude.emplace();
  att.bank = s16(a.bank);
  att.pitch = s16(a.pitch);
  att.slip = s16(rng.noise(0.6));
  att.heading = s16(wrap360(std::round(a.heading - kMagneticVariation)));
  att.yaw = u16(std::abs(a.turn_rate) * 10);
  att.g = static_cast<std::int8_t>(
      std::lround(clamp(load * 10 + (airborne ? rng.noise(0.5) : 0), -128, 127)));
  att.turn_seconds = static_cast<std::uint8_t>(a.turn_seconds % 60);
  att.turn_minutes = static_cast<std::int16_t>(a.turn_seconds / 60);

  GpsFields& gps = r.gps.emplace();
  gps.lat = static_cast<float>(a.lat);
  gps.lon = static_cast<float>(a.lon_west);
  gps.heading = static_cast<std::int32_t>(std::lround(wrap360(std::round(a.heading))) % 360);
  gps.ground_speed = static_cast<std::int32_t>(std::lround(airborne ? tas : a.ias));
  gps.altitude = static_cast<std::int32_t>(std::lround(a.alt + 40));
  gps.status = static_cast<std::int8_t>(f.seconds < 45 ? 2 : 3);
  gps.sats = static_cast<std::int8_t>(a.sats);
  gps.hac = static_cast<std::int8_t>(2 + (12 - a.sats) / 2);
  gps.vac = static_cast<std::int8_t>(gps.hac + 2);
  return r;
}

}  // namespace korvex::synth
