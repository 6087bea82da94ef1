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

uint32_t U(double x) { return static_cast<uint32_t>(x); }
using Pixels = std::vector<std::vector<uint8_t>>;  // each pixel blue, green, red (or gray)

// "v" is a gray, "b/g/r" a colour, "v*n" n pixels of value v.
Pixels ParsePixels(std::istringstream& in) {
  Pixels px;
  for (std::string t; in >> t;) {
    const size_t star = t.find('*');
    const int n = star == std::string::npos ? 1 : std::stoi(t.substr(star + 1));
    std::vector<uint8_t> p;
    std::istringstream parts(t.substr(0, star));
    for (std::string c; std::getline(parts, c, '/');) p.push_back(uint8_t(std::stoi(c)));
    if (p.size() == 1) p.assign(3, p[0]);
    px.insert(px.end(), size_t(n), p);
  }
  return px;
}

struct Image {
  uint32_t w, h, bpp, stride;
  std::vector<uint8_t> bits;
  Image(uint32_t w_, uint32_t h_, uint32_t bpp_, const Pixels& px = {})
      : w(w_), h(h_), bpp(bpp_), stride(uint32_t(RowStride(w_, bpp_))), bits(stride * h_, 0) {
    for (size_t i = 0; i < px.size() && i < size_t(w) * h; ++i)
      for (uint32_t c = 0; c < bpp / 8; ++c) bits[i / w * stride + i % w * bpp / 8 + c] = px[i][c];
  }
  // Every pixel row by row: its gray, or its channels when they differ (b*65536 + g*256 + r
  // would hide that; the row lists them as b/g/r).
  std::vector<std::string> Out() const {
    std::vector<std::string> v;
    for (uint32_t i = 0; i < w * h; ++i) {
      const uint8_t* p = &bits[i / w * stride + i % w * bpp / 8];
      const bool gray = bpp == 8 || (p[0] == p[1] && p[1] == p[2]);
      v.push_back(gray ? std::to_string(p[0])
                       : std::to_string(p[0]) + "/" + std::to_string(p[1]) + "/" +
                             std::to_string(p[2]));
    }
    return v;
  }
};

std::vector<std::string> Strings(const std::vector<uint8_t>& bytes) {
  std::vector<std::string> v;
  for (uint8_t b : bytes) v.push_back(std::to_string(b));
  return v;
}

COLORLEVELSITEM Levels(float gamma, int iL = 0, int iH = 255, int oL = 0, int oH = 255) {
  COLORLEVELSITEM item;
  item.gamma = gamma;
  item.inputLow = uint8_t(iL);
  item.inputHigh = uint8_t(iH);
  item.outputLow = uint8_t(oL);
  item.outputHigh = uint8_t(oH);
  return item;
}

// An operation: its numeric arguments and input pixels to the values the row expects.
using Op = std::function<std::vector<std::string>(const std::vector<double>&, const Pixels&)>;

std::vector<std::string> Scale(const std::vector<double>& a, const Pixels& px, bool shrink) {
  Image src(U(a[0]), U(a[1]), U(a[4]), px);
  Image dst(U(a[2]), U(a[3]), U(a[4]));
  CBmpProcessing p;
  uint8_t* d = dst.bits.data();
  const auto size = uint32_t(dst.bits.size());
  const int ok =
      shrink ? p.InvoicQIShrinkImg2(src.w, src.h, src.bpp, src.stride, src.bits.data(), nullptr,
                                    dst.w, dst.h, dst.bpp, &d, nullptr, size, tagColorCFG{},
                                    tagColorCFG{}, tagRECT{})
             : p.InvoicResampleImg2(src.w, src.h, src.bpp, src.stride, src.bits.data(), dst.w,
                                    dst.h, dst.bpp, &d, size, tagColorCFG{}, 0, tagRECT{});
  return ok == 1 ? dst.Out() : std::vector<std::string>{"refused"};
}

std::vector<std::string> Select(const std::vector<double>& methods, const Pixels& px, bool free) {
  std::vector<uint8_t> row;
  for (const auto& x : px) row.push_back(x[0]);
  const auto n = uint32_t(row.size());
  std::vector<std::string> v;
  for (double m : methods)
    v.push_back(std::to_string(
        free ? OptimalThreshold(int(m), row.data(), int(n), 1, int(n), nullptr)
             : CBmpProcessing().OptimalThreshold(row.data(), n, n, 1, int64_t(m), nullptr)));
  return v;
}

