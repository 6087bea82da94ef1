// Fuzz target: every image operation of the page pipeline and the image processor with
// arbitrary sizes, strides, rectangles, settings and pixels. Each buffer is allocated with
// exactly the size the operation's contract names, so any read or write past it is caught.
// Sides stay small (caps below) so that one run takes microseconds.
#include <cstdint>
#include <cstdlib>
#include <cstring>
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
  // A buffer of `n` bytes (exactly, so that the sanitizer sees its end) filled with the
  // remaining input, repeated.
  std::vector<uint8_t> Pixels(size_t n) {
    std::vector<uint8_t> v(n);
    const size_t left = pos_ < size_ ? size_ - pos_ : 0;
    for (size_t i = 0; i < n; ++i) v[i] = left ? data_[pos_ + i % left] : uint8_t(i * 37);
    return v;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

uint32_t Stride(uint32_t width, uint32_t bits) {
  return static_cast<uint32_t>(RowStride(width, bits));
}

uint32_t Depth(Reader& r) {
  static const uint32_t kDepths[] = {8, 24, 24, 8, 1, 32, 0, 16};
  return kDepths[r.Byte() & 7];
}

// Every byte of a buffer handed over by an operation must be readable.
void Touch(const uint8_t* p, size_t n) {
  volatile uint8_t sum = 0;
  for (size_t i = 0; i < n; ++i) sum = uint8_t(sum + p[i]);
  (void)sum;
}

tagRECT AnyRect(Reader& r, int32_t w, int32_t h) {
  return tagRECT{r.Range(-8, w + 8), r.Range(-8, h + 8), r.Range(-8, w + 8), r.Range(-8, h + 8)};
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
  h.biBitCount = uint16_t(Depth(r));
  const uint32_t w = r.Below(kMaxSide + 1), ht = r.Below(kMaxSide + 1);
  h.biWidth = int32_t(w);
  h.biHeight = int32_t(ht);
  const uint32_t bits = h.biBitCount ? h.biBitCount : 8;
  std::vector<uint8_t> src = r.Pixels(std::max<size_t>(1, size_t(Stride(w, bits)) * ht));
  const int rotation = r.Range(-1, 4);
  const int brightness = r.Range(-200, 200), contrast = r.Range(-200, 200);
  if (brightness || contrast) p.SetLightTable(brightness, contrast);
  const int columnLimit = r.Flag() ? int(r.U32()) : r.Range(0, kMaxSide + 8);
  const int16_t skipWhite = int16_t(r.Range(0, 1));
  tagRECT crop{};
  uint32_t outLen = 0;
  uint8_t* out = nullptr;
  std::vector<uint8_t> own;
  if (r.Flag()) {  // the caller's buffer, of some size
    own.resize(r.Below(70000) + 1);
    out = own.data();
    outLen = uint32_t(own.size());
  }
  const bool ok = p.CoverBMP2OutputFormat(src.data(), uint32_t(src.size()), &out, &outLen, &h,
                                          &crop, rotation, 0, 0, COLORLEVELSITEM{}, false,
                                          brightness, contrast, columnLimit, skipWhite);
  if (ok && out && h.biHeight > 0) Touch(out, size_t(Stride(h.biWidth, 8)) * h.biHeight);
  if (out != own.data()) free(out);
}

void Rotate(CBmpProcessing& p, Reader& r) {
  tagBITMAPINFOHEADER h{};
  h.biBitCount = uint16_t(Depth(r));
  h.biWidth = r.Range(-4, kMaxSide);
  h.biHeight = r.Range(-4, kMaxSide);
  const tagRECT rect = AnyRect(r, kMaxSide, kMaxSide);
  const int64_t rw = int64_t(rect.right) - rect.left + 1, rh = int64_t(rect.bottom) - rect.top + 1;
  const uint32_t bits = h.biBitCount ? h.biBitCount : 8;
  const size_t len = rw > 0 && rh > 0 ? size_t(Stride(uint32_t(rw), bits)) * rh : 1;
  std::vector<uint8_t> src = r.Pixels(len);
  const int16_t turn = int16_t(r.Range(-1, 3));
  uint8_t* out = nullptr;
  uint32_t outLen = 0;
  std::vector<uint8_t> own;
  if (r.Flag()) {
    own.resize(r.Below(70000) + 1);
    out = own.data();
    outLen = uint32_t(own.size());
  }
  tagRECT outRect{};
  const bool ok =
      p.RotateImgData(src.data(), uint32_t(src.size()), rect, &h, turn, &out, &outLen, &outRect);
  if (ok && out && out != own.data()) Touch(out, outLen);
  if (out != own.data()) free(out);
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
  std::vector<uint8_t> img = r.Pixels(std::max<size_t>(1, size_t(stride) * h));
  tagRECT region = AnyRect(r, int32_t(w), int32_t(h));
  const int64_t method = r.Range(-1, 6);
  const tagRECT* rp = r.Flag() ? &region : nullptr;
  switch (r.Byte() % 4) {
    case 0:
      p.OptimalThreshold(img.data(), r.Below(uint32_t(stride * h) + 1), w, h, method, rp);
      break;
    case 1:
      OptimalThreshold(int(method), img.data(), int(w), int(h), int(stride), rp);
      break;
    case 2: {
      std::vector<uint8_t> out(img.size());
      uint8_t* o = out.data();
      p.AdThresholdImgLocal(w, h, 8, stride, img.data(), stride * h, &o, nullptr, r.Flag(), false);
      break;
    }
    default: {
      uint8_t* out = nullptr;
      int outLen = 0;
      const int block = r.Range(-4, 300), bias = r.Range(-300, 300);
      const float mix = float(r.Range(-10, 110)) / 100.0f;
      if (AdaptiveThreshold(img.data(), int(w), int(h), int(stride), &out, &outLen, r.Flag(),
                            int(method), block, bias, mix) == 1) {
        Touch(out, size_t(outLen));
      }
      free(out);
    }
  }
}

void DitherAll(CBmpProcessing& p, Reader& r) {
  const int method = r.Range(-1, 12);
  const uint32_t w = r.Below(kMaxSide + 1), h = r.Below(kMaxSide + 1);
  const uint32_t stride = w + r.Below(8);
  std::vector<uint8_t> src = r.Pixels(std::max<size_t>(1, size_t(stride) * h));
  std::vector<uint8_t> dst(src.size(), 255);
  p.Dither(method, src.data(), dst.data(), h, w, stride, 0, r.Flag());
}

tagColorCFG AnyColorCfg(CBmpProcessing& p, Reader& r) {
  tagColorCFG cfg{};
  if (r.Flag()) {
    cfg.sBrightness = int16_t(r.Range(-200, 200));
    cfg.sContrast = int16_t(r.Range(-200, 200));
    p.SetLightTable(cfg.sBrightness, cfg.sContrast);
  }
  if (r.Flag()) cfg.sLevels = int16_t(r.Range(-10, 1000));
  return cfg;
}

void Scale(CBmpProcessing& p, Reader& r, bool shrink) {
  const uint32_t bits = Depth(r);
  const uint32_t w = r.Below(kMaxSide + 1), h = r.Below(kMaxSide + 1);
  const uint32_t minStride = Stride(w, bits ? bits : 8);
  const uint32_t stride = minStride + 4 * r.Below(3);
  std::vector<uint8_t> src = r.Pixels(std::max<size_t>(1, size_t(stride) * h));
  const uint32_t dw = r.Below(kMaxDst + 1), dh = r.Below(kMaxDst + 1);
  const uint32_t dbits = r.Flag() ? 24 : 8;
  const size_t need = size_t(Stride(dw, dbits)) * dh;
  const size_t size = r.Flag() ? need : r.Below(uint32_t(need) + 64);
  std::vector<uint8_t> dst(std::max<size_t>(1, size));
  uint8_t* d = dst.data();
  const tagColorCFG cfg = AnyColorCfg(p, r);
  const tagRECT rect = AnyRect(r, int32_t(dw), int32_t(dh));
  if (shrink) {
    std::vector<uint8_t> src2, dst2;
    uint8_t* d2 = nullptr;
    const bool second = r.Flag();
    if (second) {
      src2 = r.Pixels(src.size());
      dst2.resize(dst.size());
      d2 = dst2.data();
    }
    p.InvoicQIShrinkImg2(w, h, bits, stride, src.data(), second ? src2.data() : nullptr, dw, dh,
                         dbits, &d, second ? &d2 : nullptr, uint32_t(size), cfg, cfg, rect);
  } else {
    p.InvoicResampleImg2(w, h, bits, stride, src.data(), dw, dh, dbits, &d, uint32_t(size), cfg, 0,
                         rect);
  }
}

void Samplers(CBmpProcessing& p, Reader& r) {
  const uint32_t bits = r.Flag() ? 24 : 8;
  const uint32_t w = r.Below(64) + 1, h = r.Below(64) + 1;
  const uint32_t stride = Stride(w, bits);
  std::vector<uint8_t> src = r.Pixels(size_t(stride) * h);
  p.srcHeader.biWidth = int32_t(w);
  p.srcHeader.biHeight = int32_t(h);
  p.srcHeader.biBitCount = uint16_t(bits);
  p.srcHeader.biSizeImage = stride * h;
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

void Resize(Reader& r) {
  const int w = int(r.Below(kMaxSide + 1)), h = int(r.Below(kMaxSide + 1));
  const int stride = int(Stride(uint32_t(w), 8)) + 4 * int(r.Below(2));
  std::vector<uint8_t> src = r.Pixels(std::max<size_t>(1, size_t(stride) * h));
  uint8_t* dst = nullptr;
  const int dw = r.Range(-2, kMaxDst), dh = r.Range(-2, kMaxDst);
  Resample(src.data(), w, h, stride, dw, dh, &dst);
  if (dst && dw > 0 && dh > 0) Touch(dst, size_t(Stride(uint32_t(dw), 8)) * dh);
  free(dst);
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader r(data, size);
  CBmpProcessing p;
  switch (r.Byte() % 10) {
    case 0:
      OutputFormat(p, r);
      break;
    case 1:
      Rotate(p, r);
      break;
    case 2:
      Dashes(p, r);
      break;
    case 3:
      Thresholds(p, r);
      break;
    case 4:
      DitherAll(p, r);
      break;
    case 5:
      Scale(p, r, true);
      break;
    case 6:
      Scale(p, r, false);
      break;
    case 7:
      Samplers(p, r);
      break;
    case 8:
      Resize(r);
      break;
    default:
      Tones(p, r);
      break;
  }
  return 0;
}
