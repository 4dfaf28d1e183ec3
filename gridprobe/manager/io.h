/* io.h: the manager's calls into the OS that need care: interrupted calls
   are retried here, and only here. */
#ifndef GRIDPROBE_MANAGER_IO_H
#define GRIDPROBE_MANAGER_IO_H

#include <poll.h>
#include <stddef.h>
#include <sys/types.h>

/* read(2) and write(2), retried while a signal interrupts them. */
ssize_t gp_read(int fd, void* buf, size_t len);
ssize_t gp_write(int fd, const void* buf, size_t len);

/* Writes all len bytes: 1, or 0 once a write fails or writes nothing. */
int gp_write_all(int fd, const void* bytes, size_t len);

/* poll(2), retried while a signal interrupts it. */
int gp_poll(struct pollfd* fds, nfds_t n, int timeout_ms);

/* Sleeps ms milliseconds, however often a signal interrupts. */
void gp_sleep_ms(long ms);

/* A whole file, or its first max bytes, in malloc'd memory with a NUL after
   the last byte (*len excludes it). NULL when it cannot be opened or read,
   errno telling why, or when memory runs out (*out_of_memory is then 1). */
char* gp_read_file(const char* path, size_t max, size_t* len,
                   int* out_of_memory);

/* Seconds on the monotonic clock. */
double gp_now(void);

#endif
