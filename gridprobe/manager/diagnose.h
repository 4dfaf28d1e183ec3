/* diagnose.h: recognising the two easy build mistakes, and what to say. */
#ifndef GRIDPROBE_MANAGER_DIAGNOSE_H
#define GRIDPROBE_MANAGER_DIAGNOSE_H

#include <stddef.h>

#include "session.h"

/* What to tell about such a program: one line, no line feed. */
const char* gp_linked_build_hint(void);

/* Why a session's test case is unusable ("the test case is invalid: ..."),
   into buf; NULL when the case is fine. A case that cannot be read, an
   invalid one and a malformed score line all count. */
const char* gp_case_fault(const struct gp_session* s, char* buf, size_t size);

/* What check says when there is no rods.out at all: one line. */
const char* gp_no_verdict_text(void);

#endif
