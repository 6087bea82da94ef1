// Halftone method Auto in two passes over the page: going up, each row's hard edges, cores and
// guard walks are found and spread upwards; going down, they are spread downwards and the row
// is thresholded or error-diffused. Tuned with bench/quality/run.sh (README, Halftone section).
#include "imaging/auto_halftone.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

// A 3 x 3 neighbourhood holds a hard edge when its levels spread by at least kEdgeContrast
// and its lightest level is paper or a light tint: bars, modules, glyph strokes and rules.
// Smooth pictures rarely change this much within two dots.
constexpr uint8_t kEdgeContrast = 96;
constexpr uint8_t kEdgeLight = 144;
// Pixels this close to an edge are always thresholded, so an edge lies exactly where the
// fixed threshold puts it, anti-aliased rims included.
constexpr uint8_t kCoreDots = 2;
// Tones beyond these are thresholded: a dither dot in near-white paper or a hole in a bar
// helps no picture and hurts every code.
constexpr uint8_t kNearBlack = 8;
constexpr uint8_t kNearWhite = 247;
constexpr uint8_t kMid = 128;  // the fixed threshold: white above it
// Guard zones grow from an edge only through pixels within kLevelMatch of the edge's light
// side: the paper or tint of a quiet zone or a space. A picture beside a code differs from
// that level, so it keeps its dither up to the edge's core.
constexpr uint8_t kLevelMatch = 24;

// Class bits of a pixel: near an edge along its row, then near an edge, in a guard zone.
constexpr uint8_t kRowCore = 1, kCore = 2, kGuard = 4;

// Sixteen pixels at a time for everything but the walks along a row and the diffusion.
typedef uint8_t Bytes __attribute__((vector_size(16)));
constexpr size_t kLanes = sizeof(Bytes);
// Rows in scratch are padded to whole vectors, with a margin on both sides for the
// neighbours of the first and last pixel.
constexpr size_t kMargin = kLanes;

