// The optimised page conversion and Floyd-Steinberg diffusion must give byte for byte what the
// straightforward reference versions (perf_reference.h) give, on many random pages: every
// depth, turn, column limit, skip setting, tone and light table, buffer mode and edge size.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <tuple>
#include <vector>

#include "imaging/bmp_processing.h"
#include "tests/imaging/perf_reference.h"

namespace {

using Rng = std::mt19937;

int Pick(Rng& rng, int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

// Pixel values that reach every branch: black, near-white, the 128/129 and 249/250 borders,
// smooth ramps and noise.
uint8_t RandomLevel(Rng& rng, int kind, int x, int y) {
  switch (kind) {
    case 0:
      return static_cast<uint8_t>(Pick(rng, 0, 255));
    case 1: {  // mostly white paper with dark specks
      const int r = Pick(rng, 0, 9);
      return static_cast<uint8_t>(r < 6 ? Pick(rng, 248, 255) : (r < 8 ? 0 : Pick(rng, 0, 255)));
    }
    case 2:  // borders of every test
      return static_cast<uint8_t>(
          std::vector<int>{0, 1, 127, 128, 129, 130, 249, 250, 251, 254, 255}[Pick(rng, 0, 10)]);
    case 3:  // ramp
      return static_cast<uint8_t>((x * 7 + y * 3) & 255);
    default:  // extremes only, so diffusion clamps all the time
      return static_cast<uint8_t>(Pick(rng, 0, 1) ? Pick(rng, 0, 6) : Pick(rng, 249, 255));
  }
}

// A source page with random row padding content (the conversion must never read it as pixels).
std::vector<uint8_t> RandomPage(Rng& rng, int w, int h, int bits) {
  const int stride = ((w * bits + 31) / 32) * 4, bpp = bits / 8;
  std::vector<uint8_t> page(static_cast<size_t>(stride) * h + 1);
  for (auto& b : page) b = static_cast<uint8_t>(Pick(rng, 0, 255));
  const int kind = Pick(rng, 0, 5);
  const bool gray = Pick(rng, 0, 3) == 0;  // 24-bit pages with equal channels
  // Label-like (kind 5): long near-white runs, now and then broken by a 249, between
  // stripes of content, at every alignment.
  const int stripe = Pick(rng, 1, 13), shift = Pick(rng, 0, 7);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &page[static_cast<size_t>(y) * stride + x * bpp];
      const bool paper = kind == 5 && ((x + y * shift) / stripe) % 3 != 0;
      for (int k = 0; k < bpp; ++k)
        p[k] = gray && k ? p[0]
               : paper   ? static_cast<uint8_t>(Pick(rng, 0, 40) ? Pick(rng, 250, 255) : 249)
                         : RandomLevel(rng, kind % 5, x, y);
    }
  return page;
}

// Tone state as the pipeline makes it (levels item and light table), or arbitrary tables, the
// light table then holding values outside 0..255 too.
void RandomTone(Rng& rng, CBmpProcessing& p, int* brightness, int* contrast) {
  *brightness = 0;
  *contrast = 0;
  if (Pick(rng, 0, 3) == 0) {
    for (auto& v : p.levelsTables[0]) v = static_cast<uint8_t>(Pick(rng, 0, 255));
    for (auto& v : p.lightTable) v = static_cast<int16_t>(Pick(rng, -400, 400));
    if (Pick(rng, 0, 2)) *brightness = Pick(rng, -3, 3) | 1;
    return;
  }
  if (Pick(rng, 0, 2)) {
    COLORLEVELSITEM item;
    const float gammas[] = {0.3f, 0.5f, 1.0f, 1.2f, 2.0f, 3.7f};
    item.gamma = gammas[Pick(rng, 0, 5)];
    item.inputLow = static_cast<uint8_t>(Pick(rng, 0, 200));
    item.inputHigh = static_cast<uint8_t>(Pick(rng, item.inputLow + 1, 255));
    item.outputLow = static_cast<uint8_t>(Pick(rng, 0, 255));
    item.outputHigh = static_cast<uint8_t>(Pick(rng, 0, 255));
    p.SetColorLevelsData(&item, Pick(rng, 0, 1) ? 0 : 3);
  }
  if (Pick(rng, 0, 2)) {
    *brightness = Pick(rng, 0, 2) ? Pick(rng, -150, 150) : 0;
    *contrast = Pick(rng, 0, 2) ? Pick(rng, -120, 150) : 0;
    p.SetLightTable(*brightness, *contrast);
  }
}

// Everything one conversion produces.
struct Outcome {
  bool ok = false;
  uint8_t* out = nullptr;
  uint32_t outLen = 0;
  tagBITMAPINFOHEADER header{};
  tagRECT crop{-7, -7, -7, -7};
  std::vector<uint8_t> callerBuffer;
  ~Outcome() {
    if (callerBuffer.empty()) std::free(out);
  }
};

// One random conversion case, run through both versions.
struct ConvertCase {
  int w, h, bits, rotation, limit, brightness, contrast, bufferMode;
  int16_t skip;
  std::vector<uint8_t> page;

