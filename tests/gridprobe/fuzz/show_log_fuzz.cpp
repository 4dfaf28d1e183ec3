// show_log_fuzz.cpp: the transcript reader of `show` on any bytes. With the
// first byte even, the bytes are requests run through the manager's session,
// and the transcript it writes must be taken whole, with the same ending;
// with it odd, the bytes are a transcript, taken or refused without a crash.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

extern "C" {
#include "session.h"
#include "show.h"
}

namespace {

const char kCase[] = "10 2 3 2 7 5 9 8 9\n";

void check_calls(const gp_show& s) {
  if (s.ncalls < 0 || s.ncalls > GP_MAX_RECT_CALLS + 1) abort();
  for (int i = 0; i < s.ncalls; ++i) {
    const gp_show_call& k = s.calls[i];
    if (k.number != i + 1) abort();
    if (k.answer == -1 ? i != s.ncalls - 1 : k.answer != 0 && k.answer != 1)
      abort();
    const gp_show_box& z = k.zoom;
    if (z.r1 < 1 || z.c1 < 1 || z.r2 > s.c.n || z.c2 > s.c.n) abort();
    if (z.r2 - z.r1 != z.c2 - z.c1) abort();
  }
}

void from_session(const gp_case& c, const char* p, const char* end) {
  std::string text = kCase;
  FILE* in = fmemopen(&text[0], text.size(), "r");
  gp_session s;
  gp_session_load(&s, in, 1);
  fclose(in);
  while (p < end && s.outcome == GP_RUNNING) {
    const char* eol =
        static_cast<const char*>(memchr(p, '\n', static_cast<size_t>(end - p)));
    if (eol == nullptr) {
      gp_session_truncated(&s);
      break;
    }
    size_t len = static_cast<size_t>(eol - p);
    if (len > GP_REQUEST_MAX) len = GP_REQUEST_MAX + 1;
    int reply;
    gp_session_request(&s, p, len, &reply);
    p = eol + 1;
  }
  gp_session_no_report(&s);
  size_t log_len;
  const char* log = gp_session_log(&s, &log_len);
  std::unique_ptr<gp_show> show(new gp_show);
  if (!gp_show_read(show.get(), &c, log, log_len)) abort();
  check_calls(*show);
  if (show->ncalls != s.count) abort();
  switch (s.outcome) {
    case GP_REPORTED:
      if (show->end != GP_SHOW_REPORTED ||
          memcmp(show->answer, s.answer, sizeof s.answer) != 0)
        abort();
      break;
    case GP_ERROR:
      if (show->end != GP_SHOW_ERROR || show->error != s.error) abort();
      break;
    default:
      if (show->end != GP_SHOW_NO_REPORT) abort();
  }
  gp_session_free(&s);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  gp_case c;
  int score_ok;
  std::string text = kCase;
  FILE* in = fmemopen(&text[0], text.size(), "r");
  if (gp_case_load(in, &c, &score_ok) != -1) abort();
  fclose(in);
  const char* p = reinterpret_cast<const char*>(data + 1);
  const char* end = reinterpret_cast<const char*>(data + size);
  if ((data[0] & 1) == 0) {
    from_session(c, p, end);
    return 0;
  }
  std::unique_ptr<gp_show> show(new gp_show);
  if (gp_show_read(show.get(), &c, p, static_cast<size_t>(end - p))) {
    check_calls(*show);
    if (show->verdict.message[0] == '\0') abort();
  } else if (show->problem[0] == '\0') {
    abort();
  }
  return 0;
}
