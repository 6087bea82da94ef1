// Samplers of the image processor: edge overflow, pixel fetch, point sampling by every
// interpolation method, and area sampling for reductions. Positions, weights and sums are
// single precision; each reads the sampling source stored by the resampler.
#include "imaging/sampling.h"

#include <cmath>

#include "imaging/interpolation_kernels.h"
#include "imaging/pixel_fetch.h"

using quorvel::sampling::CellIndex;
using quorvel::sampling::Fetch;
using quorvel::sampling::NearWhite;
using quorvel::sampling::ReadPixel;
using quorvel::sampling::TruncSat;

float CxPoint2::Distance(CxPoint2 const p2) const { return Distance(p2.x, p2.y); }

float CxPoint2::Distance(float const x_, float const y_) const {
  const float dx = x - x_;
  const float dy = y - y_;
  return std::sqrt(dx * dx + dy * dy);
}

void CBmpProcessing::OverflowCoordinates(int& x, int& y, OverflowMethod method) {
  const int w = srcHeader.biWidth;
  const int h = srcHeader.biHeight;
  if (x >= 0 && x < w && y >= 0 && y < h) return;
  // Wrap and mirror divide by the size; an empty image has nothing to map onto.
  if (w <= 0 || h <= 0) return;
  x = quorvel::sampling::MapAxis(x, w, method);
  y = quorvel::sampling::MapAxis(y, h, method);
}

tagRGBQUAD CBmpProcessing::GetPixelColorWithOverflow(int x, int y, OverflowMethod method,
                                                     tagRGBQUAD* replacement) {
  return Fetch(*this, x, y, method, replacement);
}

void CBmpProcessing::AddAveragingCont(const tagRGBQUAD& color, float weight, float& red,
                                      float& green, float& blue, float& alpha) {
  (void)alpha;  // the fourth accumulator is kept for symmetry and left alone
  red += color.rgbRed * weight;
  green += color.rgbGreen * weight;
  blue += color.rgbBlue * weight;
}

