// The scrambler's only door to the OS; tests swap entries to inject faults.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

enum class file_kind { regular, directory, character, other };

// Two opens with equal device and inode are one file, refused as the output
// while it is the input (where the platform's sharing does not refuse it).
struct file_info {
  uint64_t device = 0;
  uint64_t inode = 0;
  file_kind kind = file_kind::other;
};

constexpr int kStdInput = 0;
constexpr int kStdOutput = 1;
constexpr int kStdError = 2;

// Descriptors 0 to 2 are the standard streams. Every entry returns -1 (or
// false) and leaves errno set to the platform's error number on failure.
struct os_calls {
  int (*open_read)(const char* path);
  // Creates when missing. Truncates only where the platform's own sharing
  // refuses the open input; elsewhere truncate follows the same-file check.
  int (*open_write)(const char* path);
  int (*truncate)(int fd);
  ssize_t (*read)(int fd, void* buf, size_t n);
  ssize_t (*write)(int fd, const void* buf, size_t n);
  int (*close)(int fd);
  int (*identify)(int fd, file_info* info);
  bool (*is_directory)(const char* path);
  std::string (*module_path)();
  void (*exit)(int code);
  // The start of the character after the one at p, in the platform's
  // multi-byte character set.
  const char* (*next_char)(const char* p);
  // The whole command line as the user gave it; null where the platform
  // keeps only argv (it is then rebuilt from argv).
  const char* (*command_line)();
};

extern os_calls os;  // platform.cpp (POSIX) or platform_win32.cpp (Windows)

// Once at start: a closed pipe or a file-size limit must show as a failed
// write, not a signal.
void platform_start();