inline Bytes Load(const uint8_t* p) {
  Bytes v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline void Store(uint8_t* p, Bytes v) { std::memcpy(p, &v, sizeof v); }
inline Bytes Splat(uint8_t b) { return Bytes{} + b; }
template <typename Cmp>
inline Bytes Mask(Cmp c) {
  return reinterpret_cast<Bytes>(c);
}
inline Bytes Select(Bytes m, Bytes a, Bytes b) { return (a & m) | (b & ~m); }
inline Bytes Min(Bytes a, Bytes b) { return Select(Mask(a < b), a, b); }
inline Bytes Max(Bytes a, Bytes b) { return Select(Mask(a > b), a, b); }

// The page and the one scratch block: full-page class and guard-level maps (pitch bytes a
// row) and the row and column buffers.
struct Work {
  const uint8_t* src;
  uint32_t w, h, stride;
  uint8_t guard;  // at most 254: guard + 1 is the "no guard walk" distance
  size_t pitch;   // w rounded up to whole vectors
  uint8_t* cls;
  uint8_t* level;                   // light level a row guard walk carries, 0 where there is none
  uint8_t* window[3];               // source rows y - 1, y, y + 1 with margins, edges repeated
  uint8_t *lo, *hi, *edge, *light;  // with margins
  uint8_t *fwdDist, *fwdLevel, *backDist, *backLevel, *rowCore, *marks;
  uint8_t *coreDist, *walkDist, *walkLevel;  // per column, carried from row to row
  int32_t* errors;                           // two rows of w + 2, a sink cell at each end

  const uint8_t* SrcRow(uint32_t y) const { return src + static_cast<size_t>(y) * stride; }
};

// Copies source row y into a padded buffer, repeating its first and last pixel outwards.
void CopyRow(const Work& k, uint32_t y, uint8_t* padded) {
  const uint8_t* s = k.SrcRow(y);
  std::memset(padded, s[0], kMargin);
  std::memcpy(padded + kMargin, s, k.w);
  std::memset(padded + kMargin + k.w, s[k.w - 1], k.pitch - k.w + kMargin);
}

// Marks the hard edges of the centre window row, their light level (the 3 x 3 maximum) and
// the row's pixels within kCoreDots of an edge.
void MarkEdges(const Work& k) {
  const size_t span = k.pitch + 2 * kMargin;
  for (size_t x = 0; x < span; x += kLanes) {
    const Bytes a = Load(k.window[0] + x), b = Load(k.window[1] + x), c = Load(k.window[2] + x);
    Store(k.lo + x, Min(a, Min(b, c)));
    Store(k.hi + x, Max(a, Max(b, c)));
  }
  const uint8_t *lo = k.lo + kMargin, *hi = k.hi + kMargin;
  uint8_t* edge = k.edge + kMargin;
  for (size_t x = 0; x < k.pitch; x += kLanes) {
    const Bytes mn = Min(Load(lo + x - 1), Min(Load(lo + x), Load(lo + x + 1)));
    const Bytes mx = Max(Load(hi + x - 1), Max(Load(hi + x), Load(hi + x + 1)));
    Store(edge + x, Mask(mx - mn >= kEdgeContrast) & Mask(mx >= kEdgeLight));
    Store(k.light + kMargin + x, mx);
  }
  std::memset(edge + k.w, 0, k.pitch - k.w);  // the padding has no edges
  for (size_t x = 0; x < k.pitch; x += kLanes) {
    const Bytes near = Load(edge + x - 2) | Load(edge + x - 1) | Load(edge + x) |
                       Load(edge + x + 1) | Load(edge + x + 2);
    Store(k.rowCore + x, near & kRowCore);
  }
}

// Lane shifts along a walk: lane i takes lane i - s (dir > 0) or lane i + s, zero at the end.
template <int dir, int s>
constexpr int From(int i) {
  return dir > 0 ? (i >= s ? i - s : 16) : (i + s < 16 ? i + s : 16);
}
template <int dir, int s>
inline Bytes Shift(Bytes x) {
  return __builtin_shufflevector(x, Bytes{}, From<dir, s>(0), From<dir, s>(1), From<dir, s>(2),
                                 From<dir, s>(3), From<dir, s>(4), From<dir, s>(5), From<dir, s>(6),
                                 From<dir, s>(7), From<dir, s>(8), From<dir, s>(9),
                                 From<dir, s>(10), From<dir, s>(11), From<dir, s>(12),
                                 From<dir, s>(13), From<dir, s>(14), From<dir, s>(15));
}
// The largest value at or behind each lane, in four doubling steps.
template <int dir>
inline Bytes RunningMax(Bytes m) {
  m = Max(m, Shift<dir, 1>(m));
  m = Max(m, Shift<dir, 2>(m));
  m = Max(m, Shift<dir, 4>(m));
  return Max(m, Shift<dir, 8>(m));
}
// Each lane takes val from the nearest lane at or behind it where has is set; has tells
// whether there was one.
template <int dir>
inline Bytes NearestBehind(Bytes& has, Bytes val) {
  val = Select(has, val, Shift<dir, 1>(val)), has |= Shift<dir, 1>(has);
  val = Select(has, val, Shift<dir, 2>(val)), has |= Shift<dir, 2>(has);
  val = Select(has, val, Shift<dir, 4>(val)), has |= Shift<dir, 4>(has);
  val = Select(has, val, Shift<dir, 8>(val)), has |= Shift<dir, 8>(has);
  return val;
}
inline bool AllZero(Bytes v) {
  uint64_t half[2];
  std::memcpy(half, &v, sizeof half);
  return (half[0] | half[1]) == 0;
}

// A guard walk along the row from each edge, in direction dir, through pixels within
// kLevelMatch of the edge's light level, for at most guard dots: distances into dist
// (guard + 1 where no walk arrives) and the carried level into walkLevel. Sixteen pixels a
// step: a pixel's walk starts at the nearest edge behind it and ends at the first pixel that
// strays from the level, which two running maxima of lane numbers find.
template <int dir>
void WalkRow(const Work& k, uint8_t* dist, uint8_t* walkLevel) {
  const uint8_t* edge = k.edge + kMargin;
  const uint8_t* light = k.light + kMargin;
  const uint8_t* v = k.window[1] + kMargin;
  const uint8_t far = static_cast<uint8_t>(k.guard + 1);
  const Bytes farV = Splat(far);
  // Steps from the start of the block to each lane, counted in the walk's direction.
  const Bytes steps = dir > 0 ? Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}
                              : Bytes{16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1};
  constexpr int lastLane = dir > 0 ? 15 : 0;
  uint8_t inDist = far, inLevel = 0;  // the walk arriving from the previous block
  for (size_t b = 0; b < k.pitch; b += kLanes) {
    const size_t x = dir > 0 ? b : k.pitch - kLanes - b;
    const Bytes isEdge = Load(edge + x);
    if (inDist == far && AllZero(isEdge)) {  // rows are mostly far from edges
      Store(dist + x, farV);
      continue;
    }
    Bytes has = isEdge;  // NearestBehind updates it: read it only afterwards
    const Bytes behind = NearestBehind<dir>(has, Load(light + x) & isEdge);
    const Bytes level = Select(has, behind, Splat(inLevel));
    const Bytes s = Load(v + x);
    const Bytes stray = ~isEdge & Mask(Max(s, level) - Min(s, level) > kLevelMatch);
    const Bytes lastEdge = RunningMax<dir>(isEdge & steps);
    const Bytes lastStray = RunningMax<dir>(stray & steps);
    Bytes fromIn = Splat(inDist) + steps;
    fromIn |= Mask(fromIn < steps);  // saturates
    const Bytes d = Select(Mask(lastEdge > lastStray), steps - lastEdge,
                           Select(Mask((lastEdge | lastStray) == 0), fromIn, farV));
    const Bytes clipped = Min(d, farV);
    Store(dist + x, clipped);
    Store(walkLevel + x, level);
    inDist = clipped[lastLane];
    inLevel = level[lastLane];
  }
}

