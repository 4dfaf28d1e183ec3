// The scrambler's error numbers and the one pending error: the numbers the
// user sees in a failure report, spoken by the text-file layer and by every
// platform alike.
#pragma once

#include <cstdint>

constexpr int32_t kFileNotFound = 2;
constexpr int32_t kInvalidFilename = 3;
constexpr int32_t kTooManyOpenFiles = 4;
constexpr int32_t kAccessDenied = 5;
constexpr int32_t kSharingViolation = 32;
constexpr int32_t kReadBeyondEnd = 100;
constexpr int32_t kDiskFull = 101;
constexpr int32_t kNotOpen = 103;
constexpr int32_t kNotOpenForInput = 104;
constexpr int32_t kNotOpenForOutput = 105;
constexpr int32_t kInvalidNumber = 106;

// A platform number that collides with one of the codes above (EIO is 5) is
// marked raw so that it reads "I/O error N".
struct pending_error {
  int32_t code = 0;
  bool raw = false;
};

// Turns a platform error number into a pending code; each platform file
// (platform.cpp, platform_win32.cpp) defines it.
pending_error errno_error(int err);
