// check_script.cpp: fails unless a workload is valid, i.e. every command has
// its number, every position and count lies within the text and the script
// holds all the commands and text it announces.
//
// Usage: editor_bench_check FILE.in
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "script.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE.in\n", argv[0]);
    return 2;
  }
  // Read as the editor reads it, through the same module.
  if (int error = script_open(argv[1])) {
    std::fprintf(stderr, "%s: %s\n", argv[1], std::strerror(error));
    return 1;
  }
  int32_t tn = 0;
  if (!read_number(tn) || tn < 0) {
    std::fprintf(stderr, "%s: no command count\n", argv[1]);
    return 1;
  }
  int64_t total = 0, pos = 0;
  std::vector<char> scratch;
  for (int32_t ti = 0; ti < tn; ++ti) {
    unsigned char word = 0;
    int32_t n = 0;
    const char* fault = nullptr;
    if (!read_word(word)) {
      fault = "the script ends early";
    } else {
      bool have = read_number(n);
      if (!have && word != 'N' && word != 'P') fault = "no number";
    }
    if (!fault) switch (word) {
        case 'D':
          if (n < 0 || n > total - pos) fault = "Delete count outside the text";
          total -= n;
          break;
        case 'G':
          if (n < 0 || n > total - pos) fault = "Get count outside the text";
          break;
        case 'I': {
          if (n < 0) {
            fault = "negative Insert count";
            break;
          }
          size_t want = static_cast<size_t>(n);
          if (scratch.size() < want) scratch.resize(want);
          if (read_text(scratch.data(), n) != n)
            fault = "Insert text cut short";
          total += n;
          break;
        }
        case 'M':
          if (n < 0 || n > total) fault = "Move outside the text";
          pos = n;
          break;
        case 'N':
          if (pos >= total) fault = "Next at the end of the text";
          ++pos;
          break;
        case 'P':
          if (pos <= 0) fault = "Prev at position 0";
          --pos;
          break;
        default:
          fault = "unknown command";
          break;
      }
    if (fault) {
      std::fprintf(stderr, "%s: command %d: %s\n", argv[1], ti + 1, fault);
      return 1;
    }
  }
  if (input_error() != 0) {
    std::fprintf(stderr, "%s: %s\n", argv[1], std::strerror(input_error()));
    return 1;
  }
  return 0;
}
