// Owning handles for buffers that come from malloc/calloc (the image operations hand their
// results over that way), so that every early exit of a page releases what it holds.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace qevrender {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

using MallocBytes = std::unique_ptr<uint8_t, FreeDeleter>;

// A buffer of `size` bytes, every byte `fill`; null when the allocation fails or size is 0.
inline MallocBytes AllocFilled(size_t size, uint8_t fill) {
  if (size == 0) return nullptr;
  void* p = fill == 0 ? std::calloc(size, 1) : std::malloc(size);
  if (p && fill != 0) std::memset(p, fill, size);
  return MallocBytes(static_cast<uint8_t*>(p));
}

}  // namespace qevrender
