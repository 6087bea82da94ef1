// The libcups read-only floor of a job: opens the raster like the filter and reads every
// page's pixels row by row with cupsRasterReadPixels, doing nothing else. The job benchmark
// spawns it beside the filter so that each figure has a floor from the same run to divide by.
#include <cups/raster.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    fputs("usage: qev_raster_floor file.ras\n", stderr);
    return 2;
  }
  const int fd = open(argv[1], O_RDONLY);
  if (fd < 0) {
    perror(argv[1]);
    return 1;
  }
  cups_raster_t* raster = cupsRasterOpen(fd, CUPS_RASTER_READ);
  cups_page_header2_t header;
  std::vector<unsigned char> row;
  int pages = 0;
  while (raster && cupsRasterReadHeader2(raster, &header)) {
    row.resize(header.cupsBytesPerLine);
    for (unsigned y = 0; y < header.cupsHeight; ++y) {
      if (cupsRasterReadPixels(raster, row.data(), header.cupsBytesPerLine) == 0) break;
    }
    ++pages;
  }
  if (raster) cupsRasterClose(raster);
  close(fd);
  return pages > 0 ? 0 : 1;
}