  void Run(CBmpProcessing& p, bool reference, Outcome* o) const {
    o->header = tagBITMAPINFOHEADER{40, w, h, 1, static_cast<uint16_t>(bits), 0, 0, 0, 0, 0, 0};
    if (bufferMode > 0) {  // a caller's buffer, large enough or too small, with old content
      o->callerBuffer.assign(static_cast<size_t>(bufferMode), 0x5a);
      o->out = o->callerBuffer.data();
      o->outLen = static_cast<uint32_t>(bufferMode);
    }
    const uint32_t len = static_cast<uint32_t>(page.size());
    o->ok = reference
                ? ref::CoverBMP2OutputFormat(p, page.data(), len, &o->out, &o->outLen, &o->header,
                                             &o->crop, rotation, brightness, contrast, limit, skip)
                : p.CoverBMP2OutputFormat(page.data(), len, &o->out, &o->outLen, &o->header,
                                          &o->crop, rotation, 0, 0, COLORLEVELSITEM(), false,
                                          brightness, contrast, limit, skip);
  }
};

void ExpectSame(const Outcome& a, const Outcome& b, const ConvertCase& c) {
  SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " at " << c.bits << " bits, turn "
                                  << c.rotation << ", limit " << c.limit << ", skip " << c.skip
                                  << ", light " << c.brightness << "/" << c.contrast << ", buffer "
                                  << c.bufferMode);
  ASSERT_EQ(a.ok, b.ok);
  ASSERT_EQ(a.out == nullptr, b.out == nullptr);
  EXPECT_EQ(a.outLen, b.outLen);
  EXPECT_EQ(std::memcmp(&a.header, &b.header, sizeof a.header), 0);
  EXPECT_EQ(a.crop.left, b.crop.left);
  EXPECT_EQ(a.crop.top, b.crop.top);
  EXPECT_EQ(a.crop.right, b.crop.right);
  EXPECT_EQ(a.crop.bottom, b.crop.bottom);
  if (!a.callerBuffer.empty()) {
    ASSERT_EQ(a.callerBuffer, b.callerBuffer);
  } else if (a.out != nullptr) {
    ASSERT_EQ(std::memcmp(a.out, b.out, a.header.biSizeImage), 0);
  }
}

ConvertCase RandomCase(Rng& rng, int rotation, int bits, bool large) {
  ConvertCase c;
  const int maxSide = large ? 300 : 40;
  c.w = Pick(rng, 0, 7) == 0 ? Pick(rng, 0, 2) : Pick(rng, 1, maxSide);
  c.h = Pick(rng, 0, 7) == 0 ? Pick(rng, 0, 2) : Pick(rng, 1, maxSide);
  c.bits = bits;
  c.rotation = rotation;
  const int side = (rotation == 0 || rotation == 2) ? c.h : c.w;
  switch (Pick(rng, 0, 4)) {
    case 0:
      c.limit = Pick(rng, 0, 3);
      break;
    case 1:
      c.limit = Pick(rng, 1, side + 1);
      break;
    case 2:
      c.limit = -1;  // compared as unsigned: no limit
      break;
    default:
      c.limit = 3543;
  }
  const int16_t skips[] = {0, 1, 2, -1};
  c.skip = skips[Pick(rng, 0, 3)];
  c.bufferMode = Pick(rng, 0, 5) == 0 ? Pick(rng, 1, c.w * c.h + 16) : 0;
  c.page = RandomPage(rng, c.w, c.h, bits);
  return c;
}

class ConvertEquivalence : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(ConvertEquivalence, MatchesReferenceOnRandomPages) {
  const int rotation = std::get<0>(GetParam()), bits = std::get<1>(GetParam());
  Rng rng(static_cast<uint32_t>(1000 + rotation * 31 + bits));
  for (int i = 0; i < 600; ++i) {
    CBmpProcessing p;
    ConvertCase c = RandomCase(rng, rotation, bits, i % 10 == 0);
    RandomTone(rng, p, &c.brightness, &c.contrast);
    Outcome want, got;
    c.Run(p, true, &want);
    c.Run(p, false, &got);
    ExpectSame(want, got, c);
    if (HasFatalFailure()) return;
  }
}

