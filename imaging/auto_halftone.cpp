// Halftone method Auto: a class map marks the pixels near hard edges, then one serpentine
// pass thresholds those (and near-black and near-white pixels) and error-diffuses the rest.
// The tuning constants were chosen with bench/quality/run.sh; see the README's Halftone section.
#include "imaging/auto_halftone.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// A 3 x 3 neighbourhood holds a hard edge when its levels spread by at least kEdgeContrast
// and its lightest level is paper or a light tint: bars, modules, glyph strokes and rules.
// Smooth pictures rarely change this much within two dots.
constexpr int kEdgeContrast = 96;
constexpr int kEdgeLight = 144;
// Pixels this close to an edge are always thresholded, so an edge lies exactly where the
// fixed threshold puts it, anti-aliased rims included.
constexpr uint32_t kCoreDots = 2;
// Tones beyond these are thresholded: a dither dot in near-white paper or a hole in a bar
// helps no picture and hurts every code.
constexpr int kNearBlack = 8;
constexpr int kNearWhite = 247;
constexpr int kMid = 128;  // the fixed threshold: white above it

// Class map bits: h* from the row pass, the others after the column passes.
constexpr uint8_t kRowCore = 1, kRowGuard = 2, kCore = 4, kGuard = 8;

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Scratch = std::unique_ptr<T[], FreeDeleter>;

template <typename T>
Scratch<T> Allocate(size_t count) {
  return Scratch<T>(static_cast<T*>(std::calloc(count, sizeof(T))));
}

// Guard zones grow from an edge only through pixels within kLevelMatch of the edge's light
// side: the paper or tint of a quiet zone or a space. A picture beside a code differs from
// that level, so it keeps its dither up to the edge's core.
constexpr int kLevelMatch = 24;
constexpr uint32_t kFar = UINT32_MAX / 2;

// One step of a guard walk: the distance and light level carried on to a pixel of level v.
inline void Walk(int v, uint32_t& d, int& light) {
  if (d < kFar && std::abs(v - light) <= kLevelMatch) {
    ++d;
  } else {
    d = kFar;
  }
}

// Row pass: marks the hard edges of row y, the pixels of that row within kCoreDots of one,
// and those reached by a guard walk of at most guard dots (their light level into level).
// scratch holds 3 * w bytes.
void MarkRow(const uint8_t* src, uint32_t stride, uint32_t w, uint32_t h, uint32_t y,
             uint32_t guard, uint8_t* scratch, uint8_t* cls, uint8_t* level) {
  const uint8_t* rows[3] = {src + static_cast<size_t>(y > 0 ? y - 1 : y) * stride,
                            src + static_cast<size_t>(y) * stride,
                            src + static_cast<size_t>(y + 1 < h ? y + 1 : y) * stride};
  uint8_t *lo = scratch, *hi = scratch + w, *light = scratch + 2 * w;
  for (uint32_t x = 0; x < w; ++x) {  // column minimum and maximum first
    const uint8_t a = rows[0][x], b = rows[1][x], c = rows[2][x];
    lo[x] = std::min(a, std::min(b, c));
    hi[x] = std::max(a, std::max(b, c));
  }
  for (uint32_t x = 0; x < w; ++x) {
    const uint32_t l = x > 0 ? x - 1 : x, r = x + 1 < w ? x + 1 : x;
    const int mn = std::min(lo[l], std::min(lo[x], lo[r]));
    const int mx = std::max(hi[l], std::max(hi[x], hi[r]));
    cls[x] = mx - mn >= kEdgeContrast && mx >= kEdgeLight;
    light[x] = static_cast<uint8_t>(mx);
  }
  // From the left: plain distance into lo, guard walk distance into hi, its level into light.
  uint32_t plain = kFar, walk = kFar;
  int carried = 0;
  for (uint32_t x = 0; x < w; ++x) {
    if (cls[x]) {
      plain = walk = 0;
      carried = light[x];
    } else {
      ++plain;
      Walk(rows[1][x], walk, carried);
    }
    lo[x] = static_cast<uint8_t>(std::min<uint32_t>(plain, 255));
    hi[x] = static_cast<uint8_t>(std::min<uint32_t>(walk, 255));
    light[x] = static_cast<uint8_t>(carried);
  }
  plain = walk = kFar;
  for (uint32_t x = w; x-- > 0;) {
    if (cls[x]) {
      plain = walk = 0;
      carried = light[x];
    } else {
      ++plain;
      Walk(rows[1][x], walk, carried);
    }
    const bool fromLeft = hi[x] < walk;
    const uint32_t near = std::min<uint32_t>(plain, lo[x]);
    const uint32_t reach = fromLeft ? hi[x] : walk;
    level[x] = fromLeft ? light[x] : static_cast<uint8_t>(carried);
    cls[x] =
        static_cast<uint8_t>((near <= kCoreDots ? kRowCore : 0) | (reach <= guard ? kRowGuard : 0));
  }
}

