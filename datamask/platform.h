// The scrambler's only door to the OS; tests swap entries to inject faults.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

enum class file_kind { regular, directory, character, other };

struct file_info {
  uint64_t device = 0;
  uint64_t inode = 0;
  file_kind kind = file_kind::other;
};

constexpr int kStdInput = 0;
constexpr int kStdOutput = 1;
constexpr int kStdError = 2;

// Every entry returns -1 (or false) and leaves errno set on failure.
struct os_calls {
  int (*open_read)(const char* path);
  // Creates when missing but never truncates: the same-file check comes first.
  int (*open_write)(const char* path);
  int (*truncate)(int fd);
  ssize_t (*read)(int fd, void* buf, size_t n);
  ssize_t (*write)(int fd, const void* buf, size_t n);
  int (*close)(int fd);
  int (*identify)(int fd, file_info* info);
  bool (*is_directory)(const char* path);
  std::string (*module_path)();
  void (*exit)(int code);
};

extern os_calls os;  // platform.cpp: the POSIX calls

// Once at start: a closed pipe or a file-size limit must show as a failed
// write, not a signal.
void platform_start();