namespace {

using Self = CBmpProcessing;

bool IsFillOverflow(Self::OverflowMethod of) {
  return of == Self::OverflowColor || of == Self::OverflowWhite || of == Self::OverflowBlank;
}

// Above 255 gives 255, below 0 (or NaN) gives 0, otherwise truncation toward zero.
uint8_t ClampChannel(float v) {
  if (v > 255.0f) return 255;
  if (!(v >= 0.0f)) return 0;
  return static_cast<uint8_t>(v);
}

// Out-of-range handling shared by the bilinear and kernel methods: the fill methods give
// their outside colour (returns true, *out set); the others move the position onto the
// mapped whole pixel.
bool OutOfRange(Self& p, float& x, float& y, Self::OverflowMethod of, tagRGBQUAD* repl,
                tagRGBQUAD* out) {
  if (IsFillOverflow(of)) {
    *out = Fetch(p, -999, -999, of, repl);
    return true;
  }
  int ix = TruncSat(x);
  int iy = TruncSat(y);
  p.OverflowCoordinates(ix, iy, of);
  x = static_cast<float>(ix);
  y = static_cast<float>(iy);
  return false;
}

tagRGBQUAD Bilinear(Self& p, float x, float y, Self::OverflowMethod of, tagRGBQUAD* repl) {
  const int w = p.srcHeader.biWidth;
  const int h = p.srcHeader.biHeight;
  int xi = CellIndex(x);
  int yi = CellIndex(y);
  if (xi < -1 || xi >= w || yi < -1 || yi >= h) {
    tagRGBQUAD out;
    if (OutOfRange(p, x, y, of, repl, &out)) return out;
    xi = CellIndex(x);
    yi = CellIndex(y);
  }
  const float fx = x - static_cast<float>(xi);
  const float fy = y - static_cast<float>(yi);
  tagRGBQUAD c = {0, 0, 0, 0};
  if (xi >= 0 && xi + 1 < w && yi >= 0 && yi + 1 < h && p.srcHeader.biBitCount == 24 &&
      p.srcBits != nullptr) {
    // 8-bit fixed-point weights; the four pixels are read directly.
    const int ix = static_cast<int>(fx * 256.0f);
    const int iy = static_cast<int>(fy * 256.0f);
    const int w11 = (ix * iy) >> 8;
    const int w01 = iy - w11;
    const int w10 = ix - w11;
    const int w00 = 256 - ix - iy + w11;
    const uint8_t* r0 = p.srcBits + static_cast<size_t>(yi) * p.srcStride + 3 * xi;
    const uint8_t* r1 = r0 + p.srcStride;
    auto mix = [&](int ch) {
      return static_cast<uint8_t>(
          (w00 * r0[ch] + w10 * r0[3 + ch] + w01 * r1[ch] + w11 * r1[3 + ch]) >> 8);
    };
    c.rgbBlue = mix(0);
    c.rgbGreen = mix(1);
    c.rgbRed = mix(2);
  } else {
    const float w11 = fx * fy;
    const float w00 = (1.0f - fx) - (fy - w11);
    const float w10 = fx - w11;
    const float w01 = fy - w11;
    const tagRGBQUAD c00 = Fetch(p, xi, yi, of, repl);
    const tagRGBQUAD c10 = Fetch(p, xi + 1, yi, of, repl);
    const tagRGBQUAD c01 = Fetch(p, xi, yi + 1, of, repl);
    const tagRGBQUAD c11 = Fetch(p, xi + 1, yi + 1, of, repl);
    // The weights sum to 1, so the sums stay in 0..255; the clamp only guards positions
    // that no overflow method brought back near the image.
    c.rgbRed =
        ClampChannel(w00 * c00.rgbRed + w10 * c10.rgbRed + w01 * c01.rgbRed + w11 * c11.rgbRed);
    c.rgbGreen = ClampChannel(w00 * c00.rgbGreen + w10 * c10.rgbGreen + w01 * c01.rgbGreen +
                              w11 * c11.rgbGreen);
    c.rgbBlue =
        ClampChannel(w00 * c00.rgbBlue + w10 * c10.rgbBlue + w01 * c01.rgbBlue + w11 * c11.rgbBlue);
  }
  NearWhite(c);
  return c;
}

// Separable kernel sampling on an N x N neighbourhood starting at (x0, y0), the pixel
// weights wx[k] * wy[m] applied to each value; no normalisation by the weight sum.
template <int N>
tagRGBQUAD KernelSum(Self& p, int x0, int y0, const float* wx, const float* wy, bool direct,
                     Self::OverflowMethod of, tagRGBQUAD* repl) {
  float r = 0.0f, g = 0.0f, b = 0.0f;
  for (int m = 0; m < N; ++m) {
    const int yy = y0 + m;
    for (int k = 0; k < N; ++k) {
      const int xx = x0 + k;
      tagRGBQUAD px;
      if (direct) {
        const uint8_t* s = p.srcBits + static_cast<size_t>(yy) * p.srcStride + 3 * xx;
        px = {s[0], s[1], s[2], 0};
      } else {
        px = Fetch(p, xx, yy, of, repl);
      }
      r += px.rgbRed * wx[k] * wy[m];
      g += px.rgbGreen * wx[k] * wy[m];
      b += px.rgbBlue * wx[k] * wy[m];
    }
  }
  tagRGBQUAD c = {ClampChannel(b), ClampChannel(g), ClampChannel(r), 0};
  NearWhite(c);
  return c;
}

tagRGBQUAD Kernel4x4(Self& p, float x, float y, Self::InterpolationMethod method,
                     Self::OverflowMethod of, tagRGBQUAD* repl) {
  const int w = p.srcHeader.biWidth;
  const int h = p.srcHeader.biHeight;
  int xi = CellIndex(x);
  int yi = CellIndex(y);
  if (xi < -2 || xi > w || yi < -2 || yi > h) {
    tagRGBQUAD out;
    if (OutOfRange(p, x, y, of, repl, &out)) return out;
    xi = CellIndex(x);
    yi = CellIndex(y);
  }
  float wx[4], wy[4];
  for (int k = 0; k < 4; ++k) {
    wx[k] = quorvel::kernels::Weight4x4(method, static_cast<float>(xi - 1 + k) - x);
    wy[k] = quorvel::kernels::Weight4x4(method, static_cast<float>(yi - 1 + k) - y);
  }
  const bool direct = xi > 0 && xi + 2 < w && yi > 0 && yi + 2 < h &&
                      p.srcHeader.biBitCount == 24 && p.srcBits != nullptr;
  return KernelSum<4>(p, xi - 1, yi - 1, wx, wy, direct, of, repl);
}

tagRGBQUAD Lanczos(Self& p, float x, float y, Self::OverflowMethod of, tagRGBQUAD* repl) {
  const int w = p.srcHeader.biWidth;
  const int h = p.srcHeader.biHeight;
  int xi = CellIndex(x);
  int yi = CellIndex(y);
  if (xi < -6 || xi - 4 > w || yi < -6 || yi - 4 > h) {
    tagRGBQUAD out;
    if (OutOfRange(p, x, y, of, repl, &out)) return out;
    xi = CellIndex(x);
    yi = CellIndex(y);
  }
  float wx[12], wy[12];
  for (int k = 0; k < 12; ++k) {
    wx[k] = quorvel::kernels::WeightLanczos(static_cast<float>(xi - 5 + k) - x);
    wy[k] = quorvel::kernels::WeightLanczos(static_cast<float>(yi - 5 + k) - y);
  }
  const bool direct = xi > 4 && xi + 6 < w && yi > 4 && yi + 6 < h &&
                      p.srcHeader.biBitCount == 24 && p.srcBits != nullptr;
  return KernelSum<12>(p, xi - 5, yi - 5, wx, wy, direct, of, repl);
}

}  // namespace

