/* session.h: the linked grader's rules, replayed by a manager process. */
#ifndef GRIDPROBE_MANAGER_SESSION_H
#define GRIDPROBE_MANAGER_SESSION_H

#include <stddef.h>
#include <stdio.h>

#include "wire.h"
/* Longest rods.out: "count\n" and two lines of four 32-bit values. */
#define GP_OUT_MAX 128
#define GP_MAX_RECT_CALLS 400
#define GP_DEFAULT_SCORE_LIMIT 400
/* The transcript's bound in MiB (--log-limit): far above any honest run,
   which writes at most a few hundred lines. */
#define GP_DEFAULT_LOG_LIMIT_MIB 16
#define GP_MAX_LOG_LIMIT_MIB 4096

/* The ten messages of the linked form, index 0..9. */
const char* gp_message(int index);

/* A test case: the nine integers and the optional "score F Z" line. */
struct gp_case {
  int n;
  int coord[8]; /* sr1 sc1 sr2 sc2 sp1 sq1 sp2 sq2 */
  int full;     /* calls up to which a right answer scores 1 */
  int zero;     /* calls at which it scores 0 */
};

/* Reads a case from a stream: -1, or the load error index 1..5. On -1 the
   rest of the stream is searched for a score line; *score_ok is 0 when one
   is present but malformed (the case then keeps the defaults). */
int gp_case_load(FILE* in, struct gp_case* c, int* score_ok);

/* Looks for a line "score F Z" (0 <= F <= Z, 32-bit) in bytes: 1 found (full
   and zero set), 0 no score line, -1 a score line that is malformed. */
int gp_find_score(const char* bytes, size_t len, int* full, int* zero);

enum gp_outcome {
  GP_RUNNING,  /* the run goes on */
  GP_ERROR,    /* ended with error index s->error (0..9) */
  GP_REPORTED, /* ended with report: s->count calls, s->answer */
  GP_NO_REPORT /* the program ended without report and without an error */
};

struct gp_session {
  struct gp_case c;
  int load_error;  /* -1, or the index 0..6 the first call reports */
  int score_ok;    /* 0: rods.in has a malformed score line */
  int initialized; /* a first call has been made */
  int count;       /* rect calls so far, the current one included */
  enum gp_outcome outcome;
  int error;     /* with GP_ERROR */
  int answer[8]; /* with GP_REPORTED */
  char* log;     /* rods.log bytes so far (malloc'd, grows) */
  size_t log_len, log_cap;
  int log_failed; /* memory for the transcript ran out */
  size_t log_limit; /* bytes the transcript may hold; 0: no bound */
  int log_over;     /* it would have passed log_limit: the run is over */
  int linked_output; /* the refused line was a linked grader's message */
};

/* Loads the case before the program starts. rods_in NULL: rods.in could not
   be opened (index 0). log_ok 0: rods.log cannot be created (index 6, raised
   only when the case itself is valid). Returns s->load_error. */
int gp_session_load(struct gp_session* s, FILE* rods_in, int log_ok);

/* --log-limit's value in MiB into *mib: 1, or 0 when it is no whole number
   in 1..GP_MAX_LOG_LIMIT_MIB. */
int gp_parse_log_limit(const char* text, unsigned long* mib);

/* Bounds the transcript at mib MiB (gp_session_load sets the default). A
   line that would pass the bound is not written, the transcript keeps its
   whole lines, and the run ends without a verdict: log_over, outcome
   GP_NO_REPORT, no rods.out and no standard-output line. */
void gp_session_set_log_limit(struct gp_session* s, unsigned long mib);

/* Frees the transcript. */
void gp_session_free(struct gp_session* s);

enum gp_step { GP_REPLY, GP_END };

/* Feeds one request line (len bytes, its line feed removed; the bytes need
   not be text). GP_REPLY: send *reply. GP_END: the run has ended, reply "E";
   s->outcome says how. Nothing may be fed after GP_END. */
enum gp_step gp_session_request(struct gp_session* s, const char* line,
                                size_t len, int* reply);

/* The bytes of a request line still waiting for its line feed. */
struct gp_line {
  char bytes[GP_REQUEST_MAX + 1]; /* one past the limit: that byte refuses it */
  size_t len;
};

/* Feeds wire bytes: each whole line goes to gp_session_request and its reply
   is appended to out (*out_len bytes used of cap); a line that grows past
   GP_REQUEST_MAX is refused at once, without waiting for its end; a partial
   line waits in pending. Stops at the end of the run, or when out has no
   room for one more reply. Returns the bytes consumed; *step is GP_END once
   the run has ended (the final "E" is the caller's to send or withhold). */
size_t gp_session_feed(struct gp_session* s, struct gp_line* pending,
                       const char* in, size_t n, char* out, size_t cap,
                       size_t* out_len, enum gp_step* step);

/* The wire ended: a pending partial line is error 7, else no report. */
void gp_session_wire_closed(struct gp_session* s,
                            const struct gp_line* pending);

/* The wire ended mid-request (a line without its line feed): error 7. */
void gp_session_truncated(struct gp_session* s);

/* The wire ended at a line boundary with the run still going. */
void gp_session_no_report(struct gp_session* s);

/* 1 when the linked form would have created rods.log (its first call got
   past loading); then gp_session_log holds its bytes. Otherwise rods.log is
   left as it was. */
int gp_session_log_touched(const struct gp_session* s);
const char* gp_session_log(const struct gp_session* s, size_t* len);

/* The rods.out bytes into buf (GP_OUT_MAX): their length, or 0 when the
   linked form writes no rods.out (running, or no report). */
size_t gp_session_out(const struct gp_session* s, char* buf);

/* The standard-output line with its line feed, or NULL when there is none. */
const char* gp_session_stdout_line(const struct gp_session* s, char* buf,
                                   size_t size);

#endif
