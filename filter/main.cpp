// rastertoqevcp: CUPS raster filter for TSPL label printers (job entry).
#include "filter/rastoqevtspl.h"

int main(int argc, char* argv[]) { return RunFilter(argc, argv); }