tagRGBQUAD CBmpProcessing::GetPixelColorInterpolated(float x, float y, InterpolationMethod method,
                                                     OverflowMethod overflow,
                                                     tagRGBQUAD* replacement) {
  switch (static_cast<int>(method)) {
    case InterpNearest:
      return Fetch(*this, TruncSat(x + 0.5f), TruncSat(y + 0.5f), overflow, replacement);
    case InterpLanczos:
      return Lanczos(*this, x, y, overflow, replacement);
    case InterpBSpline:
    case InterpCubic:
    case InterpGeneralizedCubic:
    case InterpBox:
    case InterpHermite:
    case InterpHamming:
    case InterpSinc:
    case InterpBlackman:
    case InterpBessel:
    case InterpGaussian:
    case InterpQuadratic:
    case InterpMitchell:
    case InterpCatrom:
    case InterpHanning:
    case InterpPower:
      return Kernel4x4(*this, x, y, method, overflow, replacement);
    default:  // InterpBilinear, 0 and values above 18
      return Bilinear(*this, x, y, overflow, replacement);
  }
}

namespace {

// Cell of pixel (i, j): the unit square centred on it.
CxRect2 Cell(int i, int j) {
  const float fi = static_cast<float>(i);
  const float fj = static_cast<float>(j);
  return CxRect2(fi - 0.5f, fj - 0.5f, fi + 0.5f, fj + 0.5f);
}

struct Sums {
  float r = 0.0f, g = 0.0f, b = 0.0f;
  void Add(const tagRGBQUAD& c, float weight) {
    r += c.rgbRed * weight;
    g += c.rgbGreen * weight;
    b += c.rgbBlue * weight;
  }
  void Add(const tagRGBQUAD& c) {
    r += c.rgbRed;
    g += c.rgbGreen;
    b += c.rgbBlue;
  }
};

// Area wider and higher than a pixel: every covered pixel weighted by its covered part.
// Corners, then the edge rows, then the edge columns, then the interior.
template <typename Read>
void BoxAverageWith(Read read, const CxRect2& area, int xi1, int yi1, int xi2, int yi2, Sums& s) {
  const CxRect2 a = area.CrossSection(Cell(xi1, yi1));
  const CxRect2 b = area.CrossSection(Cell(xi2, yi2));
  const float wL = a.Width(), hT = a.Height(), wR = b.Width(), hB = b.Height();
  s.Add(read(xi1, yi1), wL * hT);
  s.Add(read(xi2, yi1), wR * hT);
  s.Add(read(xi1, yi2), wL * hB);
  s.Add(read(xi2, yi2), wR * hB);
  for (int x = xi1 + 1; x < xi2; ++x) {
    s.Add(read(x, yi1), hT);
    s.Add(read(x, yi2), hB);
  }
  for (int y = yi1 + 1; y < yi2; ++y) {
    s.Add(read(xi1, y), wL);
    s.Add(read(xi2, y), wR);
  }
  for (int y = yi1 + 1; y < yi2; ++y) {
    for (int x = xi1 + 1; x < xi2; ++x) s.Add(read(x, y));
  }
}

// Reads a pixel known to be inside a source of the given depth, near-white rule included.
template <int kBytes>
struct DirectReader {
  const uint8_t* bits;
  uint32_t stride;
  tagRGBQUAD operator()(int x, int y) const {
    const uint8_t* px = bits + static_cast<size_t>(y) * stride + kBytes * static_cast<size_t>(x);
    tagRGBQUAD c = kBytes == 3 ? tagRGBQUAD{px[0], px[1], px[2], 0} : tagRGBQUAD{*px, *px, *px, 0};
    NearWhite(c);
    return c;
  }
};

// The whole range inside the image reads directly (the common case of a reduction);
// otherwise every pixel goes through the overflow-aware fetch. Both read the same values.
void BoxAverage(Self& p, const CxRect2& area, int xi1, int yi1, int xi2, int yi2,
                Self::OverflowMethod of, tagRGBQUAD* repl, Sums& s) {
  const bool inside = p.srcBits != nullptr && xi1 >= 0 && yi1 >= 0 && xi2 < p.srcHeader.biWidth &&
                      yi2 < p.srcHeader.biHeight;
  if (inside && p.srcHeader.biBitCount == 24) {
    BoxAverageWith(DirectReader<3>{p.srcBits, p.srcStride}, area, xi1, yi1, xi2, yi2, s);
  } else if (inside && p.srcHeader.biBitCount == 8) {
    BoxAverageWith(DirectReader<1>{p.srcBits, p.srcStride}, area, xi1, yi1, xi2, yi2, s);
  } else {
    auto fetch = [&p, of, repl](int x, int y) { return Fetch(p, x, y, of, repl); };
    BoxAverageWith(fetch, area, xi1, yi1, xi2, yi2, s);
  }
}

}  // namespace

