/* show_page.h: writes the page that pictures a checked transcript. */
#ifndef GRIDPROBE_MANAGER_SHOW_PAGE_H
#define GRIDPROBE_MANAGER_SHOW_PAGE_H

#include <stdio.h>

#include "show.h"

/* One self-contained HTML file: the grid, the rods, every call, a step
   control over them, and the verdict. */
void gp_show_page(FILE* out, const struct gp_show* s, const char* title);

#endif