// The row's guard levels into level: that of the nearer walk, 0 where neither reaches.
void CombineWalks(const Work& k, uint8_t* level) {
  const Bytes far = Splat(k.guard + 1);
  for (size_t x = 0; x < k.pitch; x += kLanes) {
    const Bytes f = Load(k.fwdDist + x), b = Load(k.backDist + x);
    Store(level + x,
          Select(Mask(f < b), Load(k.fwdLevel + x), Load(k.backLevel + x)) & Mask(Min(f, b) < far));
  }
}

// One row of the column passes: core distances and guard walks carried on from the previous
// row, restarted where this row has a row core or a row guard level. Writes flags | kCore |
// kGuard into out.
void ColumnStep(const Work& k, const uint8_t* v, const uint8_t* flags, const uint8_t* rowLevel,
                uint8_t* out) {
  const Bytes far = Splat(k.guard + 1), one = Splat(1);
  for (size_t x = 0; x < k.pitch; x += kLanes) {
    const Bytes f = Load(flags + x), row = Load(rowLevel + x), s = Load(v + x);
    const Bytes restartCore = Mask((f & kRowCore) != 0), restartWalk = Mask(row != 0);
    const Bytes core = ~restartCore & Min(Load(k.coreDist + x) + one, Splat(kCoreDots + 1));
    Bytes walk = Load(k.walkDist + x), level = Load(k.walkLevel + x);
    const Bytes matches = Mask(Max(s, level) - Min(s, level) <= kLevelMatch);
    walk = ~restartWalk & Select(matches & Mask(walk < far), walk + one, far);
    level = Select(restartWalk, row, level);
    Store(k.coreDist + x, core);
    Store(k.walkDist + x, walk);
    Store(k.walkLevel + x, level);
    Store(out + x, f | (Mask(core <= kCoreDots) & kCore) | (Mask(walk < far) & kGuard));
  }
}

// Going up: finds each row's edges and walks and spreads them to the rows above.
void MarkUpwards(Work& k) {
  uint8_t** win = k.window;
  const uint32_t last = k.h - 1;
  CopyRow(k, last, win[2]);
  CopyRow(k, last, win[1]);
  CopyRow(k, last > 0 ? last - 1 : 0, win[0]);
  for (uint32_t y = last;; --y) {
    MarkEdges(k);
    WalkRow<1>(k, k.fwdDist, k.fwdLevel);
    WalkRow<-1>(k, k.backDist, k.backLevel);
    uint8_t* cls = k.cls + y * k.pitch;
    uint8_t* level = k.level + y * k.pitch;
    CombineWalks(k, level);
    ColumnStep(k, win[1] + kMargin, k.rowCore, level, cls);
    if (y == 0) break;
    std::rotate(win, win + 2, win + 3);  // the row above becomes the centre
    CopyRow(k, y >= 2 ? y - 2 : 0, win[0]);
  }
}

// Serpentine Floyd-Steinberg over the diffused pixels of one row (mask non-zero); the error
// that reaches a thresholded pixel is dropped, so no dot spills into a quiet zone.
template <int dir>
void DiffuseRow(const uint8_t* v, const uint8_t* mask, uint8_t* d, uint32_t w, int32_t* cur,
                int32_t* next, uint8_t white, uint8_t black) {
  const uint8_t* const end = dir > 0 ? mask + w : mask - 1;
  const uint8_t* p = dir > 0 ? mask : mask + w - 1;
  while (p != end) {
    // Thresholded runs (paper, codes, text) are skipped in one library scan.
    p = static_cast<const uint8_t*>(dir > 0 ? std::memchr(p, 0xff, end - p)
                                            : memrchr(mask, 0xff, p - mask + 1));
    if (p == nullptr) return;
    // The share handed on along the row and the shares for the two cells of the next row
    // that are still open stay in registers; each next-row cell is written once.
    int carry = 0, open1 = 0, open2 = 0;
    for (; p != end && *p; p += dir) {
      const size_t x = p - mask;
      const int level = v[x] + cur[x + 1] + carry;
      // A dithered tone makes this decision at random: arithmetic, not a branch.
      const int isWhite = level > kMid;
      d[x] = static_cast<uint8_t>(black ^ ((white ^ black) & -isWhite));
      const int e = level - (255 & -isWhite);
      const int ahead = e * 7 / 16, behind = e * 3 / 16, below = e * 5 / 16;
      carry = ahead;
      next[x + 1 - dir] += open1 + behind;
      open1 = open2 + below;
      open2 = e - ahead - behind - below;  // the remainder: no error is lost
    }
    const size_t last = p - dir - mask;
    next[last + 1] += open1;
    next[last + 1 + dir] += open2;
  }
}

