// The exit statuses of the tool.
#pragma once

namespace korvex {

inline constexpr int EXIT_DONE = 0;
inline constexpr int EXIT_USAGE = 1;
inline constexpr int EXIT_OPEN = 2;
inline constexpr int EXIT_NO_RECORDS = 3;
inline constexpr int EXIT_SEEK = 4;
inline constexpr int EXIT_DELIMITER = 5;
inline constexpr int EXIT_CLOSE = 6;
inline constexpr int EXIT_READ = 7;
inline constexpr int EXIT_WRITE = 8;

}  // namespace korvex
