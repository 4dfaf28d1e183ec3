// script_gen.h: seeded random editor scripts, well-formed or hostile.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>

struct script_shape {
  bool hostile;        // broken counts, words, numbers, text lengths
  int32_t max_insert;  // largest Insert count written
  int32_t max_pos;     // positions and counts range up to about this
};

inline std::string random_script(std::mt19937& rng, const script_shape& shape) {
  auto pick = [&](uint32_t n) -> uint32_t { return uint32_t(rng() % n); };
  const char* eol = shape.hostile && pick(3) == 0 ? "\r\n" : "\n";
  auto gap = [&]() -> std::string {
    if (!shape.hostile) return pick(2) ? " " : "\n";
    const char* gaps[] = {" ", "\n", "\r\n", "\t", "  ", " \r\n ", "\v", "\f"};
    return gaps[pick(8)];
  };
  auto number = [&](int32_t most) -> std::string {
    if (shape.hostile) switch (pick(14)) {
        case 0:
          return "-" + std::to_string(pick(50));
        case 1:
          return "4294967297";  // wraps to 1
        case 2:
          return "+" + std::to_string(pick(uint32_t(most) + 1));
        case 3:
          return "-";
        case 4:
          return "";  // missing
        case 5:
          return "99999999999999999999";
        default:
          break;
      }
    return std::to_string(pick(uint32_t(most) + 1));
  };
  int commands = 1 + int(pick(60));
  std::string s;
  int32_t announced = commands;
  if (shape.hostile && pick(4) == 0) announced += int32_t(pick(11)) - 5;
  s += std::to_string(announced) + eol;
  for (int i = 0; i < commands; ++i) {
    uint32_t kind = pick(12);
    std::string word;
    if (kind < 3)
      word = "I";
    else if (kind < 5)
      word = "M";
    else if (kind < 7)
      word = "G";
    else if (kind < 8)
      word = "D";
    else if (kind < 9)
      word = "N";
    else if (kind < 10)
      word = "P";
    else
      word = shape.hostile ? std::string(1, "gimXx?#"[pick(7)]) : "G";
    if (shape.hostile && pick(5) == 0)
      word += "ord" + std::string(pick(40), 'w');
    s += word;
    if (word[0] == 'N' || word[0] == 'P') {
      if (pick(3) == 0) s += gap() + number(shape.max_pos);
      s += pick(3) == 0 ? " " : eol;
      continue;
    }
    if (word[0] != 'I') {
      s += gap() + number(word[0] == 'D' ? shape.max_pos / 4 : shape.max_pos);
      s += eol;
      continue;
    }
    int32_t n = int32_t(pick(uint32_t(shape.max_insert) + 1));
    if (pick(4) == 0) n = int32_t(pick(8));
    s += gap() + std::to_string(n);
    int32_t length = n;
    if (shape.hostile && pick(6) == 0) length += int32_t(pick(9)) - 4;
    if (pick(2)) s += eol;  // text from the next line, or right after
    int32_t width = 1 + int32_t(pick(90));
    for (int32_t k = 0; k < length; ++k) {
      if (k > 0 && k % width == 0) s += eol;
      uint32_t r = pick(40);
      if (shape.hostile && r == 0)
        s += char(pick(256));
      else if (shape.hostile && r == 1)
        s += '\r';
      else if (r == 2)
        s += ' ';
      else
        s += char('a' + pick(26));
    }
    s += eol;
  }
  if (shape.hostile && pick(8) == 0) s.insert(pick(uint32_t(s.size())), "\x1a");
  if (shape.hostile && pick(8) == 0) s.resize(pick(uint32_t(s.size()) + 1));
  return s;
}

// A well-formed script that leaves long runs of empty blocks and then works
// across them: a full block of block_chars, single characters typed before
// its last one (each a new block), most of them emptied again by Move and
// Delete 1, then random cursor steps, Gets, Moves and small edits.
inline std::string empty_run_script(std::mt19937& rng, int32_t block_chars) {
  auto pick = [&](uint32_t n) -> uint32_t { return uint32_t(rng() % n); };
  std::string body;
  int commands = 0;
  auto add = [&](const std::string& command) {
    body += command + "\n";
    ++commands;
  };
  add("I " + std::to_string(block_chars));
  body += std::string(size_t(block_chars), 'a') + "\n";
  add("M " + std::to_string(block_chars - 1));
  int32_t typed = 20 + int32_t(pick(300));
  for (int32_t i = 0; i < typed; ++i) {
    add("I 1");
    body += char('A' + i % 26);
    body += "\n";
  }
  int32_t total = block_chars + typed;
  // Emptied blocks start at block_chars; a Move there lands on the last of
  // the empty run, which Delete 1 empties in turn.
  int32_t emptied = int32_t(pick(uint32_t(typed)));
  for (int32_t i = 0; i < emptied; ++i) {
    add("M " + std::to_string(block_chars));
    add("D 1");
    --total;
  }
  int32_t pos = 0;
  add("M 0");
  for (int i = 0, n = 50 + int(pick(300)); i < n; ++i) {
    switch (pick(8)) {
      case 0:
      case 1:
        if (pos < total) {
          add("N");
          ++pos;
        }
        break;
      case 2:
      case 3:
        if (pos > 0) {
          add("P");
          --pos;
        }
        break;
      case 4:
        add("G " + std::to_string(pick(uint32_t(total - pos) + 1)));
        break;
      case 5: {
        // Near the run's ends most of the time.
        int32_t p = pick(2) ? block_chars - 2 + int32_t(pick(5))
                            : int32_t(pick(uint32_t(total) + 1));
        pos = std::min(std::max(p, 0), total);
        add("M " + std::to_string(pos));
        break;
      }
      case 6: {
        int32_t d = std::min(int32_t(pick(4)), total - pos);
        add("D " + std::to_string(d));
        total -= d;
        break;
      }
      default: {
        int32_t k = int32_t(pick(3));
        add("I " + std::to_string(k));
        body += std::string(size_t(k), 'z') + "\n";
        total += k;
        break;
      }
    }
  }
  add("M 0");
  add("G " + std::to_string(total));
  return std::to_string(commands) + "\n" + body;
}
