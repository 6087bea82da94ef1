// Raster input callback that counts the bytes read and remembers the synchronisation word,
// which tells compressed streams (version 2) from uncompressed ones (versions 1 and 3).
#include "filter/raster_source.h"

#include <errno.h>
#include <unistd.h>

#include <cstring>

namespace {

struct CountedSource {
  int fd = -1;
  uint64_t bytes = 0;
  unsigned char sync[4] = {};
  const cups_raster_t* raster = nullptr;
};

CountedSource gSource;

ssize_t ReadCounted(void* ctx, unsigned char* buffer, size_t length) {
  CountedSource* source = static_cast<CountedSource*>(ctx);
  ssize_t n;
  while ((n = read(source->fd, buffer, length)) < 0) {
    if (errno != EINTR && errno != EAGAIN) return -1;
  }
  for (ssize_t i = 0; i < n && source->bytes + uint64_t(i) < sizeof source->sync; ++i) {
    source->sync[source->bytes + uint64_t(i)] = buffer[i];
  }
  source->bytes += uint64_t(n);
  return n;
}

bool Uncompressed(const unsigned char* sync) {
  static const char* const kPlain[] = {"RaSt", "tSaR", "RaS3", "3SaR"};
  for (const char* word : kPlain) {
    if (memcmp(sync, word, 4) == 0) return true;
  }
  return false;
}

}  // namespace

cups_raster_t* OpenCountedRaster(int fd) {
  gSource = CountedSource{};
  gSource.fd = fd;
  cups_raster_t* raster = cupsRasterOpenIO(ReadCounted, &gSource, CUPS_RASTER_READ);
  gSource.raster = raster;
  return raster;
}

bool CountedRasterBytes(const cups_raster_t* raster, uint64_t* bytes) {
  if (!raster || raster != gSource.raster || !Uncompressed(gSource.sync)) return false;
  *bytes = gSource.bytes;
  return true;
}

void ForgetCountedRaster(const cups_raster_t* raster) {
  if (raster && raster == gSource.raster) gSource = CountedSource{};
}
