// Seeded generator of the scrambler's benchmark inputs: D1 decimal with LF,
// D2 the same values in $-hexadecimal with CR LF.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

uint64_t state;

uint32_t next_random() {  // splitmix64: fixed output for a fixed seed
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return static_cast<uint32_t>((z ^ (z >> 31)) >> 32);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5 ||
      (std::strcmp(argv[1], "d1") != 0 && std::strcmp(argv[1], "d2") != 0)) {
    std::fprintf(stderr, "usage: %s d1|d2 PAIRS SEED OUTPUT\n", argv[0]);
    return 2;
  }
  bool hex = argv[1][1] == '2';
  long pairs = std::strtol(argv[2], nullptr, 10);
  state = std::strtoull(argv[3], nullptr, 10);
  FILE* out = std::fopen(argv[4], "wb");
  if (out == nullptr) {
    std::perror(argv[4]);
    return 1;
  }
  const char* eol = hex ? "\r\n" : "\n";
  if (hex)
    std::fprintf(out, "$%lX%s", pairs, eol);
  else
    std::fprintf(out, "%ld%s", pairs, eol);
  for (long i = 0; i < pairs; ++i) {
    uint32_t a = next_random(), b = next_random();
    if (hex)
      std::fprintf(out, "$%" PRIX32 " $%" PRIX32 "%s", a, b, eol);
    else
      std::fprintf(out, "%" PRId32 " %" PRId32 "%s", static_cast<int32_t>(a),
                   static_cast<int32_t>(b), eol);
  }
  return std::fclose(out) == 0 ? 0 : 1;
}
