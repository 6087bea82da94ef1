// Worked examples of the imaging operations, read as rows of worked_examples.txt: small inputs
// whose outputs were worked out by hand, each row saying how. The digests pin everything
// else; these rows say what the digested arithmetic means.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "base/dots.h"
#include "imaging/adaptive_threshold.h"
#include "imaging/bmp_processing.h"

namespace {

using Strings = std::vector<std::string>;
using Args = std::vector<double>;
uint32_t U(double x) { return static_cast<uint32_t>(x); }

// The tokens of a text, "v*n" standing for n tokens "v".
Strings Tokens(const std::string& text) {
  std::istringstream in(text);
  Strings v;
  for (std::string t; in >> t;) {
    const size_t star = t.find('*');
    v.insert(v.end(), star == std::string::npos ? 1 : std::stoul(t.substr(star + 1)),
             t.substr(0, star));
  }
  return v;
}

// An image of 8- or 24-bit pixels, rows padded to four bytes; a pixel is written and read
// as "v" (a gray) or "b/g/r" (its blue, green and red when they differ).
struct Image {
  uint32_t w, h, bpp, stride;
  std::vector<uint8_t> bits;
  Image(double w_, double h_, double bpp_, const Strings& px = {}, uint8_t fill = 0)
      : w(U(w_)),
        h(U(h_)),
        bpp(U(bpp_)),
        stride(uint32_t(RowStride(w, bpp))),
        bits(stride * h, fill) {
    for (size_t i = 0; i < px.size() && i < size_t{w} * h; ++i) {
      std::istringstream parts(px[i]);
      std::string c;
      for (uint32_t k = 0; k < bpp / 8; ++k) {
        if (k == 0 || px[i].find('/') != std::string::npos) std::getline(parts, c, '/');
        bits[i / w * stride + i % w * bpp / 8 + k] = uint8_t(std::stoi(c));
      }
    }
  }
  Strings Out() const {
    Strings v;
    for (uint32_t i = 0; i < w * h; ++i) {
      const uint8_t* p = &bits[i / w * stride + i % w * bpp / 8];
      std::string s = std::to_string(p[0]);
      if (bpp == 24 && !(p[0] == p[1] && p[1] == p[2]))
        s += "/" + std::to_string(p[1]) + "/" + std::to_string(p[2]);
      v.push_back(s);
    }
    return v;
  }
};

template <typename T>
Strings Texts(const T* p, size_t n) {
  Strings v;
  for (size_t i = 0; i < n; ++i) v.push_back(std::to_string(p[i]));
  return v;
}

Strings Scale(const Args& a, const Strings& px, bool shrink) {
  const Image src(a[0], a[1], a[4], px);
  Image dst(a[2], a[3], a[4]);
  CBmpProcessing p;
  uint8_t* d = dst.bits.data();
  const auto size = uint32_t(dst.bits.size());
  const int ok =
      shrink ? p.InvoicQIShrinkImg2(src.w, src.h, src.bpp, src.stride, src.bits.data(), nullptr,
                                    dst.w, dst.h, dst.bpp, &d, nullptr, size, tagColorCFG{},
                                    tagColorCFG{}, tagRECT{})
             : p.InvoicResampleImg2(src.w, src.h, src.bpp, src.stride, src.bits.data(), dst.w,
                                    dst.h, dst.bpp, &d, size, tagColorCFG{}, 0, tagRECT{});
  return ok == 1 ? dst.Out() : Strings{"refused"};
}

// The threshold of a one-row image by each method, through the member or the free function.
Strings Select(const Args& methods, const Strings& px, bool free) {
  std::vector<uint8_t> row;
  for (const auto& v : px) row.push_back(uint8_t(std::stoi(v)));
  const auto n = uint32_t(row.size());
  std::vector<int64_t> v;
  for (double m : methods)
    v.push_back(free ? OptimalThreshold(int(m), row.data(), int(n), 1, int(n), nullptr)
                     : CBmpProcessing().OptimalThreshold(row.data(), n, n, 1, int64_t(m), nullptr));
  return Texts(v.data(), v.size());
}

// Each operation with the arguments its rows give.
const std::map<std::string, std::function<Strings(const Args&, const Strings&)>> kOps = {
    // levels gamma inLow inHigh outLow outHigh: table 0 at the input values
    {"levels",
     [](auto& a, auto& px) {
       CBmpProcessing p;
       const COLORLEVELSITEM item{float(a[0]), uint8_t(a[1]), uint8_t(a[2]), uint8_t(a[3]),
                                  uint8_t(a[4])};
       p.SetColorLevelsData(&item, 0);
       Strings v;
       for (const auto& x : px) v.push_back(std::to_string(p.levelsTables[0][std::stoi(x)]));
       return v;
     }},
    // light brightness contrast: the light table at the input values
    {"light",
     [](auto& a, auto& px) {
       CBmpProcessing p;
       p.SetLightTable(int(a[0]), int(a[1]));
       Strings v;
       for (const auto& x : px) v.push_back(std::to_string(p.lightTable[std::stoi(x)]));
       return v;
     }},
    {"select", [](auto& a, auto& px) { return Select(a, px, false); }},
    {"select-free", [](auto& a, auto& px) { return Select(a, px, true); }},
    // shrink / resample srcW srcH dstW dstH bits
    {"shrink", [](auto& a, auto& px) { return Scale(a, px, true); }},
    {"resample", [](auto& a, auto& px) { return Scale(a, px, false); }},
    // dither method w h; the page starts as 77, so a pixel left undecided shows
    {"dither",
     [](auto& a, auto& px) {
       Image src(a[1], a[2], 8, px), dst(a[1], a[2], 8, {}, 77);
       CBmpProcessing().Dither(int(a[0]), src.bits.data(), dst.bits.data(), src.h, src.w,
                               src.stride, 0, false);
       return dst.Out();
     }},
    // rotate turn bits w h: every byte handed back, row padding included
    {"rotate",
     [](auto& a, auto& px) {
       const Image src(a[2], a[3], a[1], px);
       tagBITMAPINFOHEADER h{
           40, int32_t(src.w), int32_t(src.h), 1, uint16_t(src.bpp), 0, 0, 0, 0, 0, 0};
       const tagRECT rect{0, 0, int32_t(src.w) - 1, int32_t(src.h) - 1};
       tagRECT outRect = rect;
       uint8_t* out = nullptr;
       uint32_t len = 0;
       const bool ok =
           CBmpProcessing().RotateImgData(src.bits.data(), uint32_t(src.bits.size()), rect, &h,
                                          int16_t(a[0]), &out, &len, &outRect);
       const Strings v = ok ? Texts(out, len) : Strings{"refused"};
       std::free(out);
       return v;
     }},
    // output rotation brightness gamma bits w h: the page converted without white skipping,
    // row by row, as many columns as the turned page has
    {"output",
     [](auto& a, auto& px) {
       const Image src(a[4], a[5], a[3], px);
       CBmpProcessing p;
       const COLORLEVELSITEM item{float(a[2])};
       if (a[2] != 1.0) p.SetColorLevelsData(&item, 0);
       if (a[1] != 0) p.SetLightTable(int(a[1]), 0);
       tagBITMAPINFOHEADER h{
           40, int32_t(src.w), int32_t(src.h), 1, uint16_t(src.bpp), 0, 0, 0, 0, 0, 0};
       tagRECT crop{};
       uint8_t* out = nullptr;
       uint32_t len = 0;
       if (!p.CoverBMP2OutputFormat(src.bits.data(), uint32_t(src.bits.size()), &out, &len, &h,
                                    &crop, int(a[0]), 0, 0, COLORLEVELSITEM(), false, int(a[1]), 0,
                                    1000, 0))
         return Strings{"refused"};
       const uint32_t cols = a[0] == 0 || a[0] == 2 ? src.h : src.w;
       Strings v;
       for (int y = 0; y < h.biHeight; ++y) {
         const Strings row = Texts(out + y * h.biWidth, cols);
         v.insert(v.end(), row.begin(), row.end());
       }
       std::free(out);
       return v;
     }},
};

// Rows: "op args... : input pixels -> expected values  # where the values come from".
TEST(WorkedExamples, EveryRowGivesItsExpectedValues) {
  std::ifstream file(std::string(QEV_SOURCE_DIR) + "/tests/imaging/worked_examples.txt");
  ASSERT_TRUE(file.good());
  int rows = 0;
  for (std::string line; std::getline(file, line);) {
    if (line.empty() || line[0] == '#') continue;
    SCOPED_TRACE(line);
    const size_t colon = line.find(" : "), arrow = line.find(" -> "), hash = line.find(" # ");
    ASSERT_TRUE(colon < arrow && arrow < hash && hash + 3 < line.size()) << "malformed row";
    std::istringstream head(line.substr(0, colon));
    std::string name;
    head >> name;
    ASSERT_EQ(kOps.count(name), 1u) << "unknown operation";
    Args args;
    for (double x; head >> x;) args.push_back(x);
    EXPECT_EQ(kOps.at(name)(args, Tokens(line.substr(colon + 3, arrow - colon - 3))),
              Tokens(line.substr(arrow + 4, hash - arrow - 4)));
    ++rows;
  }
  EXPECT_GT(rows, 20);
}

}  // namespace
