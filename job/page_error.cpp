// One writer for the "ERROR: Page N ..." lines, so that CUPS gets them whole and alike.
#include "job/page_error.h"

#include <cstdio>

void ReportPageError(unsigned page, const char* what, const char* why) {
  fprintf(stderr, "ERROR: Page %u %s: %s\n", page, what, why);
}
