/* stub.c: libcgridprobe.a of the split form, built from the one header. */
#include "gridprobe_stub.h"
