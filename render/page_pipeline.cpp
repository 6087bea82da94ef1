// The page pipeline (TransCommand): brings the buffered page to the printer resolution, to
// 8-bit gray cropped to its content, turns and fits it, halftones it and hands it to the
// page output. Every intermediate buffer is owned here and released on every exit.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/dots.h"
#include "base/owned.h"
#include "imaging/adaptive_threshold.h"
#include "imaging/auto_halftone.h"
#include "imaging/bmp_processing.h"
#include "job/limits.h"
#include "job/page_error.h"
#include "logging/vanta.h"
#include "render/page_output.h"
#include "render/page_scale.h"
#include "render/stage_timing.h"
#include "render/tspl_render.h"

namespace quorvel::render {
StageTimes* gStageTimes = nullptr;
}

namespace {

using quorvel::render::StageClock;

// Rotation type by orientation (1 or 2), quarter-turn flag (0 or 1) and half-turn flag
// (0, 1, other); type 3 leaves the page unturned.
constexpr int kRotationTypes[2][2][3] = {
    {{3, 1, 3}, {2, 0, 3}},  // orientation 1
    {{0, 2, 3}, {3, 1, 3}},  // orientation 2
};

int RotationType(int orientation, int rotate90, int64_t rotation) {
  if ((orientation != 1 && orientation != 2) || (rotate90 != 0 && rotate90 != 1)) return 3;
  const int half = rotation == 0 ? 0 : rotation == 1 ? 1 : 2;
  return kRotationTypes[orientation - 1][rotate90][half];
}

unsigned Low32(const void* p) { return static_cast<unsigned>(reinterpret_cast<uintptr_t>(p)); }

// The working image ("databuf2"): owned, or the page buffer itself until a stage makes a
// new image (no stage writes into the page buffer).
struct WorkingImage {
  MallocBytes owned;
  uint8_t* data = nullptr;
  uint32_t len = 0;  // dwDataBuf2Len

  void Take(MallocBytes image) {
    owned = std::move(image);
    data = owned.get();
  }
  // A buffer the job keeps (not owned here) becomes the image.
  void Borrow(uint8_t* image) {
    owned.reset();
    data = image;
  }
  // A stage's result replaces the image only when both exist.
  void Replace(MallocBytes out) {
    if (!data || !out) return;
    VLOG_DEBUG("databuf2: 0x%x, databuf3: 0x%x", Low32(data), Low32(out.get()));
    Take(std::move(out));
  }
  void ReplaceBorrowed(uint8_t* out) {
    if (!data || !out) return;
    VLOG_DEBUG("databuf2: 0x%x, databuf3: 0x%x", Low32(data), Low32(out));
    Borrow(out);
  }
};

// The two page-sized images every page needs (the conversion's frame and its cropped result;
// the frame then takes the halftoned page), kept for the whole job so that pages reuse the
// same memory: fresh memory costs the kernel a fault and a zeroed page per 4 KiB each time.
// Together they are no larger than the two images a page held at once when each was fresh.
struct JobImages {
  CBmpProcessing::ReusableBuffer frame, result;
  ~JobImages() {
    free(frame.data);
    free(result.data);
  }
};
JobImages gJobImages;

// `buffer` with room for `size` bytes (its content not kept); null when memory runs out.
uint8_t* Reserve(CBmpProcessing::ReusableBuffer& buffer, uint32_t size) {
  if (buffer.data && buffer.capacity >= size) return buffer.data;
  free(buffer.data);
  buffer.data = static_cast<uint8_t*>(malloc(size > 0 ? size : 1));
  buffer.capacity = buffer.data ? size : 0;
  return buffer.data;
}

MallocBytes Adopt(uint8_t* p) { return MallocBytes(p); }

// One page's run through the pipeline. Records are borrowed from the renderer.
class PagePipeline {
 public:
  PagePipeline(CTSPLRenderClass& renderer, const tagOEMCFG& cfg, const _DEVMODE& dev,
               _OEMPDEV& pdev)
      : renderer_(renderer), cfg_(cfg), dev_(dev), pdev_(pdev) {
    proc_.SetConversionBuffers(&gJobImages.frame, &gJobImages.result);
  }

