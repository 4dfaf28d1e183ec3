/* case_files.h: the case directory before and after a run: what was there,
   putting it back, and publishing the run's files whole. */
#ifndef GRIDPROBE_MANAGER_CASE_FILES_H
#define GRIDPROBE_MANAGER_CASE_FILES_H

#include <stddef.h>

/* A file's whole bytes, or present = 0; leave: not ours to put back (a
   directory, or a file this process cannot read). */
struct file_copy {
  int present;
  int leave;
  int link; /* it was a symbolic link */
  int dir;  /* it is (or names) a directory */
  char* bytes; /* malloc'd; the caller frees it */
  size_t len;
};

/* Reads a whole regular file; present = 0 when it does not exist. 0 only
   when memory ran out. */
int read_copy(const char* name, struct file_copy* c);

/* Publishes bytes under name at once: a temporary file, then rename. */
int publish(const char* name, const char* bytes, size_t len);

/* Writes bytes to a new hidden file beside name (its name into tmp), for a
   rename that publishes it whole later. 1, or 0 with errno and no file. */
int stage(const char* name, const char* bytes, size_t len, char tmp[64]);

/* Puts back a file the program changed; old is what it was. */
void restore(const char* name, const struct file_copy* old);

/* Whether fopen("rods.log", "w") would succeed in the linked form. */
int log_creatable(void);

#endif
