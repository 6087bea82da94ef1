// Placeholder job entry; replaced by the page loop.
#include "filter/rastoqevtspl.h"

int RunFilter(int, char*[]) { return 0; }
