// editor_test_util.h: runs the editor core on memory for the editor's tests.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "driver.h"

// Points F at script bytes for as long as it lives.
class script_feed {
 public:
  explicit script_feed(std::string bytes) : held(std::move(bytes)) {
    held.push_back('\0');  // data() stays valid for an empty script
    script_start(fmemopen(&held[0], held.size() - 1, "r"));
  }
  ~script_feed() {
    std::fclose(F);
    script_start(nullptr);
  }
  script_feed(const script_feed&) = delete;
  script_feed& operator=(const script_feed&) = delete;

 private:
  std::string held;
};

// Collects what FO receives for as long as it lives.
class output_capture {
 public:
  output_capture() { FO = open_memstream(&buffer, &size); }
  ~output_capture() {
    if (FO != nullptr) std::fclose(FO);
    FO = nullptr;
    std::free(buffer);
  }
  output_capture(const output_capture&) = delete;
  output_capture& operator=(const output_capture&) = delete;
  std::string text() {
    std::fflush(FO);
    return std::string(buffer, size);
  }

 private:
  char* buffer = nullptr;
  size_t size = 0;
};

// Inserts these characters at the cursor, as an Insert command would.
inline void insert_chars(text& x, const std::string& chars) {
  script_feed feed(chars);
  x.Insert(int32_t(chars.size()));
}

// What Get(n) prints.
inline std::string get_text(text& x, int32_t n) {
  output_capture out;
  x.Get(n);
  return out.text();
}

// The whole run of a script on a fresh text: what editor.out would hold.
inline std::string replay(const std::string& script, text& fresh) {
  script_feed feed(script);
  output_capture out;
  run_commands(fresh);
  return out.text();
}

inline std::string replay(const std::string& script) {
  text fresh;
  return replay(script, fresh);
}
