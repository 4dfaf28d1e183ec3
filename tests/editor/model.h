// model.h: the editor's commands over one std::string, with a plain
// character-at-a-time script reader; the reference for whole replays.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

struct model_result {
  std::string out;   // what editor.out holds
  std::string text;  // the text at the end
  int64_t position;  // the cursor's text position at the end
};

class model_replay {
 public:
  model_replay(const std::string& raw, int64_t max_chars) : limit(max_chars) {
    // Windows text mode: CR LF reads as LF, byte 26 ends the input.
    for (size_t i = 0; i < raw.size() && raw[i] != '\x1a'; ++i) {
      if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
      in += raw[i];
    }
  }

  model_result run() {
    int32_t count = 0;
    int32_t n = 0;
    if (!number(count)) count = 0;
    for (int32_t i = 0; i < count; ++i) {
      int first = word();
      if (first == EOF) break;
      bool numbered = number(n);
      switch (first) {
        case 'D':
          if (numbered && n > 0) text.erase(pos, size_t(n));
          break;
        case 'G':
          if (numbered && n > 0) out += text.substr(pos, size_t(n));
          if (numbered) out += '\n';
          break;
        case 'I':
          if (numbered) insert(n);
          break;
        case 'M':
          if (numbered)
            pos = n < 0 ? 0 : size_t(n) > text.size() ? text.size() : size_t(n);
          break;
        case 'N':
          if (pos < text.size()) ++pos;
          break;
        case 'P':
          if (pos > 0) --pos;
          break;
      }
    }
    return model_result{out, text, int64_t(pos)};
  }

 private:
  int peek() const { return at < in.size() ? (unsigned char)in[at] : EOF; }
  static bool space(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' ||
           c == '\r';
  }
  void skip() {
    while (peek() != EOF && space(peek())) ++at;
  }
  int word() {
    skip();
    int first = peek();
    while (peek() != EOF && !space(peek())) ++at;
    return first;
  }
  // glibc: the sign and digits go through strtol, whose long is stored in
  // the int.
  bool number(int32_t& value) {
    skip();
    std::string digits;
    if (peek() == '-' || peek() == '+') digits += char(in[at++]);
    if (peek() == EOF || peek() < '0' || peek() > '9') return false;
    while (peek() != EOF && peek() >= '0' && peek() <= '9') digits += in[at++];
    value = int32_t(std::strtol(digits.c_str(), nullptr, 10));
    return true;
  }
  void insert(int32_t n) {
    if (n <= 0) return;
    int64_t room = limit - int64_t(text.size());
    int64_t fit = n < room ? n : room;
    std::string chars;
    for (int64_t i = 0; i < n; ++i) {
      while (peek() == '\n') ++at;
      if (peek() == EOF) {
        // Every missing character is Getchar's -1, the byte 255.
        if (i < fit) chars.append(size_t(fit - i), '\xff');
        break;
      }
      if (i < fit) chars += in[at];
      ++at;
    }
    text.insert(pos, chars);
  }

  std::string in;
  size_t at = 0;
  int64_t limit;
  std::string text;
  size_t pos = 0;
  std::string out;
};

inline model_result model_run(const std::string& script, int64_t max_chars) {
  return model_replay(script, max_chars).run();
}
