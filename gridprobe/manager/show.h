/* show.h: a finished run's transcript checked against its case, as page data.
 */
#ifndef GRIDPROBE_MANAGER_SHOW_H
#define GRIDPROBE_MANAGER_SHOW_H

#include <stddef.h>

#include "judge.h"
#include "session.h"

/* Longest transcript line kept; every line the grader writes is shorter. */
#define GP_SHOW_LINE_MAX 160
/* Grids up to this size show their cells; larger ones get a zoom view. */
#ifndef GP_SHOW_CELLS_MAX
#define GP_SHOW_CELLS_MAX 64
#endif
/* The zoom frame covers at least this many cells a side. */
#ifndef GP_SHOW_ZOOM_MIN
#define GP_SHOW_ZOOM_MIN 16
#endif
/* The zoom compares each call with this many calls before it. */
#ifndef GP_SHOW_ZOOM_CALLS
#define GP_SHOW_ZOOM_CALLS 4
#endif

/* A block of cells: rows r1..r2, columns c1..c2 (inclusive). */
struct gp_show_box {
  int r1, r2, c1, c2;
};

struct gp_show_call {
  int line;   /* its line number in the transcript, from 1 */
  int number; /* the call count the line starts with */
  struct gp_show_box box;
  int answer;              /* 1 meets a rod, 0 does not, -1 refused */
  struct gp_show_box zoom; /* the zoom frame while this call is current */
  char text[GP_SHOW_LINE_MAX + 1];
};

enum gp_show_end {
  GP_SHOW_REPORTED,  /* a report after at least one rect */
  GP_SHOW_ERROR,     /* error 7, 8 or 9, in `error` */
  GP_SHOW_NO_REPORT, /* the transcript stops with the run still going */
};

struct gp_show {
  struct gp_case c;
  struct gp_show_call calls[GP_MAX_RECT_CALLS + 1];
  int ncalls;
  int lines; /* transcript lines read */
  int gridsize_calls;
  int ended; /* a last line (report or refusal) has been read */
  enum gp_show_end end;
  int error;       /* with GP_SHOW_ERROR */
  int answer[8];   /* the reported values, with `reported` */
  int reported;    /* the transcript holds a report line */
  int broken_line; /* number of an unfinished last line left out, or 0 */
  char end_text[GP_SHOW_LINE_MAX + 1]; /* the report or lone error line */
  struct gp_judgement verdict;         /* once finished */
  char problem[256]; /* why the transcript was refused, when it was */
};

/* Starts reading a transcript of case c. */
void gp_show_begin(struct gp_show* s, const struct gp_case* c);

/* Feeds one transcript line (len bytes, without its line feed; terminated 0
   for a last line the file does not end with a line feed). Returns 1, or 0
   with s->problem saying why the transcript does not belong to the case. */
int gp_show_line(struct gp_show* s, const char* line, size_t len,
                 int terminated);

/* Ends the transcript: sets the ending, the verdict and the zoom frames. */
void gp_show_finish(struct gp_show* s);

/* The whole transcript in bytes: begin, every line, finish. 1 or 0. */
int gp_show_read(struct gp_show* s, const struct gp_case* c, const char* log,
                 size_t len);

/* Whether the grid is drawn cell by cell (else to scale with a zoom). */
int gp_show_cells(int n);

/* Distance between labelled coordinates on an axis of n cells: 1, 2 or 5
   times a power of ten, giving at most about ten labels. */
int gp_show_tick_step(int n);

/* The cells in which two blocks differ, boxed; 0 when they are the same. */
int gp_show_difference(const struct gp_show_box* a, const struct gp_show_box* b,
                       struct gp_show_box* out);

/* The zoom frame for call i (0-based) of s: a square of the grid around the
   cells in which call i differs least from one of the calls just before. */
struct gp_show_box gp_show_zoom(const struct gp_show* s, int i);

#endif
