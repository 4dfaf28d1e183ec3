/* stream_wire.h: serving a session over a plain pair of descriptors, as the
   judges that join the program's stdout and stdin to ours do. */
#ifndef GRIDPROBE_MANAGER_STREAM_WIRE_H
#define GRIDPROBE_MANAGER_STREAM_WIRE_H

#include "session.h"

/* How the wire ended. */
enum wire_end { WIRE_VERDICT, WIRE_CLOSED };

/* Answers requests read from in on out until the session ends (its final
   reply NOT sent: the form decides when it may leave) or the program closes
   the wire. */
enum wire_end gp_serve_stream(struct gp_session* s, int in, int out);

#endif
