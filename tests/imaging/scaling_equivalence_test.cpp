// The scaling and threshold operations against straightforward one-pixel-at-a-time versions
// of the same rules (the shrink's running accumulators, the nearest and area samplers, the four
// threshold criteria recomputed per split), on random images: the fast paths must agree byte for
// byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "imaging/bmp_processing.h"
#include "imaging/threshold_select.h"

namespace {

std::mt19937 rng;
int R(int a, int b) { return std::uniform_int_distribution<int>(a, b)(rng); }

// ---- shrink, pixel by pixel with the running accumulators ----

void OutSteps(CBmpProcessing& p, tagColorCFG c, uint32_t dd, uint8_t* dst, uint32_t stride,
              uint32_t r, uint32_t k, uint8_t& R_, uint8_t& G, uint8_t& B) {
  if (c.sBrightness || c.sContrast) p.Light(R_, G, B);
  bool lv = c.sLevels != 0 && c.sLevels != 300;
  if (dd == 8) {
    if (lv) {
      R_ = p.levelsTables[0][R_];
      G = p.levelsTables[0][G];
      B = p.levelsTables[0][B];
      if (R_ > 249 && G > 249 && B > 249) {
        R_ = G = B = 255;
        dst[r * stride + k] = 255;
        return;
      }
    }
    dst[r * stride + k] = (uint8_t)((11 * R_ + 16 * G + 5 * B) >> 5);
  } else if (dd == 24) {
    if (lv) {
      R_ = p.levelsTables[0][R_];
      G = p.levelsTables[0][G];
      B = p.levelsTables[0][B];
      if (R_ > 249 && G > 249 && B > 249) R_ = G = B = 255;
    }
    dst[r * stride + 3 * k] = B;
    dst[r * stride + 3 * k + 1] = G;
    dst[r * stride + 3 * k + 2] = R_;
  }
}
void RefShrink(CBmpProcessing& p, uint32_t sw, uint32_t sh, uint32_t sd, uint32_t ss,
               const uint8_t* src, uint32_t dw, uint32_t dh, uint32_t dd, uint8_t* dst,
               uint32_t size, tagColorCFG c, tagRECT rc) {
  struct Acc {
    uint32_t b, g, r, n;
  };
  std::vector<Acc> acc(dw + 1, Acc{0, 0, 0, 0});
  uint32_t stride = size / dh;
  bool counts = rc.left < rc.right && rc.right > 0 && rc.top < rc.bottom && rc.bottom > 0;
  uint32_t A = 0, r = 0;
  uint8_t pr = 0, pg = 0, pb = 0;
  for (uint32_t y = 0; y < sh; ++y) {
    A += dh;
    uint32_t J = 0, k = 0;
    for (uint32_t x = 0; x < sw; ++x) {
      J += dw;
      uint8_t b, g, rr;
      if (sd == 8)
        b = g = rr = src[y * ss + x];
      else {
        b = src[y * ss + 3 * x];
        g = src[y * ss + 3 * x + 1];
        rr = src[y * ss + 3 * x + 2];
      }
      if (counts && (int)x >= rc.left && (int)x <= rc.right && (int)y >= rc.top &&
          (int)y <= rc.bottom)
        b = g = rr = 255;
      acc[k].b += b;
      acc[k].g += g;
      acc[k].r += rr;
      acc[k].n++;
      if (J > sw) {
        k++;
        J -= sw;
      }
    }
    if (A >= sh) {
      A -= sh;
      for (uint32_t k2 = 0; k2 < dw; ++k2) {
        if (acc[k2].n) {
          pr = acc[k2].r / acc[k2].n;
          pg = acc[k2].g / acc[k2].n;
          pb = acc[k2].b / acc[k2].n;
        }
        if (r < dh) OutSteps(p, c, dd, dst, stride, r, k2, pr, pg, pb);
      }
      for (auto& a : acc) a = Acc{0, 0, 0, 0};
      r++;
    }
  }
  if (counts) {
    int row0 = (int)((float)rc.top / ((float)sh / (float)dh));
    int col0 = (int)((float)rc.left / ((float)sw / (float)dw));
    for (int y = rc.top; y <= rc.bottom; ++y)
      for (int x = rc.left; x <= rc.right; ++x) {
        int dy = row0 + y - rc.top, dx = col0 + x - rc.left;
        if (y < 0 || x < 0 || y >= (int)sh || x >= (int)sw || dy < 0 || dx < 0 || dy >= (int)dh ||
            dx >= (int)dw)
          continue;
        uint8_t b, g, rr;
        if (dd == 8)
          b = g = rr = src[y * ss + x];
        else {
          b = src[y * ss + 3 * x];
          g = src[y * ss + 3 * x + 1];
          rr = src[y * ss + 3 * x + 2];
        }
        OutSteps(p, c, dd, dst, stride, dy, dx, rr, g, b);
      }
  }
}

// ---- literal samplers (nearest + clamp only) ----
struct Src {
  int W, H, bpp;
  uint32_t stride;
  const uint8_t* bits;
};
tagRGBQUAD Px(const Src& s, int x, int y) {
  if (!(x >= 0 && x < s.W && y >= 0 && y < s.H)) {
    x = std::min(std::max(x, 0), s.W - 1);
    y = std::min(std::max(y, 0), s.H - 1);
  }
  tagRGBQUAD c;
  const uint8_t* p = s.bits + y * s.stride;
  if (s.bpp == 24) {
    c.rgbBlue = p[3 * x];
    c.rgbGreen = p[3 * x + 1];
    c.rgbRed = p[3 * x + 2];
  } else
    c.rgbBlue = c.rgbGreen = c.rgbRed = p[x];
  c.rgbReserved = 0;
  if (c.rgbBlue >= 251 && c.rgbGreen >= 251 && c.rgbRed >= 251)
    c.rgbBlue = c.rgbGreen = c.rgbRed = 255;
  return c;
}
tagRGBQUAD Near(const Src& s, float x, float y) { return Px(s, (int)(x + 0.5f), (int)(y + 0.5f)); }
struct Rc {
  float x1, y1, x2, y2;
};
Rc Cross(Rc a, Rc b) {
  Rc r{std::max(a.x1, b.x1), std::max(a.y1, b.y1), std::min(a.x2, b.x2), std::min(a.y2, b.y2)};
  if (r.x2 < r.x1 || r.y2 < r.y1) return Rc{0, 0, 0, 0};
  return r;
}
Rc Cell(int i, int j) {
  return Rc{(float)i - 0.5f, (float)j - 0.5f, (float)i + 0.5f, (float)j + 0.5f};
}
tagRGBQUAD Area(const Src& s, float xc, float yc, float w, float h) {
  if (h <= 1 && w <= 1) return Near(s, xc, yc);
  Rc a{xc - 0.5f * w, yc - 0.5f * h, xc + 0.5f * w, yc + 0.5f * h};
  int xi1 = (int)(a.x1 + 0.5f), yi1 = (int)(a.y1 + 0.5f), xi2 = (int)(a.x2 + 0.5f),
      yi2 = (int)(a.y2 + 0.5f);
  float r = 0, g = 0, b = 0;
  auto add = [&](tagRGBQUAD c, float wt) {
    r += c.rgbRed * wt;
    g += c.rgbGreen * wt;
    b += c.rgbBlue * wt;
  };
  if (w > 1 && h > 1) {
    Rc A = Cross(a, Cell(xi1, yi1)), B = Cross(a, Cell(xi2, yi2));
    float wL = A.x2 - A.x1, hT = A.y2 - A.y1, wR = B.x2 - B.x1, hB = B.y2 - B.y1;
    add(Px(s, xi1, yi1), wL * hT);
    add(Px(s, xi2, yi1), wR * hT);
    add(Px(s, xi1, yi2), wL * hB);
    add(Px(s, xi2, yi2), wR * hB);
    for (int x = xi1 + 1; x < xi2; ++x) {
      add(Px(s, x, yi1), hT);
      add(Px(s, x, yi2), hB);
    }
    for (int y = yi1 + 1; y < yi2; ++y) {
      add(Px(s, xi1, y), wL);
      add(Px(s, xi2, y), wR);
    }
    for (int y = yi1 + 1; y < yi2; ++y)
      for (int x = xi1 + 1; x < xi2; ++x) add(Px(s, x, y), 1.0f);
  } else {
    for (int y = yi1; y <= yi2; ++y)
      for (int x = xi1; x <= xi2; ++x) {
        Rc S = Cross(a, Cell(x, y));
        add(Near(s, (S.x1 + S.x2) * 0.5f, (S.y1 + S.y2) * 0.5f), (S.x2 - S.x1) * (S.y2 - S.y1));
      }
  }
  float area = (a.x2 - a.x1) * (a.y2 - a.y1);
  auto cl = [](float v) -> uint8_t {
    if (v > 255) return 255;
    if (v < 0) return 0;
    return (uint8_t)(int)v;
  };
  return tagRGBQUAD{cl(b / area), cl(g / area), cl(r / area), 0};
}
void RefResample(CBmpProcessing& p, uint32_t sw, uint32_t sh, uint32_t bpp, uint32_t ss,
                 const uint8_t* src, uint32_t dw, uint32_t dh, uint8_t* dst, uint32_t size,
                 tagColorCFG c) {
  Src s{(int)sw, (int)sh, (int)bpp, ss, src};
  float sx = (float)sw / (float)dw, sy = (float)sh / (float)dh;
  uint32_t stride = size / dh;
  bool point = sx <= 1 && sy <= 1;
  for (uint32_t j = 0; j < dh; ++j)
    for (uint32_t i = 0; i < dw; ++i) {
      float x = (i + 0.5f) * sx - 0.5f, y = (j + 0.5f) * sy - 0.5f;
      tagRGBQUAD q = point ? Near(s, x, y) : Area(s, x, y, sx, sy);
      if (c.sBrightness || c.sContrast) p.Light(q.rgbRed, q.rgbGreen, q.rgbBlue);
      if (c.sLevels != 0 && c.sLevels != 300) {
        q.rgbRed = p.levelsTables[0][q.rgbRed];
        q.rgbGreen = p.levelsTables[0][q.rgbGreen];
        q.rgbBlue = p.levelsTables[0][q.rgbBlue];
        if (q.rgbRed >= 250 && q.rgbGreen >= 250 && q.rgbBlue >= 250)
          q.rgbRed = q.rgbGreen = q.rgbBlue = 255;
      }
      if (bpp == 24) {
        dst[j * stride + 3 * i] = q.rgbBlue;
        dst[j * stride + 3 * i + 1] = q.rgbGreen;
        dst[j * stride + 3 * i + 2] = q.rgbRed;
      } else
        dst[j * stride + i] = (uint8_t)((11 * q.rgbRed + 16 * q.rgbGreen + 5 * q.rgbBlue) >> 5);
    }
}

// ---- literal threshold selection ----
long RefSelect(const double* h, long method, long white) {
  int gmin = -1;
  for (int k = 0; k <= 254; ++k)
    if (h[k] != 0) {
      gmin = k;
      break;
    }
  if (gmin < 0) return white;
  int gmax = 0;
  for (int k = 255; k >= 1; --k)
    if (h[k] != 0) {
      gmax = k;
      break;
    }
  if (gmax == gmin) return gmin ? gmin - 1 : 0;
  double N = 0, S1 = 0, S2 = 0;
  for (int k = gmin; k <= gmax; ++k) {
    N += h[k];
    S1 += k * h[k];
    S2 += (double)(k * k) * h[k];
  }
  long mid = (gmin + gmax) / 2;
  long t[4] = {-1, -1, -1, -1};
  double best[4] = {0, 0, 0, 0};
  double w1 = 0, m1 = 0, q1 = 0;
  for (int k = gmin; k <= gmax - 1; ++k) {
    w1 += h[k];
    m1 += k * h[k];
    q1 += (double)(k * k) * h[k];
    double w2 = N - w1;
    double v1 = q1 / w1 - m1 * m1 / w1 / w1, v2 = (S2 - q1) / w2 - (S1 - m1) * (S1 - m1) / w2 / w2;
    double sc[4];
    bool has[4] = {true, false, true, true};
    sc[0] = -(w2 * v2 + w1 * v1);
    if (v1 > 0 && v2 > 0) {
      has[1] = true;
      sc[1] = w1 * std::log(w1 / std::sqrt(v1)) + w2 * std::log(w2 / std::sqrt(v2));
    }
    double e1 = 0, e2 = 0;
    for (int l = gmin; l <= k; ++l)
      if (h[l] > 0) e1 += h[l] * std::log(h[l] / w1) / w1;
    for (int l = k + 1; l <= gmax; ++l)
      if (h[l] > 0) e2 += h[l] * std::log(h[l] / w2) / w2;
    sc[2] = -e1 - e2;
    double P1 = 0, P2 = 0;
    for (int l = gmin; l <= k; ++l) P1 += (double)((k - l) * (k - l)) * h[l];
    for (int l = k + 1; l <= gmax; ++l) P2 += (double)((l - k) * (l - k)) * h[l];
    sc[3] = P1 + P2 > 0 ? -std::fabs((P1 - P2) / (P1 + P2)) : 0;
    for (int c = 0; c < 4; ++c)
      if (has[c] && (sc[c] > best[c] || t[c] == -1)) {
        t[c] = k;
        best[c] = sc[c];
      }
  }
  long ch;
  if (method >= 1 && method <= 4)
    ch = t[method - 1];
  else {
    long s = 0, n = 0;
    for (int c = 0; c < 4; ++c)
      if (t[c] != -1) {
        s += t[c];
        n++;
      }
    ch = n ? s / n : mid;
  }
  return (ch > gmin && ch < gmax) ? ch : mid;
}

void Fill(std::vector<uint8_t>& v, int kind) {
  int base = R(0, 255);
  for (auto& b : v) {
    switch (kind) {
      case 0:
        b = R(0, 255);
        break;
      case 1:
        b = R(0, 3) == 0 ? R(0, 255) : 255;
        break;
      case 2:
        b = (uint8_t)std::min(255, std::max(0, base + R(-6, 6)));
        break;
      default:
        b = R(0, 1) ? R(245, 255) : R(0, 30);
        break;
    }
  }
}

struct Ranges {
  int iterations, minW, maxW, minH, maxH;
};

class ScalingEquivalence : public ::testing::TestWithParam<Ranges> {};

TEST_P(ScalingEquivalence, ShrinkAndResampleMatchLiteralPasses) {
  const Ranges g = GetParam();
  rng.seed(12345);
  CBmpProcessing p;
  for (int it = 0; it < g.iterations; ++it) {
    uint32_t sd = R(0, 1) ? 24 : 8, dd = sd;
    if (R(0, 9) == 0) dd = (sd == 24 ? 8 : 24);
    const uint32_t sw = R(g.minW, g.maxW), sh = R(g.minH, g.maxH);
    const uint32_t dw = R(1, sw), dh = R(1, sh);
    const uint32_t ss = (sw * sd + 31) / 32 * 4 + 4 * R(0, 1);
    std::vector<uint8_t> src(ss * sh);
    Fill(src, it % 4);
    const uint32_t size = (dw * dd + 31) / 32 * 4 * dh;
    tagColorCFG c{};
    if (R(0, 1)) {
      c.sBrightness = R(-50, 50);
      c.sContrast = R(-50, 50);
    }
    if (R(0, 1)) c.sLevels = R(0, 3) == 0 ? 300 : R(50, 250);
    p.SetLightTable(c.sBrightness, c.sContrast);
    COLORLEVELSITEM lv;
    lv.gamma = c.sLevels / 100.0f;
    if (c.sLevels != 0 && c.sLevels != 300) p.SetColorLevelsData(&lv, 0);
    tagRECT rc{};
    if (R(0, 3) == 0 && dd == sd) {
      rc.left = R(-3, sw);
      rc.right = rc.left + R(1, 10);
      rc.top = R(-3, sh);
      rc.bottom = rc.top + R(1, 10);
    }
    std::vector<uint8_t> a(size, 77), b(size, 77);
    uint8_t* pa = a.data();
    p.InvoicQIShrinkImg2(sw, sh, sd, ss, src.data(), nullptr, dw, dh, dd, &pa, nullptr, size, c,
                         tagColorCFG{}, rc);
    RefShrink(p, sw, sh, sd, ss, src.data(), dw, dh, dd, b.data(), size, c, rc);
    ASSERT_EQ(a, b) << "shrink " << sw << "x" << sh << "/" << sd << " -> " << dw << "x" << dh << "/"
                    << dd << " case " << it;

    const uint32_t rw = R(1, g.maxW + 30), rh = R(1, g.maxH + 30);
    const uint32_t rsize = (rw * sd + 31) / 32 * 4 * rh;
    std::vector<uint8_t> ra(rsize, 3), rb(rsize, 3);
    uint8_t* pra = ra.data();
    p.InvoicResampleImg2(sw, sh, sd, ss, src.data(), rw, rh, sd, &pra, rsize, c, 0, tagRECT{});
    RefResample(p, sw, sh, sd, ss, src.data(), rw, rh, rb.data(), rsize, c);
    ASSERT_EQ(ra, rb) << "resample " << sw << "x" << sh << "/" << sd << " -> " << rw << "x" << rh
                      << " case " << it;
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, ScalingEquivalence,
                         ::testing::Values(Ranges{600, 1, 60, 1, 60},
                                           Ranges{6, 600, 1300, 100, 200}));

TEST(ThresholdSelectionEquivalence, EveryMethodMatchesTheCriteriaPerSplit) {
  rng.seed(777);
  for (int it = 0; it < 400; ++it) {
    double h[256] = {};
    const int kind = it % 5, n = R(1, 400);
    for (int q = 0; q < n; ++q) {
      const int v = kind == 0   ? R(0, 255)
                    : kind == 1 ? R(40, 60) + (R(0, 1) ? 120 : 0)
                    : kind == 2 ? R(250, 255)
                    : kind == 3 ? R(0, 1) * 255
                                : R(100, 110);
      h[v] += 1;
    }
    for (long m = 0; m <= 5; ++m) {
      ASSERT_EQ(SelectThreshold(h, m, 0), RefSelect(h, m, 0)) << "method " << m << " case " << it;
    }
  }
}

}  // namespace
