// gen_workload.cpp: writes a seeded editor.in workload W1..W6 (ordinary) or
// H1..H4 (hostile to a block text) and its sizes.
//
// Usage: editor_bench_gen W1|W2|W3|W4|W5|W6|H1|H2|H3|H4 SCALE SEED OUT.in
// Every script is valid: each position and count lies within the text. It
// ends with a Move 0 and Gets over the whole text, so comparing outputs
// checks the final text byte for byte. OUT.in.meta gets the final text size.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// splitmix64: the same stream for a seed on every platform.
class random_source {
 public:
  explicit random_source(uint64_t seed) : state_(seed) {}
  uint64_t next() {
    uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  // Uniform in [lo, hi].
  int64_t between(int64_t lo, int64_t hi) {
    uint64_t span = static_cast<uint64_t>(hi - lo) + 1;
    return lo + static_cast<int64_t>(next() % span);
  }
  bool chance(unsigned percent) { return next() % 100 < percent; }

 private:
  uint64_t state_;
};

// Text bytes: mostly printable, some controls and high bytes; never LF, CR
// or byte 26, which the script format would eat.
struct text_alphabet {
  char map[256];
  text_alphabet() {
    static const unsigned char odd[16] = {0, 9,  11, 12,  127, 128, 200, 255,
                                          1, 27, 31, 160, 254, 129, 7,   8};
    for (int i = 0; i < 240; ++i) map[i] = static_cast<char>(32 + i % 95);
    for (int i = 0; i < 16; ++i) map[240 + i] = static_cast<char>(odd[i]);
  }
};

class script_writer {
 public:
  script_writer(random_source& rng, bool crlf, bool short_words)
      : rng_(rng), eol_(crlf ? "\r\n" : "\n"), short_words_(short_words) {}

  void move(int64_t p) {
    command("Move", p);
    pos_ = p;
  }
  void get(int64_t n) { command("Get", n); }
  void next() {
    word("Next");
    if (rng_.chance(20)) number(1);  // a number after Next is read and ignored
    end_line();
    ++pos_;
  }
  void prev() {
    word("Prev");
    end_line();
    --pos_;
  }
  void erase(int64_t n) {
    command("Delete", n);
    len_ -= n;
  }
  // Insert these characters, on the line after the command.
  void insert_chars(const char* chars, int64_t n) {
    command("Insert", n);
    out_.append(chars, static_cast<size_t>(n));
    end_line();
    len_ += n;
  }
  // Insert n random bytes, the text on the following lines wrapped at width.
  void insert(int64_t n, int width = 80) {
    word("Insert");
    number(n);
    end_line();
    static const text_alphabet alphabet;
    int64_t column = 0;
    uint64_t bits = 0;
    int left_in_bits = 0;
    for (int64_t i = 0; i < n; ++i) {
      if (left_in_bits == 0) {
        bits = rng_.next();
        left_in_bits = 8;
      }
      out_.push_back(alphabet.map[bits & 0xff]);
      bits >>= 8;
      --left_in_bits;
      if (++column == width && i + 1 < n) {
        out_ += eol_;
        column = 0;
      }
    }
    end_line();
    len_ += n;
  }
  // Move 0, then the whole text in Gets of chunk characters.
  void dump(int64_t chunk = 65536) {
    move(0);
    for (int64_t at = 0; at < len_; at += chunk)
      get(std::min(chunk, len_ - at));
  }

  int64_t len() const { return len_; }
  int64_t pos() const { return pos_; }
  int64_t commands() const { return commands_; }
  const std::string& body() const { return out_; }

 private:
  void word(const char* w) {
    ++commands_;
    if (short_words_)
      out_.push_back(w[0]);
    else
      out_ += w;
  }
  void number(int64_t n) {
    char digits[24];
    std::snprintf(digits, sizeof digits, " %lld", static_cast<long long>(n));
    out_ += digits;
  }
  void command(const char* w, int64_t n) {
    word(w);
    number(n);
    end_line();
  }
  void end_line() { out_ += eol_; }

