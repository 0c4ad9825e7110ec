// The profile as a TOML file: read with toml++, every key checked. A problem is reported as
// "FILE:LINE: KEY: what is wrong", the first in the file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "profile/profile.h"

namespace korvex {

// Reads the profile in `text`, which came from the file `path`; false with `error`.
bool parse_profile(std::string_view text, const std::string& path, Profile& profile,
                   std::string& error);

// The largest profile file read.
inline constexpr std::size_t MAX_PROFILE_BYTES = std::size_t{1024} * 1024;

// Reads the profile file at `path`; false with `error` (a file that cannot be read too, or one
// larger than MAX_PROFILE_BYTES).
bool read_profile(const std::string& path, Profile& profile, std::string& error);

// A commented profile with every key, describing the sample log's aircraft.
std::string_view profile_template();

}  // namespace korvex
