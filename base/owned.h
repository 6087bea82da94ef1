// Owning handles for what the filter gets from C interfaces: malloc/calloc buffers (the image
// operations hand their results over that way), the PPD, the raster stream, parsed options
// and stdio files. Every early exit then releases what it holds; raw-buffer signatures stay.
#pragma once

#include <cups/cups.h>
#include <cups/ppd.h>
#include <cups/raster.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

// A malloc/calloc block of T (T[] for arrays), released with free.
template <typename T>
using MallocPtr = std::unique_ptr<T, FreeDeleter>;
using MallocBytes = MallocPtr<uint8_t>;

// A buffer of `size` bytes, every byte `fill`; null when the allocation fails or size is 0.
inline MallocBytes AllocFilled(size_t size, uint8_t fill) {
  if (size == 0) return nullptr;
  void* p = fill == 0 ? std::calloc(size, 1) : std::malloc(size);
  if (p && fill != 0) std::memset(p, fill, size);
  return MallocBytes(static_cast<uint8_t*>(p));
}

// The PPD interface is deprecated in CUPS but is the one the filter is built on.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
struct PpdDeleter {
  void operator()(ppd_file_t* ppd) const { ppdClose(ppd); }
};
using PpdPtr = std::unique_ptr<ppd_file_t, PpdDeleter>;
#pragma GCC diagnostic pop

struct RasterDeleter {
  void operator()(cups_raster_t* raster) const { cupsRasterClose(raster); }
};
using RasterPtr = std::unique_ptr<cups_raster_t, RasterDeleter>;

// cupsFreeOptions needs the count that cupsParseOptions returned.
struct OptionsDeleter {
  int count = 0;
  void operator()(cups_option_t* options) const { cupsFreeOptions(count, options); }
};
using OptionsPtr = std::unique_ptr<cups_option_t, OptionsDeleter>;

struct FileDeleter {
  void operator()(FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileDeleter>;
