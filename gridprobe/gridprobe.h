/* gridprobe.h: the three grader calls a contestant's C or C++ program makes. */
#ifndef GRIDPROBE_H
#define GRIDPROBE_H

#if defined(__GNUC__)
#define GRIDPROBE_NORETURN __attribute__((noreturn))
#else
#define GRIDPROBE_NORETURN
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The grid size N; free, any number of times. */
int gridsize(void);

/* 1 if rows r1..r2 by columns c1..c2 meet a rod, else 0; at most 400 calls. */
int rect(int r1, int r2, int c1, int c2);

/* The answer: rod 1 as a1..a4, rod 2 as a5..a8; ends the process. */
GRIDPROBE_NORETURN void report(int a1, int a2, int a3, int a4, int a5, int a6,
                               int a7, int a8);

#ifdef __cplusplus
}
#endif

#endif