const std::map<std::string, Op> kOps = {
    // levels gamma inLow inHigh outLow outHigh: table entries at the input values
    {"levels",
     [](auto& a, auto& px) {
       CBmpProcessing p;
       const COLORLEVELSITEM item = Levels(float(a[0]), int(a[1]), int(a[2]), int(a[3]), int(a[4]));
       p.SetColorLevelsData(&item, 0);
       std::vector<uint8_t> v;
       for (const auto& x : px) v.push_back(p.levelsTables[0][x[0]]);
       return Strings(v);
     }},
    // light brightness contrast: light table entries at the input values
    {"light",
     [](auto& a, auto& px) {
       CBmpProcessing p;
       p.SetLightTable(int(a[0]), int(a[1]));
       std::vector<std::string> v;
       for (const auto& x : px) v.push_back(std::to_string(p.lightTable[x[0]]));
       return v;
     }},
    // select methods... / select-free methods...: the threshold of a one-row image by each
    // method, through the processor's member or the free function
    {"select", [](auto& a, auto& px) { return Select(a, px, false); }},
    {"select-free", [](auto& a, auto& px) { return Select(a, px, true); }},
    // shrink / resample srcW srcH dstW dstH bits
    {"shrink", [](auto& a, auto& px) { return Scale(a, px, true); }},
    {"resample", [](auto& a, auto& px) { return Scale(a, px, false); }},
    // dither method w h: the halftoned page
    {"dither",
     [](auto& a, auto& px) {
       // The page starts as 77, so a pixel left undecided shows.
       Image src(U(a[1]), U(a[2]), 8, px), dst(src.w, src.h, 8, Pixels(px.size(), {77, 77, 77}));
       CBmpProcessing().Dither(int(a[0]), src.bits.data(), dst.bits.data(), src.h, src.w,
                               src.stride, 0, false);
       return dst.Out();
     }},
    // rotate turn bits w h: every byte handed back, row padding included
    {"rotate",
     [](auto& a, auto& px) {
       Image src(U(a[2]), U(a[3]), U(a[1]), px);
       tagBITMAPINFOHEADER h{
           40, int32_t(src.w), int32_t(src.h), 1, uint16_t(src.bpp), 0, 0, 0, 0, 0, 0};
       const tagRECT rect{0, 0, int32_t(src.w) - 1, int32_t(src.h) - 1};
       tagRECT outRect = rect;
       uint8_t* out = nullptr;
       uint32_t len = 0;
       if (!CBmpProcessing().RotateImgData(src.bits.data(), uint32_t(src.bits.size()), rect, &h,
                                           int16_t(a[0]), &out, &len, &outRect))
         return std::vector<std::string>{"refused"};
       const std::vector<uint8_t> bytes(out, out + len);
       std::free(out);
       return Strings(bytes);
     }},
    // output rotation brightness gamma bits w h: the converted page without white skipping,
    // row by row, as many columns as the turned page has
    {"output",
     [](auto& a, auto& px) {
       Image src(U(a[4]), U(a[5]), U(a[3]), px);
       CBmpProcessing p;
       const COLORLEVELSITEM item = Levels(float(a[2]));
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
         return std::vector<std::string>{"refused"};
       const bool quarter = a[0] == 0 || a[0] == 2;
       const int cols = int(quarter ? src.h : src.w);
       std::vector<uint8_t> v;
       for (int y = 0; y < h.biHeight; ++y)
         for (int x = 0; x < cols; ++x) v.push_back(out[y * h.biWidth + x]);
       std::free(out);
       return Strings(v);
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
    std::istringstream head(line.substr(0, colon)), in(line.substr(colon + 3, arrow - colon - 3)),
        want(line.substr(arrow + 4, hash - arrow - 4));
    std::string name;
    head >> name;
    ASSERT_EQ(kOps.count(name), 1u) << "unknown operation";
    std::vector<double> args;
    for (double x; head >> x;) args.push_back(x);
    const Pixels px = ParsePixels(in);
    std::vector<std::string> expected;
    for (std::string t; want >> t;) {
      const size_t star = t.find('*');
      const int n = star == std::string::npos ? 1 : std::stoi(t.substr(star + 1));
      expected.insert(expected.end(), size_t(n), t.substr(0, star));
    }
    EXPECT_EQ(kOps.at(name)(args, px), expected);
    ++rows;
  }
  EXPECT_GT(rows, 20);
}

}  // namespace
