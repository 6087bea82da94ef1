// The byte-driven imaging operations (see imaging_ops.h). Buffers have exactly the size the
// operation's contract names; sides stay small so that one run takes microseconds.
#include "fuzz/imaging_ops.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "base/dots.h"
#include "imaging/adaptive_threshold.h"
#include "imaging/bmp_processing.h"
#include "imaging/color_management.h"

namespace quorvel::fuzz {
namespace {

constexpr uint32_t kMaxSide = 96;  // pixels of a source side
constexpr uint32_t kMaxDst = 160;  // pixels of a destination side

uint32_t Stride(uint32_t w, uint32_t bits) { return uint32_t(RowStride(w, bits ? bits : 8)); }

// Reports a buffer handed over by an operation and frees it unless it is the caller's own.
void OutAndFree(Reader& r, uint8_t* p, size_t n, const std::vector<uint8_t>& own = {}) {
  r.Out(p, n);
  if (p != own.data()) free(p);
}

// Null (the operation allocates) or a caller's buffer of some size.
uint8_t* Given(Reader& r, std::vector<uint8_t>& own, uint32_t* len) {
  if (!r.Flag()) return nullptr;
  own.resize(r.Below(70000) + 1);
  *len = uint32_t(own.size());
  return own.data();
}

void SetTones(CBmpProcessing& p, Reader& r) {
  if (r.Flag()) {
    const COLORLEVELSITEM item{float(r.Range(-50, 1000)) / 100.0f, r.Byte(), r.Byte(), r.Byte(),
                               r.Byte()};
    const COLORLEVELSITEM* given = r.Flag() ? &item : nullptr;
    p.SetColorLevelsData(given, r.Range(-1, 4));
  }
  if (r.Flag()) {
    const int brightness = r.Range(-300, 300);
    p.SetLightTable(brightness, r.Range(-300, 300));
  }
}

// With conversion buffers lent (of some size, holding old black pages) or not.
void OutputFormat(CBmpProcessing& p, Reader& r) {
  SetTones(p, r);
  const uint16_t bits = uint16_t(r.Depth());
  const uint32_t w = r.Below(kMaxSide + 1), ht = r.Below(kMaxSide + 1);
  tagBITMAPINFOHEADER h{0, int32_t(w), int32_t(ht), 0, bits, 0, 0, 0, 0, 0, 0};
  std::vector<uint8_t> src = r.Pixels(size_t(Stride(w, h.biBitCount)) * ht);
  const int rotation = r.Range(-1, 4);
  const int brightness = r.Range(-200, 200), contrast = r.Range(-200, 200);
  if (brightness || contrast) p.SetLightTable(brightness, contrast);
  int columnLimit = r.Range(0, kMaxSide + 8);
  if (r.Flag()) {  // any value: far past the page, or negative
    const uint32_t high = r.U16();
    columnLimit = int(high << 16 | r.U16());
  }
  const int16_t skipWhite = int16_t(r.Range(0, 1));
  CBmpProcessing::ReusableBuffer frame, result;
  if (r.Flag()) {  // lend conversion buffers
    for (auto* b : {&frame, &result}) {
      b->capacity = r.Below(40000) + 1;
      b->data = static_cast<uint8_t*>(calloc(b->capacity, 1));
    }
    p.SetConversionBuffers(&frame, &result);
  }
  tagRECT crop{};
  uint32_t outLen = 0;
  std::vector<uint8_t> own;
  uint8_t* out = Given(r, own, &outLen);
  const bool ok = p.CoverBMP2OutputFormat(src.data(), uint32_t(src.size()), &out, &outLen, &h,
                                          &crop, rotation, 0, 0, COLORLEVELSITEM{}, false,
                                          brightness, contrast, columnLimit, skipWhite);
  r.Out(ok);
  r.Out(outLen);
  r.Out(&h, sizeof h);
  r.Out(&crop, sizeof crop);
  r.Out(out, ok && h.biHeight > 0 ? size_t(Stride(h.biWidth, 8)) * h.biHeight : 0);
  if (out != own.data() && out != result.data) free(out);  // else still the lender's
  free(frame.data);
  free(result.data);
}

void Rotate(CBmpProcessing& p, Reader& r) {
  const uint16_t bits = uint16_t(r.Depth());
  const int32_t w = r.Range(-4, kMaxSide), ht = r.Range(-4, kMaxSide);
  tagBITMAPINFOHEADER h{0, w, ht, 0, bits, 0, 0, 0, 0, 0, 0};
  const tagRECT rect = r.Rect(kMaxSide, kMaxSide);
  const int64_t rw = int64_t(rect.right) - rect.left + 1, rh = int64_t(rect.bottom) - rect.top + 1;
  std::vector<uint8_t> src =
      r.Pixels(rw > 0 && rh > 0 ? size_t(Stride(uint32_t(rw), h.biBitCount)) * rh : 1);
  const int16_t turn = int16_t(r.Range(-1, 3));
  uint32_t outLen = 0;
  std::vector<uint8_t> own;
  uint8_t* out = Given(r, own, &outLen);
  tagRECT outRect{};
  const bool ok =
      p.RotateImgData(src.data(), uint32_t(src.size()), rect, &h, turn, &out, &outLen, &outRect);
  r.Out(ok);
  r.Out(&h, sizeof h);
  r.Out(&outRect, sizeof outRect);
  OutAndFree(r, out, ok ? outLen : 0, own);
}

void Dashes(CBmpProcessing& p, Reader& r) {
  std::vector<uint8_t> buf = r.Pixels(r.Below(4096) + 1);
  const uint32_t len = r.Flag() ? uint32_t(buf.size()) : r.Below(uint32_t(buf.size()) + 1);
  const int16_t dash = int16_t(r.U16()), gap = int16_t(r.U16());
  r.Out(p.ResetBlackLineData(buf.data(), len, dash, gap, int16_t(r.Range(-1, 9))));
  r.Out(buf.data(), buf.size());
}

void Thresholds(CBmpProcessing& p, Reader& r) {
  const uint32_t w = r.Below(kMaxSide + 1), h = r.Below(kMaxSide + 1), stride = w + r.Below(8);
  std::vector<uint8_t> img = r.Pixels(size_t(stride) * h);
  tagRECT region = r.Rect(int32_t(w), int32_t(h));
  const int64_t method = r.Range(-1, 6);
  const tagRECT* rp = r.Flag() ? &region : nullptr;
  const int kind = r.Byte() % 4;
  if (kind == 0) {
    r.Out(p.OptimalThreshold(img.data(), r.Below(stride * h + 1), w, h, method, rp));
  } else if (kind == 1) {
    r.Out(OptimalThreshold(int(method), img.data(), int(w), int(h), int(stride), rp));
  } else if (kind == 2) {
    std::vector<uint8_t> out(img.size());
    uint8_t* o = out.data();
    r.Out(p.AdThresholdImgLocal(w, h, 8, stride, img.data(), stride * h, &o, nullptr, r.Flag(),
                                false));
    r.Out(out.data(), out.size());
  } else {
    uint8_t* out = nullptr;
    int outLen = 0;
    const int block = r.Range(-4, 300), bias = r.Range(-300, 300);
    const float mix = float(r.Range(-10, 110)) / 100.0f;
    const int ok = AdaptiveThreshold(img.data(), int(w), int(h), int(stride), &out, &outLen,
                                     r.Flag(), int(method), block, bias, mix);
    r.Out(ok);
    OutAndFree(r, out, ok == 1 ? size_t(outLen) : 0);
  }
}

void Dither(CBmpProcessing& p, Reader& r) {
  const int method = r.Range(-1, 12);
  const uint32_t w = r.Below(kMaxSide + 1), h = r.Below(kMaxSide + 1), stride = w + r.Below(8);
  std::vector<uint8_t> src = r.Pixels(size_t(stride) * h), dst(src.size(), 255);
  r.Out(p.Dither(method, src.data(), dst.data(), h, w, stride, 0, r.Flag()));
  r.Out(src.data(), src.size());  // error diffusion may leave its error there
  r.Out(dst.data(), dst.size());
}

// Area shrink (with an optional second plane) or resampling, into a buffer of the right size
// or of any size.
template <bool kShrink>
void Scale(CBmpProcessing& p, Reader& r) {
  const uint32_t bits = r.Depth();
  const uint32_t w = r.Below(kMaxSide + 1), h = r.Below(kMaxSide + 1);
  const uint32_t stride = Stride(w, bits) + 4 * r.Below(3);
  std::vector<uint8_t> src = r.Pixels(size_t(stride) * h);
  const uint32_t dw = r.Below(kMaxDst + 1), dh = r.Below(kMaxDst + 1);
  const uint32_t dbits = r.Flag() ? 24 : 8;
  const size_t need = size_t(Stride(dw, dbits)) * dh;
  const size_t size = r.Flag() ? need : r.Below(uint32_t(need) + 64);
  std::vector<uint8_t> dst(std::max<size_t>(1, size), 77);
  uint8_t* d = dst.data();
  tagColorCFG cfg{};
  if (r.Flag()) {
    cfg.sBrightness = int16_t(r.Range(-200, 200));
    cfg.sContrast = int16_t(r.Range(-200, 200));
    p.SetLightTable(cfg.sBrightness, cfg.sContrast);
  }
  if (r.Flag()) cfg.sLevels = int16_t(r.Range(-10, 1000));
  const tagRECT rect = r.Rect(int32_t(dw), int32_t(dh));
  if (!kShrink) {
    r.Out(p.InvoicResampleImg2(w, h, bits, stride, src.data(), dw, dh, dbits, &d, uint32_t(size),
                               cfg, 0, rect));
  } else {
    const bool second = r.Flag();
    std::vector<uint8_t> src2 = second ? r.Pixels(src.size()) : std::vector<uint8_t>();
    std::vector<uint8_t> dst2(second ? dst.size() : 0);
    uint8_t* d2 = dst2.data();
    r.Out(p.InvoicQIShrinkImg2(w, h, bits, stride, src.data(), second ? src2.data() : nullptr, dw,
                               dh, dbits, &d, second ? &d2 : nullptr, uint32_t(size), cfg, cfg,
                               rect));
    r.Out(dst2.data(), dst2.size());
  }
  r.Out(dst.data(), dst.size());
}

void Samplers(CBmpProcessing& p, Reader& r) {
  const uint32_t bits = r.Flag() ? 24 : 8;
  const uint32_t w = r.Below(64) + 1, h = r.Below(64) + 1, stride = Stride(w, bits);
  std::vector<uint8_t> src = r.Pixels(size_t(stride) * h);
  p.srcHeader =
      tagBITMAPINFOHEADER{40, int32_t(w), int32_t(h), 1, uint16_t(bits), 0, stride * h, 0, 0, 0, 0};
  p.srcStride = stride;
  p.srcBits = src.data();
  tagRGBQUAD replacement{r.Byte(), r.Byte(), r.Byte(), 0};
  for (int i = 0; i < 8; ++i) {
    const float x = float(r.Range(-512, 1024)) / 4.0f - 64.0f;
    const float y = float(r.Range(-512, 1024)) / 4.0f - 64.0f;
    const auto method = CBmpProcessing::InterpolationMethod(r.Range(0, 20));
    const auto overflow = CBmpProcessing::OverflowMethod(r.Range(0, 7));
    tagRGBQUAD* repl = r.Flag() ? &replacement : nullptr;
    tagRGBQUAD c;
    if (r.Flag()) {
      c = p.GetPixelColorInterpolated(x, y, method, overflow, repl);
    } else {
      const float aw = float(r.Range(1, 256)) / 16.0f, ah = float(r.Range(1, 256)) / 16.0f;
      c = p.GetAreaColorInterpolated(x, y, aw, ah, method, overflow, repl);
    }
    r.Out(&c, sizeof c);
    int px = int(x), py = int(y);
    c = p.GetPixelColorWithOverflow(px, py, overflow, repl);
    r.Out(&c, sizeof c);
    p.OverflowCoordinates(px, py, overflow);
    r.Out(px);
    r.Out(py);
  }
  p.srcBits = nullptr;
}

void Resize(CBmpProcessing&, Reader& r) {
  const int w = int(r.Below(kMaxSide + 1)), h = int(r.Below(kMaxSide + 1));
  const int stride = int(Stride(uint32_t(w), 8)) + 4 * int(r.Below(2));
  std::vector<uint8_t> src = r.Pixels(size_t(stride) * h);
  uint8_t* dst = nullptr;
  const int dw = r.Range(-2, kMaxDst), dh = r.Range(-2, kMaxDst);
  r.Out(Resample(src.data(), w, h, stride, dw, dh, &dst));
  OutAndFree(r, dst, dst && dw > 0 && dh > 0 ? size_t(Stride(uint32_t(dw), 8)) * dh : 0);
}

void Tones(CBmpProcessing& p, Reader& r) {
  SetTones(p, r);
  p.InitColorLevelsData(r.Range(-1, 4));
  p.InitColorLevelsTable(r.Range(-1, 4));
  SetTones(p, r);
  r.Out(p.levelsTables, sizeof p.levelsTables);
  r.Out(p.levelsBuilt, sizeof p.levelsBuilt);
  r.Out(p.lightTable, sizeof p.lightTable);
  for (int i = 0; i < 16; ++i) {
    uint8_t c[3] = {r.Byte(), r.Byte(), r.Byte()};
    r.Out(p.Light(c[0], c[1], c[2]));
    r.Out(c, 3);
  }
  CColorManagment cm;
  for (int i = 0; i < 4; ++i) {
    uint8_t gray = 0;
    const uint8_t c[6] = {r.Byte(), r.Byte(), r.Byte(), r.Byte(), r.Byte(), r.Byte()};
    cm.SetRGB(c[0], c[1], c[2]);
    cm.RGBToGray(gray);
    r.Out(gray);
    r.Out(cm.RGBToGray(c[3], c[4], c[5]));
  }
}

// Every interpolation kernel at points from -8 to 8, to 1/65536.
void Kernels(CBmpProcessing&, Reader& r) {
  using K = CBmpProcessing;
  static float (*const kKernels[])(float) = {
      K::KernelLinear,    K::KernelCubic,         K::KernelBox,     K::KernelBSpline,
      K::KernelHermite,   K::KernelHanning,       K::KernelHamming, K::KernelSinc,
      K::KernelBlackman,  K::KernelBessel_Order1, K::KernelBessel,  K::KernelGaussian,
      K::KernelQuadratic, K::KernelMitchell,      K::KernelCatrom};
  for (int i = 0; i < 8; ++i) {
    const float x = float(r.Range(-512, 512)) / 64.0f;
    for (auto k : kKernels) r.Out(std::llround(k(x) * 65536.0));
    r.Out(std::llround(K::KernelGeneralizedCubic(x, float(r.Range(-8, 0)) / 8.0f) * 65536.0));
    r.Out(std::llround(K::KernelLanczosSinc(x, float(r.Range(1, 8))) * 65536.0));
    r.Out(std::llround(K::KernelPower(x, float(r.Range(1, 4))) * 65536.0));
  }
}

void (*const kOperations[kImagingOps])(CBmpProcessing&, Reader&) = {
    OutputFormat, Rotate,   Dashes, Thresholds, Dither, Scale<true>,
    Scale<false>, Samplers, Resize, Tones,      Kernels};

}  // namespace

std::vector<uint8_t> Reader::Pixels(size_t n) {
  std::vector<uint8_t> v(n ? n : 1);
  const int kind = Byte() % 5;
  const size_t left = pos_ < size_ ? size_ - pos_ : 0;
  const int base = left ? data_[pos_] : 128;
  static const uint8_t kBorders[11] = {0, 1, 127, 128, 129, 130, 249, 250, 251, 254, 255};
  for (size_t i = 0; i < v.size(); ++i) {
    const uint8_t b = left ? data_[pos_ + i % left] : uint8_t(i * 37);
    v[i] = kind == 0   ? b
           : kind == 1 ? (b % 4 == 0 ? b : 255)
           : kind == 2 ? uint8_t(std::clamp(base + b % 13 - 6, 0, 255))
           : kind == 3 ? uint8_t(b & 1 ? 245 + b % 11 : b % 31)
                       : kBorders[b % 11];
  }
  return v;
}

void RunImagingOp(int op, Reader& r) {
  CBmpProcessing p;
  kOperations[op % kImagingOps](p, r);
}

}  // namespace quorvel::fuzz