// Going down: spreads the marks to the rows below and halftones each row.
void HalftoneDownwards(Work& k, uint8_t* dst, uint32_t dstStride, bool negative) {
  const uint8_t white = negative ? 0 : 255, black = negative ? 255 : 0;
  const Bytes whiteV = Splat(white), blackV = Splat(black);
  int32_t* cur = k.errors;
  int32_t* next = cur + k.w + 2;
  uint8_t* v = k.window[1] + kMargin;
  uint8_t* out = k.fwdDist;  // free after the first pass
  for (uint32_t y = 0; y < k.h; ++y) {
    CopyRow(k, y, k.window[1]);
    uint8_t* cls = k.cls + y * k.pitch;
    ColumnStep(k, v, cls, k.level + y * k.pitch, cls);
    for (size_t x = 0; x < k.pitch; x += kLanes) {
      const Bytes s = Load(v + x), c = Load(cls + x);
      const Bytes light = Mask(s > kMid);
      const Bytes keep = Mask((c & kCore) != 0) | (Mask((c & kGuard) != 0) & light) |
                         Mask(s <= kNearBlack) | Mask(s >= kNearWhite);
      Store(k.marks + x, ~keep);
      Store(out + x, Select(light, whiteV, blackV));
    }
    uint8_t* d = dst + static_cast<size_t>(y) * dstStride;
    std::memcpy(d, out, k.w);
    std::swap(cur, next);
    std::fill(next, next + k.w + 2, 0);
    // Serpentine order keeps the diffusion from drawing diagonal worms in flat tints.
    if (y % 2 == 0) {
      DiffuseRow<1>(v, k.marks, d, k.w, cur, next, white, black);
    } else {
      DiffuseRow<-1>(v, k.marks, d, k.w, cur, next, white, black);
    }
  }
}

}  // namespace

int AutoHalftone(const uint8_t* src, uint8_t* dst, uint32_t height, uint32_t width, uint32_t stride,
                 uint32_t guard, bool negative) {
  if (src == nullptr || dst == nullptr || stride < width) return 0;
  if (width == 0 || height == 0) return 1;
  Work k{};
  k.src = src;
  k.w = width;
  k.h = height;
  k.stride = stride;
  k.guard = static_cast<uint8_t>(std::min<uint32_t>(std::max<uint32_t>(guard, kCoreDots), 254));
  k.pitch = (static_cast<size_t>(width) + kLanes - 1) / kLanes * kLanes;
  const size_t padded = k.pitch + 2 * kMargin, errorBytes = 2 * (width + size_t{2}) * 4;
  const size_t bytes = errorBytes + 2 * k.pitch * height + 7 * padded + 9 * k.pitch;
  // calloc: the padding lanes are read (and ignored) before anything writes them.
  void* block = std::calloc(bytes, 1);
  if (block == nullptr) return 0;
  k.errors = static_cast<int32_t*>(block);
  uint8_t* p = static_cast<uint8_t*>(block) + errorBytes;
  auto take = [&p](size_t n) { return std::exchange(p, p + n); };
  k.cls = take(k.pitch * height);
  k.level = take(k.pitch * height);
  for (uint8_t*& row : k.window) row = take(padded);
  for (uint8_t** row : {&k.lo, &k.hi, &k.edge, &k.light}) *row = take(padded);
  for (uint8_t** row : {&k.fwdDist, &k.fwdLevel, &k.backDist, &k.backLevel, &k.rowCore, &k.marks,
                        &k.coreDist, &k.walkDist, &k.walkLevel}) {
    *row = take(k.pitch);
  }
  auto startColumns = [&k] {
    std::memset(k.coreDist, kCoreDots + 1, k.pitch);
    std::memset(k.walkDist, k.guard + 1, k.pitch);
    std::memset(k.walkLevel, 0, k.pitch);
  };
  startColumns();
  MarkUpwards(k);
  startColumns();
  HalftoneDownwards(k, dst, stride, negative);
  std::free(block);
  return 1;
}
