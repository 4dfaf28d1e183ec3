// main.cpp: the editor program: replays editor.in into editor.out.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "driver.h"

text t;

// One line naming the file and the reason; the run then ends with status 1.
static int fail(const char* file, int error) {
  std::fprintf(stderr, "editor: %s: %s\n", file, std::strerror(error));
  return 1;
}

int main() {
  F = std::fopen("editor.in", "r");
  if (F == nullptr) return fail("editor.in", errno);
  FO = std::fopen("editor.out", "w");
  if (FO == nullptr) {
    int error = errno;
    std::fclose(F);
    return fail("editor.out", error);
  }
  static char out_buffer[1 << 18];
  std::setvbuf(FO, out_buffer, _IOFBF, sizeof out_buffer);
  // A script may ask for more text than memory holds: report it, keep what
  // was printed, and never crash.
  bool out_of_memory = false;
  try {
    run_commands(t);
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
