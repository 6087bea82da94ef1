// The job entry and page loop: arguments, raster stream, PPD, cancel flag and page buffer.
#pragma once

int RunFilter(int argc, char* argv[]);
