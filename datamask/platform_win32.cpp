// Windows implementations of the scrambler's OS calls: files are handles
// from CreateFileA, errors are GetLastError's own numbers.
#include <windows.h>

#include <cerrno>
#include <iterator>
#include <string>

#include "errors.h"
#include "platform.h"

namespace {

// Open files by descriptor number minus 3; the scrambler holds two at most.
HANDLE handles[16];

HANDLE handle_of(int fd) {
  switch (fd) {
    case kStdInput:
      return GetStdHandle(STD_INPUT_HANDLE);
    case kStdOutput:
      return GetStdHandle(STD_OUTPUT_HANDLE);
    case kStdError:
      return GetStdHandle(STD_ERROR_HANDLE);
    default:
      if (fd > kStdError && fd - 3 < static_cast<int>(std::size(handles)))
        return handles[fd - 3];
      return INVALID_HANDLE_VALUE;
  }
}

int failed() {
  errno = static_cast<int>(GetLastError());
  return -1;
}

int keep(HANDLE h) {
  if (h == INVALID_HANDLE_VALUE) return failed();
  for (size_t i = 0; i < std::size(handles); ++i) {
    if (handles[i] == nullptr) {
      handles[i] = h;
      return static_cast<int>(i) + 3;
    }
  }
  CloseHandle(h);
  errno = ERROR_TOO_MANY_OPEN_FILES;
  return -1;
}

// Shared for reading only, so the input cannot be created over meanwhile.
int win_open_read(const char* path) {
  return keep(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Create-always empties an existing file, but the input's sharing mode makes
// it fail (error 32) before the input loses a byte.
int win_open_write(const char* path) {
  return keep(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

int win_truncate(int) { return 0; }  // create-always has done it

DWORD chunk(size_t n) {
  return n > 0x40000000 ? 0x40000000 : static_cast<DWORD>(n);
}

// The writing end of a pipe closing is the end of the input, not a failure.
ssize_t win_read(int fd, void* buf, size_t n) {
  DWORD got = 0;
  if (!ReadFile(handle_of(fd), buf, chunk(n), &got, nullptr)) {
    if (GetLastError() == ERROR_BROKEN_PIPE) return 0;
    return failed();
  }
  return static_cast<ssize_t>(got);
}

// Standard error carries only the failure report, which the console shows
// in the OEM code page.
ssize_t win_write(int fd, const void* buf, size_t n) {
  std::string oem;
  if (fd == kStdError) {
    std::string ansi(static_cast<const char*>(buf), n);
    oem.resize(n);
    CharToOemA(ansi.c_str(), &oem[0]);
    buf = oem.data();
  }
  DWORD put = 0;
  if (!WriteFile(handle_of(fd), buf, chunk(n), &put, nullptr)) return failed();
  return static_cast<ssize_t>(put);
}

int win_close(int fd) {
  HANDLE h = handle_of(fd);
  if (fd > kStdError && h != INVALID_HANDLE_VALUE) handles[fd - 3] = nullptr;
  return CloseHandle(h) ? 0 : failed();
}

// CreateFileA refuses a directory and a file open as the input by itself,
// so an open stands only for itself: its descriptor is its identity.
int win_identify(int fd, file_info* info) {
  DWORD type = GetFileType(handle_of(fd));
  if (type == FILE_TYPE_UNKNOWN && GetLastError() != NO_ERROR) return failed();
  info->device = 1;
  info->inode = static_cast<uint64_t>(fd);
  info->kind = type == FILE_TYPE_DISK   ? file_kind::regular
               : type == FILE_TYPE_CHAR ? file_kind::character
                                        : file_kind::other;
  return 0;
}

// CreateFileA tells a missing directory (3) from a missing file (2) itself.
bool win_is_directory(const char*) { return true; }

// The file name alone: the report shows no directory.
std::string win_module_path() {
  char buf[MAX_PATH + 1];
  DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return "datamask.exe";
  std::string path(buf, n);
  return path.substr(path.find_last_of("\\/") + 1);
}

void win_exit(int code) { ExitProcess(static_cast<UINT>(code)); }

const char* win_next_char(const char* p) { return CharNextA(p); }

const char* win_command_line() { return GetCommandLineA(); }

}  // namespace

os_calls os = {win_open_read,   win_open_write, win_truncate, win_read,
               win_write,       win_close,      win_identify, win_is_directory,
               win_module_path, win_exit,       win_next_char, win_command_line};

void platform_start() {}

// Windows' numbers 2 to 5 are the layer's own codes; any other number, even
// one that equals a code of the layer (100, 101, 106), is shown as it is.
pending_error errno_error(int err) {
  return {static_cast<int32_t>(err),
          err < kFileNotFound || err > kAccessDenied};
}
