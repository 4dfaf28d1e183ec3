/* diagnose.c: a linked-form program speaks the grader's messages, not
   requests; spotting it turns "Invalid library function call." into advice. */
#include "diagnose.h"

#include <stdio.h>


const char* gp_linked_build_hint(void) {
  return "the program printed a grader message instead of a request: it was "
         "built against the linked library; rebuild it against the split stub "
         "(pkg-config cgridprobe-split, or the judges' gridprobe.h and "
         "pgridprobe unit) to run it under gridprobe-manager";
}

const char* gp_no_verdict_text(void) {
  return "No verdict: there is no rods.out (the program ended without "
         "calling report).";
}

const char* gp_case_fault(const struct gp_session* s, char* buf, size_t size) {
  if (s->load_error == 0)
    snprintf(buf, size, "the test case cannot be read");
  else if (s->load_error >= 1 && s->load_error <= 5)
    snprintf(buf, size, "the test case is invalid: %s",
             gp_message(s->load_error));
  else if (!s->score_ok)
    snprintf(buf, size,
             "the test case is invalid: its score line is not \"score F Z\" "
             "with 0 <= F <= Z");
  else
    return NULL;
  return buf;
}
