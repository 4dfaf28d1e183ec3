// manager_request_fuzz.cpp: any bytes on the wire, fed to the manager's
// framer cut at arbitrary places and with arbitrarily little room for the
// replies, against a line-by-line model of the same session. The two must
// end alike, with the same replies and transcript. In the model, a parsed
// request prints back to the very bytes it came from; every request adds one
// transcript line; the run ends in a verdict, an error, or goes on.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" {
#include "session.h"
#include "wire.h"
}

namespace {

std::string format(const gp_request& q) {
  char buf[160];
  switch (q.kind) {
    case GP_REQ_GRIDSIZE:
      return "G";
    case GP_REQ_RECT:
      snprintf(buf, sizeof buf, "R %d %d %d %d", q.v[0], q.v[1], q.v[2],
               q.v[3]);
      return buf;
    case GP_REQ_REPORT:
      snprintf(buf, sizeof buf, "P %d %d %d %d %d %d %d %d", q.v[0], q.v[1],
               q.v[2], q.v[3], q.v[4], q.v[5], q.v[6], q.v[7]);
      return buf;
  }
  abort();
}

size_t lines_in(const gp_session& s) {
  size_t len, n = 0;
  const char* log = gp_session_log(&s, &len);
  for (size_t i = 0; i < len; ++i) n += log[i] == '\n';
  return n;
}

void check_ended(const gp_session& s) {
  char out[GP_OUT_MAX], line[128];
  size_t n = gp_session_out(&s, out);
  const char* said = gp_session_stdout_line(&s, line, sizeof line);
  if (s.outcome == GP_ERROR) {
    if (n < 3 || out[0] != '0' || said == nullptr) abort();
  } else if (s.outcome == GP_REPORTED) {
    if (n == 0 || out[0] == '0' || said != nullptr) abort();
    if (s.count < 1 || s.count > GP_MAX_RECT_CALLS) abort();
  } else if (n != 0 || said != nullptr) {
    abort();
  }
}

// A small generator seeded by the input, so that each input has its cuts.
struct cuts {
  uint64_t x;
  size_t next(size_t bound) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    return static_cast<size_t>(x % bound);
  }
};

void same_end(const gp_session& a, const gp_session& b) {
  size_t alen, blen;
  const char* alog = gp_session_log(&a, &alen);
  const char* blog = gp_session_log(&b, &blen);
  if (a.outcome != b.outcome || a.error != b.error || a.count != b.count ||
      a.initialized != b.initialized ||
      memcmp(a.answer, b.answer, sizeof a.answer) != 0 || alen != blen ||
      memcmp(alog, blog, alen) != 0)
    abort();
}

// The shipped framer over the wire bytes, cut where the generator says.
std::string feed_in_pieces(gp_session& t, const char* p, size_t n,
                           cuts& rng) {
  gp_line pending{};
  std::string replies;
  enum gp_step step = GP_REPLY;
  size_t used = 0;
  while (used < n && step != GP_END) {
    size_t piece = 1 + rng.next(rng.next(2) ? 8 : 300);
    if (piece > n - used) piece = n - used;
    size_t fed = 0;
    while (fed < piece && step != GP_END) {
      char out[GP_REPLY_MAX + 64];
      size_t cap = GP_REPLY_MAX + rng.next(65);
      size_t out_len = 0;
      size_t k = gp_session_feed(&t, &pending, p + used + fed, piece - fed,
                                 out, cap, &out_len, &step);
      // Room for a reply was given: a byte at least is taken, or it ended.
      if (k > piece - fed || (k == 0 && step != GP_END)) abort();
      if (out_len > cap || pending.len > GP_REQUEST_MAX) abort();
      replies.append(out, out_len);
      fed += k;
    }
    used += fed;
  }
  if (step != GP_END) gp_session_wire_closed(&t, &pending);
  return replies;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte picks the case: a valid one, or one that fails loading.
  static const char* const cases[] = {"10 2 3 2 7 5 9 8 9\n",
                                      "5 5 4 5 5 1 1 2 1 score 3 9\n",
                                      "4 1 1 1 2 1 1 2 1\n", "x\n"};
  std::string text = cases[data[0] % 4];
  FILE* in = fmemopen(&text[0], text.size(), "r");
  gp_session s, t;
  gp_session_load(&s, (data[0] & 4) != 0 ? nullptr : in, (data[0] & 8) == 0);
  rewind(in);
  gp_session_load(&t, (data[0] & 4) != 0 ? nullptr : in, (data[0] & 8) == 0);
  fclose(in);
  std::string replies;
  const char* p = reinterpret_cast<const char*>(data + 1);
  const char* end = reinterpret_cast<const char*>(data + size);
  while (p < end && s.outcome == GP_RUNNING) {
    const char* eol =
        static_cast<const char*>(memchr(p, '\n', static_cast<size_t>(end - p)));
    size_t len = static_cast<size_t>((eol != nullptr ? eol : end) - p);
    if (len > GP_REQUEST_MAX)
      len = GP_REQUEST_MAX + 1;  // refused at once
    else if (eol == nullptr) {
      gp_session_truncated(&s);
      break;
    }
    gp_request q;
    if (gp_parse_request(p, len, &q) && format(q) != std::string(p, len))
      abort();
    size_t before = lines_in(s);
    bool first = !s.initialized;
    int reply = -1;
    enum gp_step step = gp_session_request(&s, p, len, &reply);
    size_t added = lines_in(s) - before;
    if (first && s.load_error >= 0) {
      if (added != 0 || step != GP_END || s.error != s.load_error) abort();
    } else if (added != 1) {
      abort();
    }
    if (step == GP_REPLY) {
      if (q.kind == GP_REQ_RECT && reply != 0 && reply != 1) abort();
      if (q.kind == GP_REQ_GRIDSIZE && reply != s.c.n) abort();
      char said[16];
      replies += std::string(said, static_cast<size_t>(snprintf(
                                       said, sizeof said, "%d\n", reply)));
    }
    p += len + 1;
  }
  uint64_t seed = 1469598103934665603ULL;
  for (size_t i = 0; i < size; ++i) seed = (seed ^ data[i]) * 1099511628211ULL;
  cuts rng{seed | 1};
  const char* wire = reinterpret_cast<const char*>(data + 1);
  if (feed_in_pieces(t, wire, size - 1, rng) != replies) abort();
  gp_session_no_report(&s);
  gp_session_no_report(&t);
  same_end(s, t);
  check_ended(s);
  if (!gp_session_log_touched(&s) && lines_in(s) != 0) abort();
  gp_session_free(&s);
  gp_session_free(&t);
  return 0;
}
