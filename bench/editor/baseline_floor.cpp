// baseline_floor.cpp: the least work any correct editor does for editor.in:
// read the script in large pieces, drop its CR LF pairs and cut it at byte 26, find every
// command word, number and Insert text, skip the newlines inside the text,
// keep the text's length and the cursor to know how much each Get prints,
// and write that many bytes. It keeps no text: its Gets print filler bytes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

inline bool space(unsigned char c) {
  return c == ' ' || static_cast<unsigned char>(c - '\t') <= '\r' - '\t';
}
inline bool digit(unsigned char c) {
  return static_cast<unsigned char>(c - '0') <= 9;
}

// Output through one large buffer and write(2).
class sink {
 public:
  explicit sink(int fd) : fd_(fd) {}
  ~sink() { flush(); }
  void filler(size_t n) {
    while (n > 0) {
      if (used_ == sizeof buf_) flush();
      size_t run = std::min(n, sizeof buf_ - used_);
      std::memset(buf_ + used_, '.', run);
      used_ += run;
      n -= run;
    }
  }
  void newline() {
    if (used_ == sizeof buf_) flush();
    buf_[used_++] = '\n';
  }
  void flush() {
    size_t done = 0;
    while (done < used_) {
      ssize_t w = write(fd_, buf_ + done, used_ - done);
      if (w <= 0) std::exit(1);
      done += size_t(w);
    }
    used_ = 0;
  }

 private:
  int fd_;
  size_t used_ = 0;
  char buf_[1 << 18];
};

// The script read in large pieces into one buffer, CR LF pairs dropped and
// cut at byte 26 as the editor reads it; the two bytes after `end` are a
// space and a letter, so that scans stop there without a test per byte.
class source {
 public:
  explicit source(int fd) : fd_(fd) { fill(end_); }
  const unsigned char* begin() const { return buf_; }
  const unsigned char* end() const { return end_; }
  bool done() const { return done_; }
  // Keeps the bytes from keep on, reads more after them; returns where the
  // kept bytes now start.
  const unsigned char* fill(const unsigned char* keep) {
    size_t kept = size_t(end_ - keep);
    if (kept >= kRoom / 2) {
      std::fputs("floor: a command longer than its buffer\n", stderr);
      std::exit(1);
    }
    std::memmove(buf_, keep, kept);
    size_t have = kept;
    size_t filter_from = kept;
    if (held_cr_) {
      buf_[have++] = '\r';
      held_cr_ = false;
    }
    while (!done_ && have < kRoom) {
      ssize_t got = read(fd_, buf_ + have, kRoom - have);
      if (got <= 0) {
        done_ = true;
        break;
      }
      have += size_t(got);
    }
    if (const void* mark = std::memchr(buf_ + filter_from, 26, have - filter_from)) {
      have = size_t(static_cast<const unsigned char*>(mark) - buf_);
      done_ = true;
    }
    if (std::memchr(buf_ + filter_from, '\r', have - filter_from)) {
      size_t out = filter_from;
      for (size_t i = filter_from; i < have; ++i) {
        if (buf_[i] == '\r' && i + 1 < have && buf_[i + 1] == '\n') continue;
        buf_[out++] = buf_[i];
      }
      have = out;
      if (!done_ && have > filter_from && buf_[have - 1] == '\r') {
        held_cr_ = true;  // its LF may open the next piece
        --have;
      }
    }
    end_ = buf_ + have;
    buf_[have] = ' ';
    buf_[have + 1] = 'x';
    return buf_;
  }

 private:
  static constexpr size_t kRoom = 1 << 18;
  int fd_;
  bool done_ = false;
  bool held_cr_ = false;
  unsigned char* end_ = buf_;
  unsigned char buf_[kRoom + 2];
};

