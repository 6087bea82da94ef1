// The job's raster stream read through our own input callback, which counts the bytes that
// libcups has taken from the descriptor: a whole page can then be read in one call and a
// short page still cut at the last complete row.
#pragma once

#include <cups/raster.h>

#include <cstdint>

// Opens `fd` for reading like cupsRasterOpen(fd, CUPS_RASTER_READ); null when the stream has
// no valid synchronisation word. One counted stream per process (the job has one).
cups_raster_t* OpenCountedRaster(int fd);

// For a stream from OpenCountedRaster whose pixel data is not compressed (libcups then copies
// it straight from the descriptor into the caller's buffer): the bytes taken from the
// descriptor so far. False for any other stream.
bool CountedRasterBytes(const cups_raster_t* raster, uint64_t* bytes);

// Forgets the counted stream (before cupsRasterClose).
void ForgetCountedRaster(const cups_raster_t* raster);
