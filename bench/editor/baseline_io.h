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

// The command loop as the editor ran it before its in-place command reads:
// one call per word and per number, each testing for a refill byte by byte.
// The yardsticks keep it, so that their figures stay where they were.
template <class Editor>
void run_items(Editor& x) {
  tn = 0;
  int32_t count = 0;
  if (read_number(count)) tn = count;
  unsigned char word = 0;
  int32_t number = 0;
  for (ti = 0; ti < tn; ++ti) {
    if (!read_word(word)) break;  // end of input: no stale command reruns
    bool numbered = read_number(number);
    switch (word) {
      case 'D':
        if (numbered) x.Delete(number);
        break;
      case 'G':
        if (numbered) x.Get(number);
        break;
      case 'I':
        if (numbered) x.Insert(number);
        break;
      case 'M':
        if (numbered) x.Move(number);
        break;
      case 'N':
        x.Next();
        break;
      case 'P':
        x.Prev();
        break;
      default:
        break;
    }
  }
}

// main() of a baseline.
template <class Editor>
int run_program() {
  return replay_files([] {
    static Editor ed;  // lives to the end like the editor's global text
    run_items(ed);
  });
}

}  // namespace editor_bench