// "%d" at p: 1 a number, 0 none, -1 the buffer ended inside it and more
// bytes may follow.
inline __attribute__((always_inline)) int number(const unsigned char*& p, const unsigned char* end, bool more,
           int32_t& v) {
  while (space(*p)) ++p;
  if (p >= end) {
    p = end;
    return more ? -1 : 0;
  }
  bool negative = *p == '-';
  const unsigned char* d = p + (*p == '-' || *p == '+');
  const unsigned char* q = d;
  uint64_t m = 0;
  while (digit(*q)) m = m * 10 + (*q++ - '0');
  if (q >= end && more) return -1;
  p = q;
  if (q == d) return 0;
  const uint64_t most = negative ? uint64_t(LONG_MAX) + 1 : LONG_MAX;
  if (q - d > 18) {  // rare: saturate as strtol does
    m = 0;
    for (const unsigned char* r = d; r < q; ++r) {
      if (m > (most - uint64_t(*r - '0')) / 10) {
        m = most;
        break;
      }
      m = m * 10 + uint64_t(*r - '0');
    }
  }
  if (m > most) m = most;
  v = int32_t(uint32_t(negative ? 0 - m : m));
  return 1;
}

// Passes n characters that are not newlines; returns how many are left
// when the buffer ran out.
inline __attribute__((always_inline)) int64_t skip_text(const unsigned char*& p, const unsigned char* end, int64_t n) {
  if (n == 1) {
    while (*p == '\n') ++p;
    if (p < end) {
      ++p;
      return 0;
    }
  }
  while (n > 0 && p < end) {
    size_t avail = size_t(end - p) < uint64_t(n) ? size_t(end - p) : size_t(n);
    const void* nl = std::memchr(p, '\n', avail);
    size_t run = nl ? size_t(static_cast<const unsigned char*>(nl) - p) : avail;
    n -= int64_t(run);
    p += run;
    if (nl) ++p;
  }
  return n;
}

}  // namespace

int main() {
  int in = open("editor.in", O_RDONLY);
  if (in < 0) {
    std::perror("editor.in");
    return 1;
  }
  int out = open("editor.out", O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (out < 0) {
    std::perror("editor.out");
    return 1;
  }
  static source src(in);
  static sink o(out);
  const unsigned char* p = src.begin();
  int32_t count = 0;
  for (;;) {
    const unsigned char* at = p;
    int got = number(p, src.end(), !src.done(), count);
    if (got >= 0 || src.done()) {
      if (got <= 0) count = 0;
      break;
    }
    p = src.fill(at);
  }
  int64_t total = 0, pos = 0;
  int32_t n = 0;
  for (int32_t i = 0; i < count;) {
    const unsigned char* const start = p;
    const unsigned char* const end = src.end();
    while (space(*p)) ++p;
    if (p >= end) {
      if (src.done()) break;
      p = src.fill(end);
      continue;
    }
    unsigned char word = *p++;
    while (!space(*p)) ++p;
    int numbered = p < end || src.done() ? number(p, end, !src.done(), n) : -1;
    if (numbered < 0) {  // the command goes on past the buffer
      p = src.fill(start);
      continue;
    }
    ++i;
    if (word == 'N') {
      if (pos < total) ++pos;
      continue;
    }
    if (word == 'P') {
      if (pos > 0) --pos;
      continue;
    }
    if (numbered == 0) continue;
    switch (word) {
      case 'D':
        if (n > 0) total -= n < total - pos ? n : total - pos;
        break;
      case 'G':
        if (n > 0) o.filler(size_t(n < total - pos ? n : total - pos));
        o.newline();
        break;
      case 'I':
        if (n > 0) {
          total += n;
          int64_t left = skip_text(p, end, n);
          while (left > 0 && !src.done()) {
            p = src.fill(src.end());
            left = skip_text(p, src.end(), left);
          }
        }
        break;
      case 'M':
        pos = n < 0 ? 0 : n > total ? total : n;
        break;
      default:
        break;
    }
  }
  o.flush();
  close(out);
  return 0;
}
