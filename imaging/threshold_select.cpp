// Histogram threshold selection (four criteria and their average) and the image processor's
// block-wise local threshold, each 64 x 64 block cut at the mean of its own and the page's.
#include "imaging/threshold_select.h"

#include <cmath>
#include <initializer_list>
#include <vector>

#include "base/dots.h"
#include "imaging/bmp_processing.h"

ThresholdRegion ClipThresholdRegion(const tagRECT* region, int64_t width, int64_t height) {
  ThresholdRegion r{0, width, 0, height};
  if (region != nullptr) {
    r.x0 = region->left < 0 ? 0 : region->left;
    r.x1 = region->right > width ? width : region->right;
    r.y0 = region->bottom < 0 ? 0 : region->bottom;
    r.y1 = region->top > height ? height : region->top;
  }
  return r;
}

void BuildHistogram(const uint8_t* image, int64_t stride, const ThresholdRegion& region,
                    double hist[256]) {
  // Integer counts first: cheaper per pixel, and exact as doubles afterwards.
  uint64_t counts[256] = {};
  for (int64_t y = region.y0; y < region.y1; ++y) {
    const uint8_t* p = image + y * stride;
    for (int64_t x = region.x0; x < region.x1; ++x) ++counts[p[x]];
  }
  for (int k = 0; k < 256; ++k) hist[k] = static_cast<double>(counts[k]);
}

namespace {

// Running best of one criterion; ties keep the lower split.
struct Candidate {
  int64_t level = -1;
  double best = 0.0;
  void Offer(int64_t k, double score) {
    if (score > best || level == -1) {
      level = k;
      best = score;
    }
  }
};

// Entropy terms h * ln(h / w) / w depend only on the count h and the class weight w, and a
// region usually has few distinct counts: each term is computed once per count and weight,
// and still summed level by level in ascending order, so the sum is the same to the bit.
struct EntropyTerms {
  const double* hist;
  int countClass[256];  // levels with a non-zero count -> index of that count
  double value[256];
  uint32_t stamp[256] = {};
  uint32_t now = 0;

  explicit EntropyTerms(const double h[256]) : hist(h) {
    double distinct[256];
    int n = 0;
    for (int l = 0; l < 256; ++l) {
      countClass[l] = -1;
      if (h[l] <= 0) continue;
      int c = 0;
      while (c < n && distinct[c] != h[l]) ++c;
      if (c == n) distinct[n++] = h[l];
      countClass[l] = c;
    }
  }

  double Sum(int from, int to, double w) {
    ++now;
    double sum = 0.0;
    for (int l = from; l <= to; ++l) {
      const int c = countClass[l];
      if (c < 0) continue;
      if (stamp[c] != now) {
        value[c] = hist[l] * std::log(hist[l] / w) / w;
        stamp[c] = now;
      }
      sum += value[c];
    }
    return sum;
  }
};

}  // namespace

