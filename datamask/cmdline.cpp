// Command-line joining and splitting; the platform only steps characters.
#include "cmdline.h"

#include "platform.h"

namespace {

// An empty element, or one holding a byte of code 1 to 32, stays one token
// only inside quotes.
bool needs_quotes(const std::string& arg) {
  if (arg.empty()) return true;
  for (char c : arg) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte >= 1 && byte <= 32) return true;
  }
  return false;
}

}  // namespace

std::string platform_command_line(int argc, char** argv) {
  if (os.command_line != nullptr) return os.command_line();
  return rebuild_command_line(std::vector<std::string>(argv, argv + argc));
}

std::string rebuild_command_line(const std::vector<std::string>& argv) {
  std::string line;
  for (size_t i = 0; i < argv.size(); ++i) {
    if (i > 0) line += ' ';
    if (needs_quotes(argv[i]))
      line += '"' + argv[i] + '"';
    else
      line += argv[i];
  }
  return line;
}

std::vector<std::string> split_command_line(const char* line) {
  std::vector<std::string> tokens;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(line);
  for (;;) {
    for (;;) {
      if (*p >= 1 && *p <= 32)
        ++p;
      else if (p[0] == '"' && p[1] == '"')
        p += 2;
      else
        break;
    }
    std::string token;
    bool quoted = false;
    while (*p != 0 && (quoted || *p > 32)) {
      if (*p == '"') {
        quoted = !quoted;
        ++p;
        continue;
      }
      // A character of the platform's multi-byte set is copied whole.
      const unsigned char* next = reinterpret_cast<const unsigned char*>(
          os.next_char(reinterpret_cast<const char*>(p)));
      token.append(p, next);
      p = next;
    }
    if (token.empty()) return tokens;
    tokens.push_back(token);
  }
}
