// driver.cpp: the editor's command loop and the files around it.
#include "driver.h"

#include <fcntl.h>
#if defined(__linux__)
#include <sys/mman.h>
#endif
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#endif

#ifndef O_CLOEXEC
#define O_CLOEXEC 0  // Windows: no exec that could inherit it
#endif

int32_t ti = 0;
int32_t tn = 0;

void run_commands(text& x) { run_script(x); }

void* text_arena(size_t bytes, bool large_pages) {
#if defined(__linux__)
  const size_t huge_page = size_t(2) << 20;
  void* p = nullptr;
  if (posix_memalign(&p, huge_page, bytes) != 0) return nullptr;
  // One fault for each large page instead of one for each 4 KB.
  if (large_pages) madvise(p, bytes, MADV_HUGEPAGE);
  return p;
#else
  (void)large_pages;
  return std::malloc(bytes);
#endif
}

namespace {

// One line naming the file and the reason; the run then ends with status 1.
int fail(const char* file, const char* reason) {
  std::fprintf(stderr, "editor: %s: %s\n", file, reason);
  return 1;
}

int fail(const char* file, int error) {
  return fail(file, std::strerror(error));
}

#ifdef _WIN32
// The C runtime reports no inode numbers on Windows; the volume and file
// index tell a file under two names.
bool same_windows_file(int a, int b) {
  BY_HANDLE_FILE_INFORMATION x, y;
  return GetFileInformationByHandle(reinterpret_cast<HANDLE>(_get_osfhandle(a)),
                                    &x) &&
         GetFileInformationByHandle(reinterpret_cast<HANDLE>(_get_osfhandle(b)),
                                    &y) &&
         x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
         x.nFileIndexHigh == y.nFileIndexHigh &&
         x.nFileIndexLow == y.nFileIndexLow;
}
#endif

// Opens editor.out for writing without truncating it first, so that it can
// be refused, untouched, when it is the script itself.
int open_output(FILE*& out) {
  int fd = open("editor.out", O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return fail("editor.out", errno);
#ifdef _WIN32
  if (same_windows_file(fileno(F), fd)) {
    close(fd);
    return fail("editor.out", "same file as editor.in");
  }
#endif
  struct stat in_st, out_st;
  // Only a regular file loses its content to the truncation; a file system
  // without inode numbers reports 0 for every file.
  if (fstat(fileno(F), &in_st) == 0 && fstat(fd, &out_st) == 0 &&
      S_ISREG(in_st.st_mode) && in_st.st_ino != 0 &&
      in_st.st_dev == out_st.st_dev && in_st.st_ino == out_st.st_ino) {
    close(fd);
    return fail("editor.out", "same file as editor.in");
  }
  // Only a regular file has a length to cut; a device or pipe has none.
  if (fstat(fd, &out_st) == 0 && S_ISREG(out_st.st_mode) &&
      ftruncate(fd, 0) != 0) {
    int error = errno;
    close(fd);
    return fail("editor.out", error);
  }
  out = fdopen(fd, "w");
  if (out == nullptr) {
    int error = errno;
    close(fd);
    return fail("editor.out", error);
  }
  return 0;
}

}  // namespace

int replay_files(void (*replay)()) {
  // A file-size limit is a failed write like a full disk, not a silent death.
#ifdef SIGXFSZ
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  if (int error = script_open("editor.in")) {
    if (F != nullptr) std::fclose(F);
    return fail("editor.in", error);
  }
  if (open_output(FO) != 0) {
    std::fclose(F);
    return 1;
  }
  static char out_buffer[1 << 18];
  std::setvbuf(FO, out_buffer, _IOFBF, sizeof out_buffer);
  // A script may ask for more text than memory holds: report it, keep what
  // was printed, and never crash.
  bool out_of_memory = false;
  try {
    replay();
  } catch (const std::bad_alloc&) {
    out_of_memory = true;
  }
  // A full disk must not pass for a finished replay.
  errno = 0;
  bool written = std::fflush(FO) == 0 && !std::ferror(FO);
  int write_error = errno != 0 ? errno : EIO;
  if (std::fclose(FO) != 0 && written) {
    written = false;
    write_error = errno != 0 ? errno : EIO;
  }
  int read_error = input_error();
  std::fclose(F);
  if (out_of_memory) {
    std::fputs("editor: out of memory\n", stderr);
    std::_Exit(1);  // the text may be half-edited: skip its destructor
  }
  if (!written) return fail("editor.out", write_error);
  if (read_error != 0) return fail("editor.in", read_error);
  return 0;
}
