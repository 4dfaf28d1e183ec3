// The straightforward scrambler the benchmark compares with: fscanf and
// fprintf, decimal input only, same output bytes on well-formed input.
#include <cstdint>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 3) return 1;
  FILE* in = std::fopen(argv[1], "rb");
  if (in == nullptr) return 1;
  FILE* out = std::fopen(argv[2], "wb");
  if (out == nullptr) return 1;
  int32_t n = 0;
  if (std::fscanf(in, "%d", &n) != 1) n = 0;
  std::fprintf(out, "%d\r\n",
               static_cast<int32_t>(0u - static_cast<uint32_t>(n ^ 0x5A)));
  const char marker[] = "tarvex";
  for (int i = 0; i < 6; ++i) std::fputc(marker[i] ^ 0x5A, out);
  std::fputs("\r\n", out);
  for (int32_t k = 0; k < n; ++k) {
    int32_t a = 0, b = 0;
    if (std::fscanf(in, "%d", &a) != 1) a = 0;
    if (std::fscanf(in, "%d", &b) != 1) b = 0;
    std::fprintf(out, "%d %d\r\n", a ^ 0x5A5A5A5A, b ^ 0x5A5A5A5A);
  }
  std::fclose(in);
  return std::fclose(out) == 0 ? 0 : 1;
}