// Column passes: spreads the core marks up and down by the same distance and continues the
// guard walks along the columns, so that each edge gets a square core and a guard zone that
// follows its paper or tint.
void SpreadColumns(const uint8_t* src, uint32_t stride, uint8_t* cls, const uint8_t* level,
                   uint32_t w, uint32_t h, uint32_t guard, uint32_t* core, uint32_t* walk,
                   int* light) {
  auto pass = [&](uint32_t y) {
    uint8_t* c = cls + static_cast<size_t>(y) * w;
    const uint8_t* s = src + static_cast<size_t>(y) * stride;
    const uint8_t* l = level + static_cast<size_t>(y) * w;
    for (uint32_t x = 0; x < w; ++x) {
      core[x] = (c[x] & kRowCore) ? 0 : core[x] + 1;
      if (c[x] & kRowGuard) {
        walk[x] = 0;
        light[x] = l[x];
      } else {
        Walk(s[x], walk[x], light[x]);
      }
      c[x] |= static_cast<uint8_t>((core[x] <= kCoreDots ? kCore : 0) |
                                   (walk[x] <= guard ? kGuard : 0));
    }
  };
  std::fill(core, core + w, kFar);
  std::fill(walk, walk + w, kFar);
  for (uint32_t y = 0; y < h; ++y) pass(y);
  std::fill(core, core + w, kFar);
  std::fill(walk, walk + w, kFar);
  for (uint32_t y = h; y-- > 0;) pass(y);
}

// Whether a pixel of level v and class c is left to the error diffusion: a mid tone away from
// edges, or a dark mid tone in a guard zone (the dark side of a picture's border; the light
// side of every edge stays clean).
inline bool Diffused(int v, uint8_t c) {
  return !(c & kCore) && !((c & kGuard) && v > kMid) && v > kNearBlack && v < kNearWhite;
}

}  // namespace

int AutoHalftone(const uint8_t* src, uint8_t* dst, uint32_t height, uint32_t width, uint32_t stride,
                 uint32_t guard, bool negative) {
  if (src == nullptr || dst == nullptr || stride < width) return 0;
  if (width == 0 || height == 0) return 1;
  const uint8_t white = negative ? 0 : 255, black = negative ? 255 : 0;
  guard = std::min<uint32_t>(std::max(guard, kCoreDots), 254);
  const size_t pixels = static_cast<size_t>(width) * height;
  Scratch<uint8_t> cls = Allocate<uint8_t>(pixels);
  Scratch<uint8_t> level = Allocate<uint8_t>(pixels);
  Scratch<uint8_t> rowScratch = Allocate<uint8_t>(3 * static_cast<size_t>(width));
  Scratch<uint32_t> columns = Allocate<uint32_t>(2 * static_cast<size_t>(width));
  Scratch<int> lights = Allocate<int>(width);
  // Error rows with one sink cell at each end, for shares that fall off the page.
  Scratch<int32_t> errors = Allocate<int32_t>(2 * (static_cast<size_t>(width) + 2));
  if (!cls || !level || !rowScratch || !columns || !lights || !errors) return 0;

  for (uint32_t y = 0; y < height; ++y) {
    MarkRow(src, stride, width, height, y, guard, rowScratch.get(),
            cls.get() + static_cast<size_t>(y) * width,
            level.get() + static_cast<size_t>(y) * width);
  }
  SpreadColumns(src, stride, cls.get(), level.get(), width, height, guard, columns.get(),
                columns.get() + width, lights.get());

  int32_t* cur = errors.get();
  int32_t* next = cur + width + 2;
  for (uint32_t y = 0; y < height; ++y) {
    std::swap(cur, next);
    std::fill(next, next + width + 2, 0);
    const uint8_t* s = src + static_cast<size_t>(y) * stride;
    const uint8_t* c = cls.get() + static_cast<size_t>(y) * width;
    uint8_t* d = dst + static_cast<size_t>(y) * stride;
    // Serpentine order keeps the diffusion from drawing diagonal worms in flat tints.
    const int dir = (y % 2 == 0) ? 1 : -1;
    for (uint32_t i = 0; i < width; ++i) {
      const uint32_t x = dir > 0 ? i : width - 1 - i;
      const int v = s[x];
      if (!Diffused(v, c[x])) {  // error that reaches a thresholded pixel is dropped
        d[x] = v > kMid ? white : black;
        continue;
      }
      const int level = v + cur[x + 1];
      const bool isWhite = level > kMid;
      d[x] = isWhite ? white : black;
      const int e = level - (isWhite ? 255 : 0);
      const int ahead = e * 7 / 16, behind = e * 3 / 16, below = e * 5 / 16;
      cur[x + 1 + dir] += ahead;
      next[x + 1 - dir] += behind;
      next[x + 1] += below;
      next[x + 1 + dir] += e - ahead - behind - below;  // the remainder: no error is lost
    }
  }
  return 1;
}
