// Opening and closing the job's inputs: the raster stream (a file or standard input), the
// PPD with the job's options marked, and the report of a job without pages. Every message is
// one whole "ERROR: " line, so that cupsd shows it as the job's and the printer's state.
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "base/owned.h"
#include "filter/raster_source.h"
#include "filter/rastoqevtspl.h"
#include "logging/vanta.h"

int OpenPageStream(int argc, int* fd, char* argv[], cups_raster_t** raster) {
  if (!argv) {
    VLOG_DEBUG("open file failed");
    return 1;
  }
  if (argc != 6 && argc != 7) {
    fputs("ERROR: rastertoqevcp job-id user title copies options [file]\n", stderr);
    return 1;
  }
  if (argc == 7) {
    const int file = open(argv[6], O_RDONLY);
    if (file < 0) {
      fputs("ERROR: Unable to open raster file\n", stderr);
      sleep(1);
      return 1;
    }
    *fd = file;
  } else {
    *fd = 0;
  }
  // A null stream (no valid synchronisation word) simply yields no page.
  *raster = OpenCountedRaster(*fd);
  return 0;
}

int OpenPpdFile(ppd_file_t** ppd) {
  const char* path = getenv("PPD");
  *ppd = ppdOpenFile(path);
  if (*ppd) return 0;
  fputs("ERROR: The PPD file could not be opened.\n", stderr);
  int line = 0;
  const ppd_status_t status = ppdLastError(&line);
  fprintf(stderr, "ERROR: %s on line %d.\n", ppdErrorString(status), line);
  return 1;
}

void InitializeSetting(const char* options, ppd_file_t* ppd) {
  ppdMarkDefaults(ppd);
  cups_option_t* rawParsed = nullptr;
  const int count = cupsParseOptions(options, 0, &rawParsed);
  const OptionsPtr owner(rawParsed, OptionsDeleter{count});
  if (count <= 0) return;
  const cups_option_t* parsed = owner.get();
  cupsMarkOptions(ppd, count, owner.get());
  // cupsMarkOptions() hands a job option named "Mirror" to the PPD option "MirrorPrint", so
  // the printer's own "Mirror" option would silently keep its default: mark it directly.
  for (int i = 0; i < count; ++i) {
    if (strcasecmp(parsed[i].name, "Mirror") == 0) ppdMarkOption(ppd, "Mirror", parsed[i].value);
  }
}

void CloseStreamFile(ppd_file_t* ppd, cups_raster_t* raster, int fd, int pages) {
  if (ppd) ppdClose(ppd);
  ForgetCountedRaster(raster);
  if (raster) cupsRasterClose(raster);
  if (fd != 0 && fd >= 0) close(fd);
  // Also when the input held no raster stream at all (an empty file or pipe); a job cancelled
  // before its first page is no error.
  if (pages == 0 && !Canceled) fputs("ERROR: No pages were found.\n", stderr);
}
