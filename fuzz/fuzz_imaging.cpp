// Fuzz target: every image operation of the page pipeline and the image processor with
// arbitrary sizes, strides, rectangles, settings and pixels, the first byte choosing the
// operation. Buffers have exactly the size the operation's contract names, so any access past
// them is caught; sides stay small so that one run takes microseconds.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/dots.h"
#include "imaging/adaptive_threshold.h"
#include "imaging/bmp_processing.h"
#include "imaging/color_management.h"

namespace {

constexpr uint32_t kMaxSide = 96;  // pixels of a source side
constexpr uint32_t kMaxDst = 160;  // pixels of a destination side

// Reads parameters from the front of the input; zeros once it is used up.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint16_t U16() { return uint16_t(Byte() | Byte() << 8); }
  uint32_t U32() { return uint32_t(U16()) | uint32_t(U16()) << 16; }
  uint32_t Below(uint32_t n) { return n ? U16() % n : 0; }
  int32_t Range(int32_t lo, int32_t hi) { return lo + int32_t(Below(uint32_t(hi - lo + 1))); }
  bool Flag() { return Byte() & 1; }
  uint32_t Depth() { return std::vector<uint32_t>{8, 24, 24, 8, 1, 32, 0, 16}[Byte() & 7]; }
  tagRECT Rect(int32_t w, int32_t h) {
    return tagRECT{Range(-8, w + 8), Range(-8, h + 8), Range(-8, w + 8), Range(-8, h + 8)};
  }
  // Exactly max(n, 1) bytes, filled with the rest of the input, repeated.
  std::vector<uint8_t> Pixels(size_t n) {
    std::vector<uint8_t> v(n ? n : 1);
    const size_t left = pos_ < size_ ? size_ - pos_ : 0;
    for (size_t i = 0; i < v.size(); ++i) v[i] = left ? data_[pos_ + i % left] : uint8_t(i * 37);
    return v;
  }
  // Null (the operation allocates) or a caller's buffer of some size.
  uint8_t* Given(std::vector<uint8_t>& own, uint32_t* len) {
    if (!Flag()) return nullptr;
    own.resize(Below(70000) + 1);
    *len = uint32_t(own.size());
    return own.data();
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

uint32_t Stride(uint32_t width, uint32_t bits) {
  return uint32_t(RowStride(width, bits ? bits : 8));
}

// Every byte of a buffer handed over must be readable; it is then freed unless it is own.
void TouchAndFree(uint8_t* p, size_t n, const std::vector<uint8_t>& own = {}) {
  volatile uint8_t sum = 0;
  for (size_t i = 0; p && i < n; ++i) sum = uint8_t(sum + p[i]);
  (void)sum;
  if (p != own.data()) free(p);
}

void SetTones(CBmpProcessing& p, Reader& r) {
  if (r.Flag()) {
    COLORLEVELSITEM item;
    item.gamma = float(r.Range(-50, 1000)) / 100.0f;
    item.inputLow = r.Byte();
    item.inputHigh = r.Byte();
    item.outputLow = r.Byte();
    item.outputHigh = r.Byte();
    p.SetColorLevelsData(r.Flag() ? &item : nullptr, r.Range(-1, 4));
  }
  if (r.Flag()) p.SetLightTable(r.Range(-300, 300), r.Range(-300, 300));
}

void OutputFormat(CBmpProcessing& p, Reader& r) {
  SetTones(p, r);
  tagBITMAPINFOHEADER h{};
  h.biBitCount = uint16_t(r.Depth());
  const uint32_t w = r.Below(kMaxSide + 1), ht = r.Below(kMaxSide + 1);
  h.biWidth = int32_t(w);
  h.biHeight = int32_t(ht);
  std::vector<uint8_t> src = r.Pixels(size_t(Stride(w, h.biBitCount)) * ht);
  const int rotation = r.Range(-1, 4);
  const int brightness = r.Range(-200, 200), contrast = r.Range(-200, 200);
  if (brightness || contrast) p.SetLightTable(brightness, contrast);
  const int columnLimit = r.Flag() ? int(r.U32()) : r.Range(0, kMaxSide + 8);
  const int16_t skipWhite = int16_t(r.Range(0, 1));
  tagRECT crop{};
  uint32_t outLen = 0;
  std::vector<uint8_t> own;
  uint8_t* out = r.Given(own, &outLen);
  const bool ok = p.CoverBMP2OutputFormat(src.data(), uint32_t(src.size()), &out, &outLen, &h,
                                          &crop, rotation, 0, 0, COLORLEVELSITEM{}, false,
                                          brightness, contrast, columnLimit, skipWhite);
  const bool full = ok && h.biHeight > 0;
  TouchAndFree(out, full ? size_t(Stride(h.biWidth, 8)) * h.biHeight : 0, own);
}

void Rotate(CBmpProcessing& p, Reader& r) {
  tagBITMAPINFOHEADER h{};
  h.biBitCount = uint16_t(r.Depth());
  h.biWidth = r.Range(-4, kMaxSide);
  h.biHeight = r.Range(-4, kMaxSide);
  const tagRECT rect = r.Rect(kMaxSide, kMaxSide);
  const int64_t rw = int64_t(rect.right) - rect.left + 1, rh = int64_t(rect.bottom) - rect.top + 1;
  std::vector<uint8_t> src =
      r.Pixels(rw > 0 && rh > 0 ? size_t(Stride(uint32_t(rw), h.biBitCount)) * rh : 1);
  const int16_t turn = int16_t(r.Range(-1, 3));
  uint32_t outLen = 0;
  std::vector<uint8_t> own;
  uint8_t* out = r.Given(own, &outLen);
  tagRECT outRect{};
  const bool ok =
      p.RotateImgData(src.data(), uint32_t(src.size()), rect, &h, turn, &out, &outLen, &outRect);
  TouchAndFree(out, ok && out != own.data() ? outLen : 0, own);
}

void Dashes(CBmpProcessing& p, Reader& r) {
  std::vector<uint8_t> buf = r.Pixels(r.Below(4096) + 1);
  const uint32_t len = r.Flag() ? uint32_t(buf.size()) : r.Below(uint32_t(buf.size()) + 1);
  p.ResetBlackLineData(buf.data(), len, int16_t(r.U16()), int16_t(r.U16()),
                       int16_t(r.Range(-1, 9)));
}

void Thresholds(CBmpProcessing& p, Reader& r) {
  const uint32_t w = r.Below(kMaxSide + 1), h = r.Below(kMaxSide + 1);
  const uint32_t stride = w + r.Below(8);
  std::vector<uint8_t> img = r.Pixels(size_t(stride) * h);
  tagRECT region = r.Rect(int32_t(w), int32_t(h));
  const int64_t method = r.Range(-1, 6);
  const tagRECT* rp = r.Flag() ? &region : nullptr;
  const int kind = r.Byte() % 4;
  if (kind == 0) {
    p.OptimalThreshold(img.data(), r.Below(uint32_t(stride * h) + 1), w, h, method, rp);
  } else if (kind == 1) {
    OptimalThreshold(int(method), img.data(), int(w), int(h), int(stride), rp);
  } else if (kind == 2) {
    std::vector<uint8_t> out(img.size());
    uint8_t* o = out.data();
    p.AdThresholdImgLocal(w, h, 8, stride, img.data(), stride * h, &o, nullptr, r.Flag(), false);
  } else {
    uint8_t* out = nullptr;
    int outLen = 0;
    const int block = r.Range(-4, 300), bias = r.Range(-300, 300);
    const float mix = float(r.Range(-10, 110)) / 100.0f;
    const int ok = AdaptiveThreshold(img.data(), int(w), int(h), int(stride), &out, &outLen,
                                     r.Flag(), int(method), block, bias, mix);
    TouchAndFree(out, ok == 1 ? size_t(outLen) : 0);
  }
}

void DitherAll(CBmpProcessing& p, Reader& r) {
  const int method = r.Range(-1, 12);
  const uint32_t w = r.Below(kMaxSide + 1), h = r.Below(kMaxSide + 1);
  const uint32_t stride = w + r.Below(8);
  std::vector<uint8_t> src = r.Pixels(size_t(stride) * h), dst(src.size(), 255);
  p.Dither(method, src.data(), dst.data(), h, w, stride, 0, r.Flag());
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
  std::vector<uint8_t> dst(std::max<size_t>(1, size));
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
    p.InvoicResampleImg2(w, h, bits, stride, src.data(), dw, dh, dbits, &d, uint32_t(size), cfg, 0,
                         rect);
    return;
  }
  const bool second = r.Flag();
  std::vector<uint8_t> src2 = second ? r.Pixels(src.size()) : std::vector<uint8_t>();
  std::vector<uint8_t> dst2(second ? dst.size() : 0);
  uint8_t* d2 = dst2.data();
  p.InvoicQIShrinkImg2(w, h, bits, stride, src.data(), second ? src2.data() : nullptr, dw, dh,
                       dbits, &d, second ? &d2 : nullptr, uint32_t(size), cfg, cfg, rect);
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
    const float x = float(r.Range(-512, 512 + 128 * 4)) / 4.0f - 64.0f;
    const float y = float(r.Range(-512, 512 + 128 * 4)) / 4.0f - 64.0f;
    const auto method = CBmpProcessing::InterpolationMethod(r.Range(0, 20));
    const auto overflow = CBmpProcessing::OverflowMethod(r.Range(0, 7));
    tagRGBQUAD* repl = r.Flag() ? &replacement : nullptr;
    if (r.Flag()) {
      p.GetPixelColorInterpolated(x, y, method, overflow, repl);
    } else {
      const float aw = float(r.Range(1, 256)) / 16.0f, ah = float(r.Range(1, 256)) / 16.0f;
      p.GetAreaColorInterpolated(x, y, aw, ah, method, overflow, repl);
    }
  }
  p.srcBits = nullptr;
}