tagRGBQUAD CBmpProcessing::GetAreaColorInterpolated(float xc, float yc, float w, float h,
                                                    InterpolationMethod method,
                                                    OverflowMethod overflow,
                                                    tagRGBQUAD* replacement) {
  if (h <= 1.0f && w <= 1.0f)
    return GetPixelColorInterpolated(xc, yc, method, overflow, replacement);
  const CxRect2 area(xc - 0.5f * w, yc - 0.5f * h, xc + 0.5f * w, yc + 0.5f * h);
  const int xi1 = TruncSat(area.x1 + 0.5f);
  const int yi1 = TruncSat(area.y1 + 0.5f);
  const int xi2 = TruncSat(area.x2 + 0.5f);
  const int yi2 = TruncSat(area.y2 + 0.5f);
  Sums s;
  if (h > 1.0f && w > 1.0f) {
    BoxAverage(*this, area, xi1, yi1, xi2, yi2, overflow, replacement, s);
  } else {
    // A thin area: each covered cell weighs its covered part and takes the colour sampled
    // at the centre of that part.
    for (int y = yi1; y <= yi2; ++y) {
      for (int x = xi1; x <= xi2; ++x) {
        const CxRect2 part = area.CrossSection(Cell(x, y));
        const tagRGBQUAD c = GetPixelColorInterpolated(
            (part.x1 + part.x2) * 0.5f, (part.y1 + part.y2) * 0.5f, method, overflow, replacement);
        s.Add(c, part.Width() * part.Height());
      }
    }
  }
  const float surface = area.Surface();
  return {ClampChannel(s.b / surface), ClampChannel(s.g / surface), ClampChannel(s.r / surface), 0};
}