INSTANTIATE_TEST_SUITE_P(TurnsAndDepths, ConvertEquivalence,
                         ::testing::Combine(::testing::Values(0, 1, 2, 3, -1, 9),
                                            ::testing::Values(8, 24)));

// A full 4 x 6 inch page at 203 dpi, as the benchmark converts it, in every turn.
TEST(ConvertEquivalence, LabelPageInEveryTurn) {
  Rng rng(7);
  for (int rotation : {0, 1, 2, 3}) {
    CBmpProcessing p;
    COLORLEVELSITEM item;
    item.gamma = 1.2f;
    p.SetColorLevelsData(&item, 0);
    p.SetLightTable(10, 20);
    ConvertCase c{812, 1218, 24, rotation, 3543, 10, 20, 0, 1, RandomPage(rng, 812, 1218, 24)};
    Outcome want, got;
    c.Run(p, true, &want);
    c.Run(p, false, &got);
    ExpectSame(want, got, c);
  }
}

// ---- Floyd-Steinberg ----

struct DitherCase {
  uint32_t w, h, stride;
  bool negative;
  std::vector<uint8_t> src, dst;
};

DitherCase RandomDitherCase(Rng& rng, int kind) {
  DitherCase c;
  c.w = Pick(rng, 0, 9) == 0 ? Pick(rng, 0, 3) : Pick(rng, 1, 90);
  c.h = Pick(rng, 0, 9) == 0 ? Pick(rng, 0, 3) : Pick(rng, 1, 40);
  c.stride = c.w + Pick(rng, 0, 9);
  if (c.w > 2 && Pick(rng, 0, 19) == 0) c.stride = c.w - Pick(rng, 1, 2);  // refused: rows overlap
  c.negative = Pick(rng, 0, 1);
  c.src.resize(static_cast<size_t>(c.stride) * c.h + 4);
  c.dst.resize(c.src.size());
  for (auto& b : c.dst) b = static_cast<uint8_t>(Pick(rng, 0, 255));
  const uint8_t level = static_cast<uint8_t>(Pick(rng, 0, 255));
  for (size_t i = 0; i < c.src.size(); ++i) {
    const uint32_t x = c.stride ? static_cast<uint32_t>(i % c.stride) : 0;
    const uint32_t y = c.stride ? static_cast<uint32_t>(i / c.stride) : 0;
    c.src[i] = kind == 5 ? level : RandomLevel(rng, kind, static_cast<int>(x), static_cast<int>(y));
  }
  return c;
}

class FloydSteinbergEquivalence : public ::testing::TestWithParam<int> {};

TEST_P(FloydSteinbergEquivalence, MatchesReferenceOnRandomPages) {
  const int kind = GetParam();
  Rng rng(static_cast<uint32_t>(77 + kind));
  for (int i = 0; i < 500; ++i) {
    DitherCase want = RandomDitherCase(rng, kind);
    DitherCase got = want;
    EXPECT_EQ(ref::FloydSteinbergDither(want.src.data(), want.dst.data(), want.h, want.w,
                                        want.stride, want.negative),
              1);
    CBmpProcessing p;
    EXPECT_EQ(
        p.Dither(2, got.src.data(), got.dst.data(), got.h, got.w, got.stride, 0, got.negative), 1);
    SCOPED_TRACE(testing::Message() << want.w << "x" << want.h << " stride " << want.stride);
    ASSERT_EQ(want.src, got.src);  // the diffused values left in the source count too
    ASSERT_EQ(want.dst, got.dst);
  }
}

// Random noise, white paper with specks, border values, ramps, extremes, uniform levels.
INSTANTIATE_TEST_SUITE_P(Contents, FloydSteinbergEquivalence, ::testing::Range(0, 6));

TEST(FloydSteinbergEquivalence, LabelPage) {
  Rng rng(11);
  for (int kind : {0, 1, 3}) {
    const uint32_t w = 812, h = 1218, stride = 812;
    std::vector<uint8_t> src(static_cast<size_t>(stride) * h), dst(src.size(), 255);
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x)
        src[y * stride + x] = RandomLevel(rng, kind, static_cast<int>(x), static_cast<int>(y));
    std::vector<uint8_t> src2(src), dst2(dst);
    ref::FloydSteinbergDither(src.data(), dst.data(), h, w, stride, false);
    CBmpProcessing p;
    p.Dither(2, src2.data(), dst2.data(), h, w, stride, 0, false);
    EXPECT_EQ(src, src2);
    EXPECT_EQ(dst, dst2);
  }
}

}  // namespace