  void Run(bool last);

 private:
  bool ConvertResolution();
  void SetUpTones();
  bool ConvertToGray(const uint8_t* src, uint32_t srcLen, int32_t cap, int16_t skipWhite);
  void UpdateGeometry();
  bool AutoRotate();
  bool FitToWidth();
  bool FitTurnedPage(int32_t maxDots, int32_t* newW, int32_t* newH);
  bool Halftone();
  void MakeDashes();
  bool SkipPage(const char* why);

  CTSPLRenderClass& renderer_;
  const tagOEMCFG& cfg_;
  const _DEVMODE& dev_;
  _OEMPDEV& pdev_;
  CBmpProcessing proc_;
  WorkingImage work_;
  tagBITMAPINFOHEADER header_{};  // the working header
  tagRECT rect_{};                // the image rectangle
  COLORLEVELSITEM levels_{};
  int rotationType_ = 3;
  bool earlyConversion_ = false;
  bool autoTurned_ = false;
  // The working image's width and height in pixels and its row stride in bytes.
  int32_t width_ = 0, height_ = 0, stride_ = 0;
};

bool PagePipeline::SkipPage(const char* why) {
  VLOG_DEBUG("page %u skipped: %s", pdev_.dwCurPageNum, why);
  ReportPageError(pdev_.dwCurPageNum, "not printed", why);
  return false;
}

// Replaces the page buffer by a copy at the printer resolution: area shrink when both axes
// shrink, resampling otherwise.
bool PagePipeline::ConvertResolution() {
  StageClock clock(quorvel::render::kStageResolution);
  const double ratioX = static_cast<double>(cfg_.sOutputXDPI) / dev_.dmPrintQuality;
  const double ratioY = static_cast<double>(cfg_.sOutputYDPI) / dev_.dmYResolution;
  if (ratioX == 1.0 && ratioY == 1.0) return true;
  tagBITMAPINFOHEADER& h = pdev_.bmInfoHeader;
  const double w = h.biWidth * ratioX;
  const double ht = h.biHeight * ratioY;
  if (w < 1.0 || ht < 1.0) return SkipPage("the page is smaller than one printer dot");
  if (w > 1e6 || ht > 1e6) return SkipPage("the page is too large at the printer resolution");
  const uint32_t convW = static_cast<uint32_t>(w);
  const uint32_t convH = static_cast<uint32_t>(ht);
  const uint32_t bpp = h.biBitCount;
  const uint32_t srcStride = static_cast<uint32_t>(RowStride(h.biWidth, bpp));
  const uint64_t convSize = static_cast<uint64_t>(RowStride(convW, bpp)) * convH;
  if (convSize > kMaxWorkingPageBytes)
    return SkipPage("the page is too large at the printer resolution");
  MallocBytes conv = quorvel::render::ScalePage(
      proc_, pdev_.pBufStart, static_cast<uint32_t>(h.biWidth), static_cast<uint32_t>(h.biHeight),
      bpp, srcStride, convW, convH, convSize, ratioX < 1.0 && ratioY < 1.0);
  if (!conv) return SkipPage("not enough memory");
  free(pdev_.pBufStart);
  pdev_.pBufStart = conv.release();
  h.biWidth = static_cast<int32_t>(convW);
  h.biHeight = static_cast<int32_t>(convH);
  h.biSizeImage = static_cast<uint32_t>(convSize);
  pdev_.dwBufSize = static_cast<uint32_t>(convSize);
  return true;
}

void PagePipeline::SetUpTones() {
  levels_.gamma = static_cast<float>(cfg_.nLevelsAdj) / 100.0f;
  VLOG_DEBUG("biWidth:%d, biHeight:%d, dwDataBuf2Len:%d", header_.biWidth, header_.biHeight,
             static_cast<int>(work_.len));
  // A missing levels option (0) would be a gamma of 0, which whitens every page.
  if (levels_.gamma != 1.0f && cfg_.nLevelsAdj > 0) proc_.SetColorLevelsData(&levels_, 0);
  if (cfg_.nBrightness != 0 || cfg_.nContrast != 0) {
    proc_.SetLightTable(cfg_.nBrightness, cfg_.nContrast);
  }
}

// The output conversion; *work_ takes its result. False when it found no content or failed.
bool PagePipeline::ConvertToGray(const uint8_t* src, uint32_t srcLen, int32_t cap,
                                 int16_t skipWhite) {
  StageClock clock(quorvel::render::kStageConvert);
  uint8_t* out = nullptr;
  uint32_t outLen = 0;
  proc_.CoverBMP2OutputFormat(src, srcLen, &out, &outLen, &header_, &rect_, rotationType_, 0, 0,
                              levels_, cfg_.sMirror != 0, cfg_.nBrightness, cfg_.nContrast, cap,
                              skipWhite);
  // The result is the job's kept image (see JobImages), not a buffer to release.
  if (!work_.data) {
    work_.Borrow(out);
    work_.len = outLen;
  } else {
    work_.ReplaceBorrowed(out);
  }
  return out != nullptr;
}

void PagePipeline::UpdateGeometry() {
  width_ = rect_.right - std::max<int32_t>(rect_.left, 0) + 1;
  height_ = rect_.bottom - std::max<int32_t>(rect_.top, 0) + 1;
  stride_ = static_cast<int32_t>(RowStride(width_, header_.biBitCount));
  work_.len = static_cast<uint32_t>(stride_) * static_cast<uint32_t>(height_);
}

// Turns a page whose shape does not suit the label, once. False when the turn failed.
bool PagePipeline::AutoRotate() {
  StageClock clock(quorvel::render::kStageRotate);
  const int16_t maxWidthMm = cfg_.sMaxOutputWidth;
  const bool unlimited = maxWidthMm <= 0;  // a missing maximum width never calls for a turn
  const double excess = static_cast<double>(width_) / cfg_.sOutputXDPI * 25.4 + 0.5 - maxWidthMm;
  const int32_t t1 = DotsFromMm(5, cfg_.sOutputYDPI);
  const int32_t t2 = DotsFromMm(5, cfg_.sOutputXDPI);
  const bool landscape = !unlimited && excess > 20.0 && width_ > height_ + t1;
  const bool portrait =
      !landscape && width_ + t2 < height_ &&
      (unlimited ||
       static_cast<double>(height_) / cfg_.sOutputXDPI * 25.4 + 0.5 - maxWidthMm < 20.0);
  if (!(landscape || portrait) || cfg_.sAutoRotate90 < 1 || cfg_.sAutoRotate90 > 3) return true;
  uint8_t* out = nullptr;
  uint32_t outLen = 0;
  proc_.RotateImgData(work_.data, work_.len, rect_, &header_,
                      static_cast<int16_t>(cfg_.sAutoRotate90 - 1), &out, &outLen, &rect_);
  MallocBytes turned = Adopt(out);
  // Without the turned image the geometry below would describe pixels that do not exist.
  if (!turned) return SkipPage("not enough memory to turn the page");
  width_ = rect_.right - rect_.left + 1;
  height_ = rect_.bottom - rect_.top + 1;
  header_.biWidth = width_;
  header_.biHeight = height_;
  stride_ = static_cast<int32_t>(RowStride(width_, header_.biBitCount));
  work_.len = static_cast<uint32_t>(stride_) * static_cast<uint32_t>(height_);
  header_.biSizeImage = work_.len;
  work_.Replace(std::move(turned));
  autoTurned_ = true;
  return true;
}

// Scales a page wider than the maximum output width down to it, keeping its aspect ratio.
bool PagePipeline::FitToWidth() {
  StageClock clock(quorvel::render::kStageFit);
  const int16_t maxWidthMm = cfg_.sMaxOutputWidth;
  if (maxWidthMm <= 0) return true;  // no maximum width: nothing to fit
  const int32_t maxDots = DotsFromMm(maxWidthMm, cfg_.sOutputXDPI);
  int32_t newW = maxDots;
  int32_t newH = 0;
  if (rotationType_ == 0 || rotationType_ == 2 || autoTurned_) {
    if (!FitTurnedPage(maxDots, &newW, &newH)) return true;
  } else {
    if (static_cast<uint32_t>(maxDots) >= static_cast<uint32_t>(width_)) return true;
    // A very flat page keeps one row instead of vanishing.
    newH = std::max<int32_t>(
        1, static_cast<int32_t>(maxDots * (static_cast<double>(height_) / width_)));
    rect_ = tagRECT{0, 0, maxDots - 1, newH - 1};
  }
  const uint32_t bpp = header_.biBitCount;
  const uint32_t newS = static_cast<uint32_t>(RowStride(newW, bpp));
  const uint64_t size = uint64_t{newS} * static_cast<uint32_t>(newH);
  if (size > kMaxWorkingPageBytes) return SkipPage("the page is too large");
  MallocBytes scaled = quorvel::render::ScalePage(
      proc_, work_.data, static_cast<uint32_t>(width_), static_cast<uint32_t>(height_), bpp,
      static_cast<uint32_t>(stride_), static_cast<uint32_t>(newW), static_cast<uint32_t>(newH),
      size, static_cast<uint32_t>(newH) < static_cast<uint32_t>(height_));
  if (!scaled) return SkipPage("not enough memory");
  width_ = newW;
  height_ = newH;
  stride_ = static_cast<int32_t>(newS);
  work_.len = static_cast<uint32_t>(size);
  header_.biWidth = width_;
  header_.biHeight = height_;
  header_.biSizeImage = work_.len;
  work_.Replace(std::move(scaled));
  return true;
}

// A quarter-turned page is fitted by the width it has once turned, with its content kept
// where the page puts it, so that no dot lies beyond the widest printable width. Before a
// late conversion the turn is still to come: the page's height becomes its width. After an
// early one the image is the turned content at rect_ on the turned page. False when the
// page fits as it is.
bool PagePipeline::FitTurnedPage(int32_t maxDots, int32_t* newW, int32_t* newH) {
  if (!earlyConversion_) {
    const int32_t turnedWidth = (rotationType_ == 0 || rotationType_ == 2) ? height_ : width_;
    if (turnedWidth <= maxDots) return false;
    const double f = static_cast<double>(maxDots) / turnedWidth;
    *newW = std::max<int32_t>(1, static_cast<int32_t>(width_ * f));
    *newH = std::max<int32_t>(1, static_cast<int32_t>(height_ * f));
    rect_ = tagRECT{0, 0, *newW - 1, *newH - 1};
    return true;
  }
  const tagBITMAPINFOHEADER& page = pdev_.bmInfoHeader;
  const bool swapped = (rotationType_ == 0 || rotationType_ == 2) != autoTurned_;
  const int64_t pageWidth = swapped ? page.biHeight : page.biWidth;
  const int64_t extent = std::max<int64_t>(pageWidth, int64_t{rect_.right} + 1);
  if (extent <= maxDots) return false;
  const double f = static_cast<double>(maxDots) / static_cast<double>(extent);
  *newW = std::max<int32_t>(1, static_cast<int32_t>(width_ * f));
  *newH = std::max<int32_t>(1, static_cast<int32_t>(height_ * f));
  const int32_t left = static_cast<int32_t>(std::max(rect_.left, 0) * f);
  const int32_t top = static_cast<int32_t>(std::max(rect_.top, 0) * f);
  rect_ = tagRECT{left, top, left + *newW - 1, top + *newH - 1};
  return true;
}

// To one byte per pixel, 0 a dot and 255 none (swapped for a negative).
bool PagePipeline::Halftone() {
  StageClock clock(quorvel::render::kStageHalftone);
  const bool negative = cfg_.bNegative != 0;
  if (cfg_.sHalftoneMethod == 4) {
    uint8_t* out = nullptr;
    int outLen = 0;
    const int ok = AdaptiveThreshold(work_.data, width_, height_, stride_, &out, &outLen, negative,
                                     0, 64, 0, 0.5f);
    MallocBytes thresholded = Adopt(out);
    if (!ok || !thresholded) return true;  // the page goes on unthresholded
    header_.biBitCount = 8;
    const uint32_t need = static_cast<uint32_t>(stride_) * static_cast<uint32_t>(height_);
    if (static_cast<uint32_t>(outLen) < need) {
      MallocBytes padded = AllocFilled(need, 255);
      if (!padded) return SkipPage("not enough memory");
      memcpy(padded.get(), thresholded.get(), static_cast<size_t>(std::max(outLen, 0)));
      thresholded = std::move(padded);
    }
    work_.len = static_cast<uint32_t>(outLen);
    work_.Take(std::move(thresholded));
    return true;
  }
  if (cfg_.sHalftoneMethod == kHalftoneAuto) {
    MallocBytes out = AllocFilled(work_.len, 255);
    if (!out) return SkipPage("not enough memory");
    const int32_t guard = DotsFromMm(kAutoGuardMm, cfg_.sOutputXDPI);
    if (!AutoHalftone(work_.data, out.get(), static_cast<uint32_t>(height_),
                      static_cast<uint32_t>(width_), static_cast<uint32_t>(stride_),
                      static_cast<uint32_t>(std::max(guard, 0)), negative)) {
      return SkipPage("not enough memory");
    }
    work_.Take(std::move(out));
    return true;
  }
  // The conversion's frame is free by now and takes the halftoned page, unless it is the
  // image being halftoned.
  CBmpProcessing::ReusableBuffer& target =
      work_.data == gJobImages.frame.data ? gJobImages.result : gJobImages.frame;
  uint8_t* scratch = Reserve(target, work_.len);
  if (!scratch) return SkipPage("not enough memory");
  memset(scratch, 255, work_.len);
  proc_.Dither(cfg_.sHalftoneMethod, work_.data, scratch, height_, width_, stride_, 0, negative);
  work_.Borrow(scratch);
  return true;
}

// Breaks long horizontal black runs into dashes.
void PagePipeline::MakeDashes() {
  StageClock clock(quorvel::render::kStageDashes);
  const int16_t black = static_cast<int16_t>(DotsFromMm(cfg_.sBlackInterval, cfg_.sOutputXDPI));
  const int16_t white = static_cast<int16_t>(DotsFromMm(cfg_.sWhiteInterval, cfg_.sOutputXDPI));
  const int16_t minLen = cfg_.sMinImaginaryLineLen;
  const double quality = dev_.dmPrintQuality;
  auto longEnough = [&](int32_t n) {
    return static_cast<int16_t>(static_cast<int32_t>(n / quality * 25.4 + 0.5)) >= minLen;
  };
  // A run of no pixels has nothing to break, so it is not handed on.
  auto dash = [&](uint8_t* p, int32_t n) {
    if (n > 0 && longEnough(n)) {
      proc_.ResetBlackLineData(p, static_cast<uint32_t>(n), black, white, 8);
    }
  };
  int32_t n = 0;
  for (int32_t y = 0; y < height_; ++y) {
    uint8_t* row = work_.data + static_cast<size_t>(y) * static_cast<size_t>(stride_);
    // A run that reached the end of the previous row is handed on as the n bytes just
    // before this row: with row padding the dash pattern starts that many bytes later, and
    // since n < W <= S it stays within the previous row.
    dash(row - n, n);
    n = 0;
    for (int32_t i = 1; i < width_; ++i) {
      if (row[i] == 0) {
        ++n;
      } else {
        dash(row + i - n, n);
        n = 0;
      }
    }
  }
}

void PagePipeline::Run(bool last) {
  // Geometry the page buffer must satisfy before any stage reads it.
  const tagBITMAPINFOHEADER& page = pdev_.bmInfoHeader;
  if (page.biBitCount != 8 && page.biBitCount != 24) {
    SkipPage("the page is neither 8 nor 24 bits per pixel");
    return;
  }
  if (cfg_.sOutputXDPI <= 0 || cfg_.sOutputYDPI <= 0 || dev_.dmPrintQuality <= 0 ||
      dev_.dmYResolution <= 0) {
    SkipPage("the printer or raster resolution is missing");
    return;
  }
  if (page.biWidth <= 0 || page.biHeight <= 0 ||
      static_cast<uint64_t>(RowStride(page.biWidth, page.biBitCount)) *
              static_cast<uint32_t>(page.biHeight) >
          pdev_.dwBufSize) {
    SkipPage("the page buffer does not match the page size");
    return;
  }
  if (!ConvertResolution()) return;

  rect_ = tagRECT{0, 0, pdev_.bmInfoHeader.biWidth - 1, pdev_.bmInfoHeader.biHeight - 1};
  header_ = pdev_.bmInfoHeader;
  rotationType_ = RotationType(dev_.dmOrientation, cfg_.sRotate90, cfg_.sRotation);
  SetUpTones();

  // Print mode 1 converts before scaling; every other mode after it.
  const bool earlyConversion = cfg_.sPaperMode == 1;
  earlyConversion_ = earlyConversion;
  if (earlyConversion) {
    const int32_t cap = DotsFromMm(300, cfg_.sOutputXDPI);
    const bool made = ConvertToGray(pdev_.pBufStart, pdev_.dwBufSize, cap, 1);
    if (!made && header_.biWidth != 0) {
      SkipPage("not enough memory");
      return;
    }
  } else {
    work_.data = pdev_.pBufStart;
    work_.len = pdev_.dwBufSize;
  }
  if (rect_.right == rect_.left || rect_.bottom == rect_.top) return;  // nothing to print

  UpdateGeometry();
  if (!AutoRotate() || !FitToWidth()) return;
  if (!earlyConversion) {
    const int32_t cap = DotsFromMm(300, dev_.dmPrintQuality);
    if (!ConvertToGray(work_.data, work_.len, cap, cfg_.sSavePaperMode)) {
      // No content (save paper on a blank page) prints nothing, like the early conversion.
      if (header_.biWidth != 0) SkipPage("not enough memory");
      return;
    }
    width_ = rect_.right - rect_.left + 1;
    height_ = rect_.bottom - rect_.top + 1;
    stride_ = static_cast<int32_t>(RowStride(width_, header_.biBitCount));
    work_.len = static_cast<uint32_t>(stride_) * static_cast<uint32_t>(height_);
  }
  if (!Halftone()) return;
  if (cfg_.sIsLineImaginary != 0) MakeDashes();

  StageClock clock(quorvel::render::kStageOutput);
  const quorvel::render::PageImage image{work_.data, width_, height_, stride_};
  if (!quorvel::render::WritePageOutput(renderer_, cfg_, dev_, pdev_, image, rect_, rotationType_,
                                        last))
    return;
  if (quorvel::render::gStageTimes) ++quorvel::render::gStageTimes->pages;
}

}  // namespace

bool CTSPLRenderClass::TransCommand(bool last) {
  VLOG_DEBUG("Method TransCommand in");
  if (!m_pOemPDev || !m_pOemPDev->pBufStart || !m_pOemCfg || !m_pDevMode) return false;
  _OEMPDEV& pdev = *m_pOemPDev;
  const tagBITMAPINFOHEADER saved = pdev.bmInfoHeader;
  {
    PagePipeline pipeline(*this, *m_pOemCfg, *m_pDevMode, pdev);
    pipeline.Run(last);
  }
  // Every page is described by the job's first header again, whatever this page did.
  pdev.bmInfoHeader.biWidth = saved.biWidth;
  pdev.bmInfoHeader.biHeight = saved.biHeight;
  return true;
}