  random_source& rng_;
  std::string out_;
  const char* eol_;
  bool short_words_;
  int64_t len_ = 0;
  int64_t pos_ = 0;
  int64_t commands_ = 0;
};

int64_t scaled(double scale, int64_t count) {
  int64_t n =
      static_cast<int64_t>(std::llround(static_cast<double>(count) * scale));
  return n < 1 ? 1 : n;
}

int64_t at_most(int64_t n, int64_t limit) { return n < limit ? n : limit; }

// W1: ~4,000 Inserts of 1..4000 at random places amid ~50,000 other commands.
void classic(script_writer& w, random_source& rng, double scale) {
  int64_t inserts = scaled(scale, 4000);
  int64_t others = scaled(scale, 50000);
  while (inserts + others > 0) {
    if (rng.between(1, inserts + others) <= inserts) {
      w.move(rng.between(0, w.len()));
      w.insert(rng.between(1, 4000));
      --inserts;
      continue;
    }
    --others;
    int64_t after = w.len() - w.pos();
    int64_t kind = rng.between(0, 99);
    if (kind < 36) {
      w.move(rng.between(0, w.len()));
    } else if (kind < 66) {
      w.get(at_most(rng.between(0, 100), after));
    } else if (kind < 72) {
      w.erase(at_most(rng.between(1, 4000), after));
    } else if (kind < 87 && w.pos() > 0) {
      w.prev();
    } else if (after > 0) {
      w.next();
    } else {
      w.get(0);
    }
  }
}

// W2: a 4 MB text, then random Moves each followed by a small edit or Get.
void small_edits(script_writer& w, random_source& rng, double scale) {
  const int64_t piece = 65536;
  for (int64_t i = scaled(scale, 64); i > 0; --i) {
    w.move(rng.between(0, w.len()));
    w.insert(piece);
  }
  for (int64_t i = scaled(scale, 150000); i > 0; --i) {
    w.move(rng.between(0, w.len()));
    int64_t after = w.len() - w.pos();
    switch (rng.between(0, 2)) {
      case 0:
        w.insert(rng.between(1, 16));
        break;
      case 1:
        w.erase(at_most(rng.between(1, 16), after));
        break;
      default:
        w.get(at_most(rng.between(1, 50), after));
        break;
    }
  }
}

// W3: single characters typed at the end, a look back every 100 of them.
void typing(script_writer& w, random_source& rng, double scale) {
  for (int64_t i = 1, n = scaled(scale, 1000000); i <= n; ++i) {
    w.insert(1);
    if (rng.chance(50))
      w.next();
    else
      w.move(w.len());
    if (i % 100 == 0) {
      int64_t back = at_most(100, w.len());
      w.move(w.len() - back);
      w.get(back);
      w.move(w.len());
    }
  }
}

// W4: a 30 MB text from Inserts of up to 1 MB, then random Move and Get.
void big(script_writer& w, random_source& rng, double scale) {
  const int64_t target = scaled(scale, 30 << 20);
  while (w.len() < target) {
    w.move(rng.between(0, w.len()));
    w.insert(at_most(rng.between(1, 1 << 20), target - w.len()));
  }
  for (int64_t i = scaled(scale, 200000); i > 0; --i) {
    w.move(rng.between(0, w.len()));
    w.get(at_most(rng.between(0, 1000), w.len() - w.pos()));
  }
}

// W5: one full block, the cursor before its last character, then typing there.
void pinned(script_writer& w, random_source&, double scale) {
  w.insert(4088);
  w.move(4087);
  for (int64_t i = 1, n = scaled(scale, 1000000); i <= n; ++i) {
    w.insert(1);
    if (i % 4096 == 0) w.get(64);
  }
}

// W6: typing as people do it: a 0.1 to 0.5 MB text, then 250,000 edits, each
// after a Move near the last edit: mostly runs of one character typed at a
// cursor that advances, now and then a few characters at once, Deletes of 1
// to 10 characters just behind the cursor, a jump elsewhere now and then, and
// a Get of the lines around the cursor every few hundred edits.
void recorded_typing(script_writer& w, random_source& rng, double scale) {
  static const char keys[] =
      "etaoin shrdlu cmfwyp vbgkqj xz ETAOIN.,;:'()-_=+0123456789 {}[]<>/*&|!";
  const int64_t key_count = static_cast<int64_t>(sizeof keys) - 1;
  for (int64_t i = rng.between(25, 125); i > 0; --i) {
    w.move(w.len());
    w.insert(4000);
  }
  int64_t pos = rng.between(0, w.len());
  int64_t until_get = rng.between(100, 500);
  char typed[8];
  for (int64_t i = scaled(scale, 250000); i > 0; --i) {
    int64_t kind = rng.between(0, 999);
    if (kind < 2) {
      pos = rng.between(0, w.len());  // a jump to another place
    } else if (kind < 60) {
      pos = std::max<int64_t>(0, std::min(w.len(), pos + rng.between(-40, 40)));
    }
    if (kind >= 60 && kind < 150 && pos > 0) {
      // Backspacing over what was just typed.
      int64_t n = std::min(pos, rng.between(1, 10));
      pos -= n;
      w.move(pos);
      w.erase(n);
    } else {
      int64_t n = kind >= 150 && kind < 190 ? rng.between(2, 6) : 1;
      for (int64_t k = 0; k < n; ++k)
        typed[k] = keys[rng.between(0, key_count - 1)];
      w.move(pos);
      w.insert_chars(typed, n);
      pos += n;
    }
    if (--until_get == 0) {
      int64_t from = std::max<int64_t>(0, pos - 120);
      w.move(from);
      w.get(std::min<int64_t>(240, w.len() - from));
      until_get = rng.between(100, 500);
    }
  }
}

// H1: a run of 8,000 emptied blocks, then crossed again and again. Single
// characters typed before the last one of a full block each make a block;
// Move to the first of them and Delete 1 empties them one by one (the next
// Move lands on the next one); then Next, Next, Prev, Prev and Get 2 step
// and print across the run.
void emptied_run(script_writer& w, random_source&, double scale) {
  const int64_t block = 4088;
  const int64_t run = 8000;  // within one block table of 8612
  w.insert(block);
  w.move(block - 1);
  for (int64_t i = 0; i < run; ++i) w.insert(1);
  for (int64_t i = 0; i + 1 < run; ++i) {
    w.move(block);
    w.erase(1);
  }
  w.move(block - 1);
  for (int64_t i = scaled(scale, 160000); i > 0; --i) {
    w.next();
    w.next();
    w.prev();
    w.prev();
    w.get(2);
  }
}

// H2: a 16 MB text, then typing before the last character of one of its
// full blocks: every character makes a block, so the block table fills
// again and again.
void table_churn(script_writer& w, random_source& rng, double scale) {
  const int64_t piece = 1 << 20;
  for (int64_t i = scaled(scale, 16); i > 0; --i) {
    w.move(w.len());
    w.insert(piece);
  }
  // The first insert leaves block 0 empty and fills blocks from 1 on.
  int64_t full = rng.between(1, 200);
  w.move(full * 4088 - 1);
  for (int64_t i = 1, n = scaled(scale, 1000000); i <= n; ++i) {
    w.insert(1);
    if (i % 4096 == 0) w.get(64);
  }
}

// H4: H1's run of emptied blocks, then edits at both of its ends in turn:
// every edit changes the lengths on the other side of the run.
void both_ends(script_writer& w, random_source&, double scale) {
  const int64_t block = 4088;
  const int64_t run = 8000;
  w.insert(block);
  w.move(block - 1);
  for (int64_t i = 0; i < run; ++i) w.insert(1);
  for (int64_t i = 0; i + 1 < run; ++i) {
    w.move(block);
    w.erase(1);
  }
  for (int64_t i = scaled(scale, 100000); i > 0; --i) {
    w.move(0);
    w.erase(1);
    w.insert(1);
    w.move(w.len() - 1);
    w.erase(1);
    w.insert(1);
    w.get(1);
  }
}

// H3: a 16 MB text, then small edits near its start, each after a Move:
// every edit changes the block lengths that all later positions depend on.
void front_edits(script_writer& w, random_source& rng, double scale) {
  const int64_t piece = 1 << 20;
  for (int64_t i = scaled(scale, 16); i > 0; --i) {
    w.move(w.len());
    w.insert(piece);
  }
  for (int64_t i = scaled(scale, 300000); i > 0; --i) {
    w.move(rng.between(0, 8000));
    if (i % 2 == 0)
      w.insert(rng.between(1, 3));
    else
      w.erase(rng.between(1, 3));
    w.get(8);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr,
                 "usage: %s W1|W2|W3|W4|W5|W6|H1|H2|H3|H4 SCALE SEED OUT.in\n",
                 argv[0]);
    return 2;
  }
  std::string name = argv[1];
  double scale = std::atof(argv[2]);
  uint64_t seed = std::strtoull(argv[3], nullptr, 10);
  if (!(scale > 0)) {
    std::fprintf(stderr, "%s: scale must be positive\n", argv[0]);
    return 2;
  }
  // Each workload draws from its own stream of the seed.
  random_source rng(seed * 1000003ULL + static_cast<uint64_t>(name.back()));
  bool crlf = name == "W1";         // the classic script comes from Windows
  bool short_words = name == "W3";  // only a word's first letter counts
  script_writer w(rng, crlf, short_words);
  if (name == "W1") {
    classic(w, rng, scale);
  } else if (name == "W2") {
    small_edits(w, rng, scale);
  } else if (name == "W3") {
    typing(w, rng, scale);
  } else if (name == "W4") {
    big(w, rng, scale);
  } else if (name == "W5") {
    pinned(w, rng, scale);
  } else if (name == "W6") {
    recorded_typing(w, rng, scale);
  } else if (name == "H1") {
    emptied_run(w, rng, scale);
  } else if (name == "H2") {
    table_churn(w, rng, scale);
  } else if (name == "H3") {
    front_edits(w, rng, scale);
  } else if (name == "H4") {
    both_ends(w, rng, scale);
  } else {
    std::fprintf(stderr, "%s: unknown workload %s\n", argv[0], argv[1]);
    return 2;
  }
  int64_t final_text = w.len();
  w.dump();
  std::string path = argv[4];
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::perror(path.c_str());
    return 1;
  }
  std::fprintf(f, "%lld%s", static_cast<long long>(w.commands()),
               crlf ? "\r\n" : "\n");
  std::fwrite(w.body().data(), 1, w.body().size(), f);
  if (std::fclose(f) != 0) {
    std::perror(path.c_str());
    return 1;
  }
  std::string meta = path + ".meta";
  FILE* m = std::fopen(meta.c_str(), "w");
  if (!m) {
    std::perror(meta.c_str());
    return 1;
  }
  std::fprintf(m, "final_text %lld\ncommands %lld\n",
               static_cast<long long>(final_text),
               static_cast<long long>(w.commands()));
  if (std::fclose(m) != 0) {
    std::perror(meta.c_str());
    return 1;
  }
  return 0;
}
