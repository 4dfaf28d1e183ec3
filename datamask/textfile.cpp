// The scrambler's console and text-file layer; every OS call goes through os.
#include "textfile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform.h"

text_record infile;
text_record outfile;
pending_error io_error;

namespace {

// Failures are only recorded here; the caller reports them later.
void set_pending_error(int32_t code) { io_error = {code, false}; }
void set_pending_errno(int err) { io_error = errno_error(err); }

// A byte above 32 continues the token a number was read from.
bool token_continues(const unsigned char* q, const unsigned char* limit) {
  if (q >= limit) return false;
  return *q > 32;
}

// The directory part of a path, for telling a missing file from a missing
// directory.
std::string directory_of(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// A missing name says nothing of which part is missing: the directory decides.
void fail_open(int err, const std::string& name) {
  set_pending_errno(err);
  if (!io_error.raw && io_error.code == kFileNotFound &&
      !os.is_directory(directory_of(name).c_str()))
    set_pending_error(kInvalidFilename);
}

// Writes the whole buffer; a write that accepts nothing means a full device.
bool write_all(int fd, const unsigned char* bytes, size_t n) {
  while (n > 0) {
    ssize_t put = os.write(fd, bytes, n);
    if (put < 0) {
      set_pending_errno(errno);
      return false;
    }
    if (put == 0) {
      set_pending_error(kDiskFull);
      return false;
    }
    bytes += put;
    n -= static_cast<size_t>(put);
  }
  return true;
}

// Bytes that could not be written are dropped: the file keeps what the
// platform accepted and the next check reports the failure.
bool flush_file(text_record& f) {
  size_t n = f.used;
  f.used = 0;
  return write_all(f.fd, f.buf, n);
}

bool open_standard_output(text_record& f) {
  f.fd = kStdOutput;
  f.standard = true;
  file_info info;
  if (os.identify(f.fd, &info) != 0) {
    set_pending_error(kNotOpenForOutput);
    return false;
  }
  f.flush_at_line_end = info.kind == file_kind::character;
  f.mode = file_mode::writing;
  f.used = 0;
  return true;
}

// Whether writes may go to f now; the unbound output record opens standard
// output on its first write.
bool ready_for_output(text_record& f) {
  if (f.mode == file_mode::writing) return true;
  if (f.mode == file_mode::closed && !f.bound) return open_standard_output(f);
  set_pending_error(kNotOpenForOutput);
  return false;
}

// Makes at least `want` unread bytes stand together, unless the input ends.
void fill(text_record& f, size_t want) {
  if (f.pos > 0) {
    std::memmove(f.buf, f.buf + f.pos, f.end - f.pos);
    f.end -= f.pos;
    f.pos = 0;
  }
  while (f.end < want && !f.source_done) {
    ssize_t got = os.read(f.fd, f.buf + f.end, kReadBuffer - f.end);
    if (got > 0) {
      f.end += static_cast<size_t>(got);
    } else {
      // A failed read ends the input too; the check reports it.
      if (got < 0) set_pending_errno(errno);
      f.source_done = true;
    }
  }
}

const char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536"
    "37383940414243444546474849505152535455565758596061626364656667686970717273"
    "7475767778798081828384858687888990919293949596979899";

}  // namespace

void assign_file(text_record& f, const std::string& name) {
  f.name = name;
  f.bound = true;
  f.mode = file_mode::closed;
}

void reset_file(text_record& f) {
  if (f.mode != file_mode::closed) close_file(f);
  f.pos = f.end = 0;
  f.source_done = false;
  f.standard = f.name.empty();
  if (f.standard) {
    f.fd = kStdInput;
  } else if (f.name.size() > kMaxName) {
    set_pending_error(kInvalidFilename);
    return;
  } else {
    f.fd = os.open_read(f.name.c_str());
    if (f.fd < 0) {
      fail_open(errno, f.name);
      return;
    }
  }
  file_info info;
  if (os.identify(f.fd, &info) != 0) {
    int err = errno;
    if (!f.standard) os.close(f.fd);
    set_pending_errno(err);
    return;
  }
  // The platform opens a directory for reading; the user named no file.
  if (info.kind == file_kind::directory) {
    if (!f.standard) os.close(f.fd);
    set_pending_error(kAccessDenied);
    return;
  }
  f.device = info.device;
  f.inode = info.inode;
  f.mode = file_mode::reading;
}

void rewrite_file(text_record& f) {
  if (f.mode != file_mode::closed) close_file(f);
  f.used = 0;
  f.flush_at_line_end = false;
  f.standard = f.name.empty();
  if (f.standard) {
    open_standard_output(f);
    return;
  }
  if (f.name.size() > kMaxName) {
    set_pending_error(kInvalidFilename);
    return;
  }
  int fd = os.open_write(f.name.c_str());
  if (fd < 0) {
    fail_open(errno, f.name);
    return;
  }
  file_info info;
  if (os.identify(fd, &info) != 0) {
    os.close(fd);
    set_pending_error(kNotOpenForOutput);
    return;
  }
  // The input is shared for reading only: writing over it is refused
  // before a byte of it is lost.
  if (&f != &infile && infile.mode == file_mode::reading &&
      info.device == infile.device && info.inode == infile.inode) {
    os.close(fd);
    set_pending_error(kSharingViolation);
    return;
  }
  if (info.kind == file_kind::regular && os.truncate(fd) != 0) {
    int err = errno;
    os.close(fd);
    set_pending_errno(err);
    return;
  }
  f.fd = fd;
  f.flush_at_line_end = info.kind == file_kind::character;
  f.mode = file_mode::writing;
}

void close_file(text_record& f) {
  if (f.mode == file_mode::closed) {
    set_pending_error(kNotOpen);
    return;
  }
  if (f.mode == file_mode::writing && !flush_file(f)) return;
  f.mode = file_mode::closed;
  if (!f.standard && os.close(f.fd) != 0) set_pending_errno(errno);
  f.fd = -1;
}

namespace {

// Value of each byte as a hexadecimal digit; 16 for any other byte.
struct hex_table {
  unsigned char value[256];
  constexpr hex_table() : value() {
    for (int c = 0; c < 256; ++c)
      value[c] =
          c >= '0' && c <= '9'   ? static_cast<unsigned char>(c - '0')
          : c >= 'a' && c <= 'f' ? static_cast<unsigned char>(c - 'a' + 10)
          : c >= 'A' && c <= 'F' ? static_cast<unsigned char>(c - 'A' + 10)
                                 : 16;
  }
};
constexpr hex_table kHex;

// Top bit set in each byte that is no decimal digit; exact up to the first
// such byte (carries and borrows only run towards later bytes).
uint64_t non_digits(uint64_t w) {
  return ((w + 0x4646464646464646ull) | (w - 0x3030303030303030ull)) &
         0x8080808080808080ull;
}

// The value of eight ASCII digits, the first one in the lowest byte; zero
// bytes count as leading zeros.
uint64_t eight_digits(uint64_t w) {
  w = (w & 0x0F0F0F0F0F0F0F0Full) * 2561 >> 8;
  w = (w & 0x00FF00FF00FF00FFull) * 6553601 >> 16;
  return (w & 0x0000FFFF0000FFFFull) * 42949672960001ull >> 32;
}

// One to ten decimal digits at q, ending the token, read 16 bytes at a time;
// false sends the token down the general road.
bool scan_decimal(const unsigned char*& q, const unsigned char* limit,
                  uint64_t& magnitude) {
  uint64_t w0, w1;
  std::memcpy(&w0, q, 8);
  std::memcpy(&w1, q + 8, 8);
  uint64_t m0 = non_digits(w0);
  size_t n;
  if (m0 != 0) {
    n = static_cast<size_t>(__builtin_ctzll(m0)) >> 3;
    if (n == 0) return false;
    magnitude = eight_digits(w0 << (64 - 8 * n));
  } else {
    uint64_t m1 = non_digits(w1);
    size_t tail = m1 != 0 ? static_cast<size_t>(__builtin_ctzll(m1)) >> 3 : 8;
    if (tail > 2) return false;
    n = 8 + tail;
    magnitude = eight_digits(w0);
    if (tail > 0)
      magnitude = magnitude * (tail == 1 ? 10 : 100) +
                  eight_digits(w1 << (64 - 8 * tail));
  }
  // Bytes past the data are stale; the token must end right after its digits.
  if (n > static_cast<size_t>(limit - q)) return false;
  q += n;
  return q == limit || *q <= 32;
}

// The common tokens, short decimal or "$" hexadecimal, parsed while they are
// cut; anything else returns false and takes the general road.
bool parse_common(const unsigned char*& p, const unsigned char* limit,
                  int32_t& value) {
  const unsigned char* q = p;
  bool negative = *q == '-';
  q += negative | (*q == '+');  // no branch: signs are random in test data
  const unsigned char* digits = q;
  if (q < limit && *q == '$') {
    digits = ++q;
    uint32_t pattern = 0;
    unsigned d;
    while (q < limit && (d = kHex.value[*q]) < 16) {
      pattern = pattern << 4 | d;
      ++q;
    }
    if (q == digits || q - digits > 8 || token_continues(q, limit))
      return false;
    value = static_cast<int32_t>(negative ? 0u - pattern : pattern);
  } else {
    uint64_t magnitude = 0;
    if (!scan_decimal(q, limit, magnitude)) return false;
    if (magnitude > (negative ? 2147483648u : 2147483647u)) return false;
    uint32_t bits = static_cast<uint32_t>(magnitude);
    value = static_cast<int32_t>(negative ? 0u - bits : bits);
  }
  p = q;
  return true;
}

}  // namespace

bool parse_token(const unsigned char* t, size_t n, int32_t& value) {
  size_t i = 0;
  bool negative = false;
  if (i < n && (t[i] == '-' || t[i] == '+')) negative = t[i++] == '-';
  bool hex = false;
  if (i < n && (t[i] == '$' || t[i] == 'x' || t[i] == 'X')) {
    hex = true;
    i += 1;
  } else if (i + 1 < n && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i == n) return false;
  if (hex) {
    uint32_t pattern = 0;
    int significant = 0;
    for (; i < n; ++i) {
      unsigned digit = kHex.value[t[i]];
      if (digit > 15) return false;
      if (significant > 0 || digit != 0) ++significant;
      pattern = pattern << 4 | digit;
    }
    if (significant > 8) return false;
    value = static_cast<int32_t>(negative ? 0u - pattern : pattern);
    return true;
  }
  // Once past 2^31 the value is out of range whatever follows; stop growing.
  uint64_t magnitude = 0;
  for (; i < n; ++i) {
    unsigned digit = t[i] - static_cast<unsigned>('0');
    if (digit > 9) return false;
    if (magnitude <= 2147483648u) magnitude = magnitude * 10 + digit;
  }
  if (magnitude > (negative ? 2147483648u : 2147483647u)) return false;
  uint32_t bits = static_cast<uint32_t>(magnitude);
  value = static_cast<int32_t>(negative ? 0u - bits : bits);
  return true;
}

int32_t read_int(text_record& f) {
  if (f.mode != file_mode::reading) {
    set_pending_error(kNotOpenForInput);
    return 0;
  }
  for (;;) {
    const unsigned char* p = f.buf + f.pos;
    const unsigned char* e = f.buf + f.end;
    while (p < e && *p <= 32 && *p != 26) ++p;
    f.pos = static_cast<size_t>(p - f.buf);
    if (p < e) break;
    if (f.source_done) return 0;
    fill(f, 1);
  }
  // Byte 26 ends the input and stays unread, so every later read meets it.
  if (f.buf[f.pos] == 26) return 0;
  if (f.end - f.pos <= kMaxToken) fill(f, kMaxToken + 1);
  const unsigned char* token = f.buf + f.pos;
  const unsigned char* limit =
      token + (f.end - f.pos < kMaxToken ? f.end - f.pos : kMaxToken);
  int32_t value = 0;
  const unsigned char* p = token;
  if (parse_common(p, limit, value)) {
    f.pos += static_cast<size_t>(p - token);
    return value;
  }
  while (token_continues(p, limit)) ++p;
  f.pos += static_cast<size_t>(p - token);
  if (!parse_token(token, static_cast<size_t>(p - token), value)) {
    set_pending_error(kInvalidNumber);
    return 0;
  }
  return value;
}

namespace {

// Writes the digits ending at `end` and returns where they start; may
// scribble on the byte before the start.
char* format_backwards(int32_t value, char* end) {
  uint32_t u = value < 0 ? 0u - static_cast<uint32_t>(value)
                         : static_cast<uint32_t>(value);
  char* p = end;
  if (u >= 100000000) {
    // Nine or ten digits: independent pairs, no loop to mispredict.
    uint32_t high = u / 100000000, low = u % 100000000;
    uint32_t a = low / 10000, b = low % 10000;
    std::memcpy(p - 2, kDigitPairs + 2 * (b % 100), 2);
    std::memcpy(p - 4, kDigitPairs + 2 * (b / 100), 2);
    std::memcpy(p - 6, kDigitPairs + 2 * (a % 100), 2);
    std::memcpy(p - 8, kDigitPairs + 2 * (a / 100), 2);
    std::memcpy(p - 10, kDigitPairs + 2 * high, 2);
    p -= high < 10 ? 9 : 10;
  } else {
    while (u >= 100) {
      uint32_t pair = u % 100;
      u /= 100;
      p -= 2;
      std::memcpy(p, kDigitPairs + 2 * pair, 2);
    }
    if (u >= 10) {
      p -= 2;
      std::memcpy(p, kDigitPairs + 2 * u, 2);
    } else {
      *--p = static_cast<char>('0' + u);
    }
  }
  p[-1] = '-';
  return p - (value < 0);
}

}  // namespace

size_t format_int(int32_t value, char* out) {
  char text[12];
  char* start = format_backwards(value, text + sizeof text);
  size_t n = static_cast<size_t>(text + sizeof text - start);
  std::memcpy(out, start, n);
  return n;
}

void write_int(text_record& f, int32_t value) {
  // Hot path: one fixed-size copy of 16 bytes; the spare ones get overwritten.
  if (kWriteBuffer - f.used >= 16 && f.mode == file_mode::writing) {
    char text[32] = {};
    char* start = format_backwards(value, text + 16);
    std::memcpy(f.buf + f.used, start, 16);
    f.used += static_cast<size_t>(text + 16 - start);
    return;
  }
  char text[11];
  write_str(f, text, format_int(value, text));
}

void write_byte(text_record& f, unsigned char byte) {
  if (f.mode == file_mode::writing && f.used < kWriteBuffer) {
    f.buf[f.used++] = byte;
    return;
  }
  write_str(f, &byte, 1);
}

void write_str(text_record& f, const void* bytes, size_t n) {
  if (!ready_for_output(f)) return;
  const unsigned char* p = static_cast<const unsigned char*>(bytes);
  while (n > 0) {
    if (f.used == kWriteBuffer) flush_file(f);
    size_t room = kWriteBuffer - f.used;
    size_t chunk = n < room ? n : room;
    std::memcpy(f.buf + f.used, p, chunk);
    f.used += chunk;
    p += chunk;
    n -= chunk;
  }
}

void write_line_end(text_record& f) {
  if (f.mode == file_mode::writing && kWriteBuffer - f.used >= 2) {
    f.buf[f.used++] = '\r';
    f.buf[f.used++] = '\n';
  } else {
    write_str(f, "\r\n", 2);
  }
  if (f.mode == file_mode::writing && f.flush_at_line_end) flush_file(f);
}

std::string io_message(const pending_error& e) {
  if (!e.raw) {
    switch (e.code) {
      case kFileNotFound:
        return "File not found";
      case kInvalidFilename:
        return "Invalid filename";
      case kTooManyOpenFiles:
        return "Too many open files";
      case kAccessDenied:
        return "File access denied";
      case kReadBeyondEnd:
        return "Read beyond end of file";
      case kDiskFull:
        return "Disk full";
      case kInvalidNumber:
        return "Invalid numeric input";
      default:
        break;
    }
  }
  return "I/O error " + std::to_string(e.code);
}

std::string failure_report(const std::string& module, uint32_t site,
                           const std::string& message) {
  static const char kHexDigits[] = "0123456789ABCDEF";
  std::string location(8, '0');
  for (size_t i = 8; i-- > 0; site >>= 4) location[i] = kHexDigits[site & 15];
  bool stop = !message.empty() && message.back() != '.';
  return "Exception EInOutError in module " + module + " at " + location +
         ".\r\n" + message + (stop ? "." : "") + "\r\n";
}

void check(uint32_t site) {
  if (io_error.code == 0) return;
  pending_error e = io_error;
  io_error = {};
  std::string message = io_message(e);
  // Everything written before the failure belongs in the output file.
  if (outfile.mode == file_mode::writing) flush_file(outfile);
  std::string path = os.module_path();
  std::string module = path.substr(path.find_last_of('/') + 1);
  std::string report = failure_report(module, site, message);
  report += "\r\n";  // the report ends with an empty line
  write_all(kStdError, reinterpret_cast<const unsigned char*>(report.data()),
            report.size());
  io_error = {};  // a failure to report is ignored
  end_process(1);
}

void end_process(int code) {
  for (text_record* f : {&outfile, &infile}) {
    if (f->mode == file_mode::writing) flush_file(*f);
    if (f->mode != file_mode::closed && !f->standard) os.close(f->fd);
    f->mode = file_mode::closed;
  }
  os.exit(code);
  std::abort();  // a test's exit that returns must not run on
}
