// script_fuzz.cpp: any bytes as editor.in, through the whole script path at
// small block size, or behind a small reader buffer; the replay must match
// the one-string model.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "../editor_test_util.h"
#include "../model.h"
#include "../text_probe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string script(reinterpret_cast<const char*>(data), size);
  text x;
  std::string got = replay(script, x);
  model_result want = model_run(script, text::max_chars);
  if (got != want.out || text_probe::contents(x) != want.text ||
      text_probe::position(x) != want.position || !text_probe::consistent(x))
    std::abort();
  return 0;
}
