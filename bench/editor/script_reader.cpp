// script_reader.cpp: whole-file input, the text-mode filter, fscanf-like reads.
#include "script_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace editor_bench {

#ifndef BENCH_OUT_BUFFER
#define BENCH_OUT_BUFFER (1 << 20)
#endif

bool load_file(const char* path, std::string& out) {
  int fd = open(path, O_RDONLY);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) == 0 && st.st_size > 0)
    out.reserve(static_cast<size_t>(st.st_size));
  out.clear();
  char chunk[1 << 16];
  for (;;) {
    // Read straight into the reserved string when it has room.
    size_t spare = out.capacity() - out.size();
    if (spare > sizeof chunk) {
      size_t had = out.size();
      out.resize(out.capacity());
      ssize_t got = read(fd, &out[had], spare);
      if (got < 0 && errno == EINTR) {
        out.resize(had);
        continue;
      }
      if (got < 0) {
        int saved = errno;
        close(fd);
        errno = saved;
        return false;
      }
      out.resize(had + static_cast<size_t>(got));
      if (got == 0) break;
      continue;
    }
    ssize_t got = read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      int saved = errno;
      close(fd);
      errno = saved;
      return false;
    }
    if (got == 0) break;
    out.append(chunk, static_cast<size_t>(got));
  }
  close(fd);
  return true;
}

void text_mode_filter(std::string& buf) {
  const void* eof = std::memchr(buf.data(), 26, buf.size());
  if (eof)
    buf.resize(static_cast<size_t>(static_cast<const char*>(eof) - buf.data()));
  size_t n = buf.size();
  char* s = &buf[0];
  size_t w = 0, r = 0;
  // Copy runs between CRs; only a CR directly before an LF is dropped.
  while (r < n) {
    const void* cr = std::memchr(s + r, '\r', n - r);
    size_t stop =
        cr ? static_cast<size_t>(static_cast<const char*>(cr) - s) : n;
    if (w != r) std::memmove(s + w, s + r, stop - r);
    w += stop - r;
    r = stop;
    if (r == n) break;
    if (r + 1 < n && s[r + 1] == '\n') {
      ++r;  // the LF is copied with the next run
    } else {
      s[w++] = '\r';
      ++r;
    }
  }
  buf.resize(w);
}

out_buffer::out_buffer(int fd, std::string* sink)
    : fd_(fd), sink_(sink), buf_(BENCH_OUT_BUFFER) {}

char* out_buffer::room(size_t n) {
  if (buf_.size() - used_ < n) {
    flush();
    if (buf_.size() < n) buf_.resize(n);
  }
  return buf_.data() + used_;
}

void out_buffer::put(const char* p, size_t n) {
  if (buf_.size() - used_ < n) {
    flush();
    if (n >= buf_.size()) {
      // Too big to buffer: pass it through with the buffer empty.
      std::vector<char> keep;
      keep.swap(buf_);
      buf_.assign(p, p + n);
      used_ = n;
      flush();
      buf_.swap(keep);
      return;
    }
  }
  std::memcpy(buf_.data() + used_, p, n);
  used_ += n;
}

bool out_buffer::flush() {
  const char* p = buf_.data();
  size_t n = used_;
  used_ = 0;
  if (failed_) return false;
  if (fd_ < 0) {
    if (sink_) sink_->append(p, n);
    return true;
  }
  while (n > 0) {
    ssize_t put_bytes = write(fd_, p, n);
    if (put_bytes < 0 && errno == EINTR) continue;
    if (put_bytes < 0) {
      failed_ = true;
      return false;
    }
    p += put_bytes;
    n -= static_cast<size_t>(put_bytes);
  }
  return true;
}

bool script_reader::read_int(int32_t& value) {
  skip_space();
  if (p_ == end_) return false;
  bool negative = false;
  if (*p_ == '+' || *p_ == '-') {
    negative = *p_ == '-';
    ++p_;  // glibc keeps a lone sign consumed
  }
  if (p_ == end_ || *p_ < '0' || *p_ > '9') return false;
  // glibc converts to long (saturating), then stores the low 32 bits.
  const uint64_t limit =
      negative ? (uint64_t{1} << 63) : (uint64_t{1} << 63) - 1;
  uint64_t acc = 0;
  bool saturated = false;
  for (; p_ < end_ && *p_ >= '0' && *p_ <= '9'; ++p_) {
    uint64_t digit = static_cast<uint64_t>(*p_ - '0');
    if (saturated || acc > (limit - digit) / 10) {
      saturated = true;
      continue;
    }
    acc = acc * 10 + digit;
  }
  if (saturated) acc = limit;
  uint64_t bits = negative ? uint64_t{0} - acc : acc;
  value = static_cast<int32_t>(static_cast<uint32_t>(bits & 0xffffffffu));
  return true;
}

bool script_reader::read_word(unsigned char& first) {
  skip_space();
  if (p_ == end_) return false;
  first = *p_;
  while (p_ < end_ && !is_space(*p_)) ++p_;
  return true;
}

size_t script_reader::read_text(char* dst, size_t n) {
  size_t wanted = n;
  while (n > 0 && p_ < end_) {
    size_t chunk = static_cast<size_t>(end_ - p_);
    if (chunk > n) chunk = n;
    const void* lf = std::memchr(p_, '\n', chunk);
    size_t run =
        lf ? static_cast<size_t>(static_cast<const unsigned char*>(lf) - p_)
           : chunk;
    std::memcpy(dst, p_, run);
    dst += run;
    n -= run;
    p_ += run;
    if (lf) ++p_;  // Getchar skips the LF and keeps reading
  }
  // Past the end Getchar returns -1, stored as the byte 255.
  if (n > 0) std::memset(dst, 0xff, n);
  return wanted - n;
}

int run_files(void (*run)(script_reader&, out_buffer&)) {
  std::string script;
  if (!load_file("editor.in", script)) {
    std::fprintf(stderr, "editor.in: %s\n", std::strerror(errno));
    return 1;
  }
  int fd = open("editor.out", O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (fd < 0) {
    std::fprintf(stderr, "editor.out: %s\n", std::strerror(errno));
    return 1;
  }
  text_mode_filter(script);
  script_reader in(script.data(), script.size());
  out_buffer out(fd);
  run(in, out);
  bool written = out.flush();
  int saved = errno;
  if (close(fd) != 0 && written) {
    written = false;
    saved = errno;
  }
  if (!written) {
    std::fprintf(stderr, "editor.out: %s\n", std::strerror(saved));
    return 1;
  }
  return 0;
}

}  // namespace editor_bench