void Resize(CBmpProcessing&, Reader& r) {
  const int w = int(r.Below(kMaxSide + 1)), h = int(r.Below(kMaxSide + 1));
  const int stride = int(Stride(uint32_t(w), 8)) + 4 * int(r.Below(2));
  std::vector<uint8_t> src = r.Pixels(size_t(stride) * h);
  uint8_t* dst = nullptr;
  const int dw = r.Range(-2, kMaxDst), dh = r.Range(-2, kMaxDst);
  Resample(src.data(), w, h, stride, dw, dh, &dst);
  TouchAndFree(dst, dw > 0 && dh > 0 ? size_t(Stride(uint32_t(dw), 8)) * dh : 0);
}

void Tones(CBmpProcessing& p, Reader& r) {
  SetTones(p, r);
  p.InitColorLevelsData(r.Range(-1, 4));
  p.InitColorLevelsTable(r.Range(-1, 4));
  SetTones(p, r);
  for (int i = 0; i < 16; ++i) {
    uint8_t red = r.Byte(), green = r.Byte(), blue = r.Byte();
    p.Light(red, green, blue);
  }
  CColorManagment cm;
  for (int i = 0; i < 4; ++i) {
    uint8_t gray = 0;
    cm.SetRGB(r.Byte(), r.Byte(), r.Byte());
    cm.RGBToGray(gray);
    cm.RGBToGray(r.Byte(), r.Byte(), r.Byte());
  }
}

// In the order of the first input byte (the saved corpus relies on it).
void (*const kOperations[])(CBmpProcessing&, Reader&) = {
    OutputFormat, Rotate,       Dashes,   Thresholds, DitherAll,
    Scale<true>,  Scale<false>, Samplers, Resize,     Tones};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader r(data, size);
  CBmpProcessing p;
  kOperations[r.Byte() % 10](p, r);
  return 0;
}