int64_t SelectThreshold(const double hist[256], int64_t method, int64_t whiteResult) {
  int gmin = -1;
  for (int k = 0; k <= 254 && gmin < 0; ++k)
    if (hist[k] != 0) gmin = k;
  if (gmin < 0) return whiteResult;
  int gmax = 0;
  for (int k = 255; k >= 1; --k) {
    if (hist[k] != 0) {
      gmax = k;
      break;
    }
  }
  if (gmax == gmin) return gmin > 0 ? gmin - 1 : 0;

  double N = 0, S1 = 0, S2 = 0;
  for (int k = gmin; k <= gmax; ++k) {
    N += hist[k];
    S1 += k * hist[k];
    S2 += static_cast<double>(k * k) * hist[k];
  }
  const int64_t mid = (gmin + gmax) / 2;

  Candidate otsu, kittler, entropy, potential;
  EntropyTerms terms(hist);
  double w1 = 0, m1 = 0, q1 = 0;
  for (int k = gmin; k < gmax; ++k) {
    w1 += hist[k];
    m1 += k * hist[k];
    q1 += static_cast<double>(k * k) * hist[k];
    const double w2 = N - w1;
    // An empty level leaves w1, m1 and q1 as they were, so these three scores repeat the
    // previous split's bit for bit and cannot win: skip their cost.
    const bool repeat = hist[k] == 0 && k > gmin;
    if (!repeat) {
      const double var1 = q1 / w1 - m1 * m1 / w1 / w1;
      const double var2 = (S2 - q1) / w2 - (S1 - m1) * (S1 - m1) / w2 / w2;
      otsu.Offer(k, -(w2 * var2 + w1 * var1));
      if (var1 > 0 && var2 > 0)
        kittler.Offer(k, w1 * std::log(w1 / std::sqrt(var1)) + w2 * std::log(w2 / std::sqrt(var2)));
      entropy.Offer(k, -terms.Sum(gmin, k, w1) - terms.Sum(k + 1, gmax, w2));
    }
    // The potentials are sums of integers, exact in double whatever the order.
    double P1 = 0, P2 = 0;
    for (int l = gmin; l <= k; ++l) P1 += static_cast<double>((k - l) * (k - l)) * hist[l];
    for (int l = k + 1; l <= gmax; ++l) P2 += static_cast<double>((l - k) * (l - k)) * hist[l];
    potential.Offer(k, P1 + P2 > 0 ? -std::fabs((P1 - P2) / (P1 + P2)) : 0.0);
  }

  int64_t chosen;
  switch (method) {
    case 1:
      chosen = otsu.level;
      break;
    case 2:
      chosen = kittler.level;
      break;
    case 3:
      chosen = entropy.level;
      break;
    case 4:
      chosen = potential.level;
      break;
    default: {
      int64_t sum = 0, count = 0;
      for (const Candidate* c : {&otsu, &kittler, &entropy, &potential}) {
        if (c->level != -1) {
          sum += c->level;
          ++count;
        }
      }
      chosen = count > 0 ? sum / count : mid;
    }
  }
  return (chosen > gmin && chosen < gmax) ? chosen : mid;
}

int64_t CBmpProcessing::OptimalThreshold(const uint8_t* image, uint32_t len, uint32_t width,
                                         uint32_t height, int64_t method, const tagRECT* region,
                                         void*, uint32_t, uint32_t, uint32_t) {
  if (height == 0 || image == nullptr) return -1;
  const uint32_t stride = len / height;
  // Rows shorter than the width would make the last row run past the buffer.
  if (stride < width) return -1;
  const ThresholdRegion r = ClipThresholdRegion(region, width, height);
  if (r.Empty()) return -1;
  double hist[256];
  BuildHistogram(image, stride, r, hist);
  return SelectThreshold(hist, method, 0);
}

int CBmpProcessing::AdThresholdImgLocal(uint32_t width, uint32_t height, uint32_t, uint32_t stride,
                                        const uint8_t* image, uint32_t len, uint8_t** out,
                                        uint32_t*, bool negative, bool) {
  if (image == nullptr || out == nullptr || *out == nullptr || stride < width) return 0;
  const uint64_t bx = (uint64_t{width} + 63) / 64;
  const uint64_t by = (uint64_t{height} + 63) / 64;
  const uint64_t gridRow = uint64_t(RowStride(int64_t(bx), 8));
  std::vector<uint8_t> grid(gridRow * by, 255);

  const int64_t g = OptimalThreshold(image, len, width, height, 0, nullptr);
  if (g < 0) return 0;
  for (uint64_t i = 0; i < by; ++i) {
    for (uint64_t j = 0; j < bx; ++j) {
      // Rows of a threshold region count upward: bottom is the block's first row.
      const tagRECT block{static_cast<int32_t>(64 * j), static_cast<int32_t>(64 * i + 64),
                          static_cast<int32_t>(64 * j + 64), static_cast<int32_t>(64 * i)};
      const int64_t t = OptimalThreshold(image, len, width, height, 0, &block);
      if (t < 0) return 0;
      int v = static_cast<int>(0.5f * static_cast<float>(t) + 0.5f * static_cast<float>(g));
      if (v > 254) v = 255;
      if (v <= 0) v = 0;
      grid[i * gridRow + j] = static_cast<uint8_t>(v);
    }
  }

  const uint8_t white = negative ? 0 : 255;
  const uint8_t black = negative ? 255 : 0;
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* src = image + uint64_t{y} * stride;
    uint8_t* dst = *out + uint64_t{y} * stride;
    const uint8_t* blocks = &grid[(y / 64) * gridRow];
    for (uint32_t x = 0; x < width; ++x) dst[x] = src[x] > blocks[x / 64] ? white : black;
  }
  return 1;
}
