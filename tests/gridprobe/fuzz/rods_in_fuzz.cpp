// rods_in_fuzz.cpp: any rods.in bytes load, or fail with an index 1..5.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "load_rods.h"

namespace {

// A stream over exactly these bytes, read from a copy of its own.
FILE* open_bytes(std::string& copy) {
  return fmemopen(&copy[0], copy.size(), "r");
}

// A digit run whose value might not fit an int, where "%d" is undefined.
bool has_wide_number(const std::string& bytes) {
  size_t run = 0;
  bool leading = true;
  for (char ch : bytes) {
    if (ch >= '0' && ch <= '9') {
      if (leading && ch == '0') continue;
      leading = false;
      if (++run > 9) return true;
    } else {
      run = 0;
      leading = true;
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::string copy = bytes;
  FILE* in = open_bytes(copy);
  if (in == nullptr) return 0;
  int n = -1;
  int coord[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  const int index = load_rods(in, &n, coord);
  fclose(in);
  if (index == -1) {
    // A loaded case keeps every invariant the queries rely on.
    bool sound = n >= 5 && n <= 10000 && coord[0] == coord[2] &&
                 coord[1] < coord[3] && coord[5] == coord[7] &&
                 coord[4] < coord[6];
    for (int v : coord) sound = sound && v >= 1 && v <= n;
    if (!sound) abort();
  } else if (index < 1 || index > 5) {
    abort();
  }

  // The reader takes the numbers "%d" takes, wherever "%d" is defined.
  if (has_wide_number(bytes)) return 0;
  std::string mine_copy = bytes, libc_copy = bytes;
  FILE* mine = open_bytes(mine_copy);
  FILE* libc = open_bytes(libc_copy);
  if (mine == nullptr || libc == nullptr) abort();
  for (int i = 0; i < 9; ++i) {
    long long value = 0;
    int expected = 0;
    const int got = read_number(mine, &value);
    const int want = fscanf(libc, "%d", &expected) == 1;
    if (got != want || (got && value != expected)) abort();
    if (!got) break;
  }
  fclose(mine);
  fclose(libc);
  return 0;
}
