// baseline_io.h: the baselines read scripts and write editor.out exactly as
// the editor does: through its script module, command loop and file handling.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "driver.h"

namespace editor_bench {

// The n characters an Insert reads from the script, in one reused buffer.
inline const char* insert_text(int32_t n) {
  static std::vector<char> scratch;
  if (scratch.size() < static_cast<size_t>(n))
    scratch.resize(static_cast<size_t>(n));
  read_text(scratch.data(), n);
  return scratch.data();
}

// Unlocked on glibc, as the editor writes.
inline void put(const char* bytes, size_t n) {
#if defined(__GLIBC__)
  fwrite_unlocked(bytes, 1, n, FO);
#else
  std::fwrite(bytes, 1, n, FO);
#endif
}
inline void end_line() {
#if defined(__GLIBC__)
  putc_unlocked('\n', FO);
#else
  std::putc('\n', FO);
#endif
}

// main() of a baseline.
template <class Editor>
int run_program() {
  return replay_files([] {
    static Editor ed;  // lives to the end like the editor's global text
    run_script(ed);
  });
}

}  // namespace editor_bench
