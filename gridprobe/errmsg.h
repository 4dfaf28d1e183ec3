/* errmsg.h: the grader's ten messages, one table for the library and the manager. */
#ifndef GRIDPROBE_ERRMSG_H
#define GRIDPROBE_ERRMSG_H

static const char* const errmsg[10] = {
    "Cannot open the input file.",
    "Invalid input file.",
    "N is out of range. (should be 5~10000)",
    "One of the coordinates is out of range.",
    "ROD1 is not valid.",
    "ROD2 is not valid.",
    "Cannot create the log file.",
    "Invalid library function call.",
    "Too many rect() calls.",
    "No rect() call.",
};

#endif
