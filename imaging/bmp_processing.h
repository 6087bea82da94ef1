// CBmpProcessing: the per-page image processor. It carries the page's tone state (levels
// curve and light table) and the sampling source; its operations take raw buffers.
#pragma once

#include <cstdint>

#include "imaging/adaptive_threshold.h"
#include "imaging/color_cfg.h"
#include "imaging/color_levels.h"
#include "imaging/gdi_types.h"

class CBmpProcessing {
 public:
  CBmpProcessing();
  virtual ~CBmpProcessing();

  // ---- tone tables, output conversion, rotation, thresholds, dithering ----
  // (BEGIN core members)
  // Tone state (tone_tables.cpp). Index 0..2 names a table, 3 the master item.
  void InitColorLevelsData(int index);
  void InitColorLevelsTable(int index);
  void SetColorLevelsData(const COLORLEVELSITEM* item, int index);  // item borrowed, may be null
  void SetLightTable(int brightness, int contrast);
  bool Light(uint8_t& red, uint8_t& green, uint8_t& blue);

  // Page to cropped 8-bit gray (output_format.cpp). *out: null or the caller's buffer; a
  // buffer allocated here is handed over (free). Arguments 8-11 are accepted but not read.
  bool CoverBMP2OutputFormat(const uint8_t* src, uint32_t srcLen, uint8_t** out, uint32_t* outLen,
                             tagBITMAPINFOHEADER* header, tagRECT* crop, int rotation, int unused1,
                             int unused2, COLORLEVELSITEM levels, bool mirror, int brightness,
                             int contrast, int columnLimit, int16_t skipWhite);

  // Quarter and half turns, dashes (rotate.cpp). *out: null or the caller's buffer; a buffer
  // allocated here is handed over (free).
  bool RotateImgData(const uint8_t* src, uint32_t srcLen, tagRECT rect, tagBITMAPINFOHEADER* header,
                     int16_t turn, uint8_t** out, uint32_t* outLen, tagRECT* outRect);
  int ResetBlackLineData(uint8_t* buf, uint32_t len, int16_t dash, int16_t gap, int16_t depth);

  // Histogram threshold selection and block thresholding (threshold_select.cpp). The
  // trailing arguments of OptimalThreshold and the marked ones below are not read.
  int64_t OptimalThreshold(const uint8_t* image, uint32_t len, uint32_t width, uint32_t height,
                           int64_t method, const tagRECT* region, void* unused = nullptr,
                           uint32_t unused2 = 0, uint32_t unused3 = 0, uint32_t unused4 = 0);
  int AdThresholdImgLocal(uint32_t width, uint32_t height, uint32_t unused, uint32_t stride,
                          const uint8_t* image, uint32_t len, uint8_t** out, uint32_t* size,
                          bool negative, bool unused2);

  // Halftoning, methods 1 to 10 (dither.cpp). Method 2 diffuses in place in src.
  int Dither(int method, uint8_t* src, uint8_t* dst, uint32_t height, uint32_t width,
             uint32_t stride, uint32_t unused, bool negative);
  // (END core members)

  // ---- area shrink, interpolation, sampling, resampling ----
  // (BEGIN scaling members)
  // What a sampler reads for a coordinate outside the source image.
  enum OverflowMethod : int {
    OverflowColor = 1,
    OverflowWhite = 2,
    OverflowBlank = 3,
    OverflowWrap = 4,
    OverflowClamp = 5,
    OverflowMirror = 6,
  };
  // Point-sampling methods; 0 and values above 18 sample bilinearly.
  enum InterpolationMethod : int {
    InterpNearest = 1,
    InterpBilinear = 2,
    InterpBSpline = 3,
    InterpCubic = 4,
    InterpGeneralizedCubic = 5,
    InterpLanczos = 6,
    InterpBox = 7,
    InterpHermite = 8,
    InterpHamming = 9,
    InterpSinc = 10,
    InterpBlackman = 11,
    InterpBessel = 12,
    InterpGaussian = 13,
    InterpQuadratic = 14,
    InterpMitchell = 15,
    InterpCatrom = 16,
    InterpHanning = 17,
    InterpPower = 18,
  };

  // Area-averaging shrink (shrink.cpp). Sources are borrowed; *dst (and *dst2 with a second
  // source) must be caller-owned buffers of dstSize bytes. Returns 0, writing nothing, on a
  // null buffer, a source depth other than 8/24 or rows that would not fit dstSize; else 1.
  int InvoicQIShrinkImg2(uint32_t srcWidth, uint32_t srcHeight, uint32_t srcBitCount,
                         uint32_t srcStride, const uint8_t* src, const uint8_t* src2,
                         uint32_t dstWidth, uint32_t dstHeight, uint32_t dstBitCount, uint8_t** dst,
                         uint8_t** dst2, uint32_t dstSize, tagColorCFG cfg, tagColorCFG cfg2,
                         tagRECT protect);

  // Resampling to any size (resample.cpp): point sampling when growing, area sampling when
  // shrinking. src is borrowed; *dst is caller-owned (dstSize bytes). Always returns 1; a
  // missing destination or one whose rows would not fit dstSize is left unwritten.
  int InvoicResampleImg2(uint32_t srcWidth, uint32_t srcHeight, uint32_t bitCount,
                         uint32_t srcStride, const uint8_t* src, uint32_t dstWidth,
                         uint32_t dstHeight, uint32_t dstBitCount, uint8_t** dst, uint32_t dstSize,
                         tagColorCFG cfg, int32_t unused, tagRECT rect);

  // One-dimensional interpolation kernels (interpolation_kernels.cpp); stateless.
  static float KernelLinear(float x);
  static float KernelCubic(float x);
  static float KernelGeneralizedCubic(float x, float a);
  static float KernelLanczosSinc(float x, float radius);
  static float KernelBox(float x);
  static float KernelBSpline(float x);
  static float KernelHermite(float x);
  static float KernelHanning(float x);
  static float KernelHamming(float x);
  static float KernelSinc(float x);
  static float KernelBlackman(float x);
  static float KernelBessel_J1(float x);
  static float KernelBessel_P1(float x);
  static float KernelBessel_Q1(float x);
  static float KernelBessel_Order1(float x);
  static float KernelBessel(float x);
  static float KernelGaussian(float x);
  static float KernelQuadratic(float x);
  static float KernelMitchell(float x);
  static float KernelCatrom(float x);
  static float KernelPower(float x, float exponent);

  // Edge handling and pixel fetch on the sampling source (sampling.cpp).
  void OverflowCoordinates(int& x, int& y, OverflowMethod method);
  tagRGBQUAD GetPixelColorWithOverflow(int x, int y, OverflowMethod method,
                                       tagRGBQUAD* replacement);
  void AddAveragingCont(const tagRGBQUAD& color, float weight, float& red, float& green,
                        float& blue, float& alpha);

  // Samplers at a real-valued position (sampling.cpp); replacement may be null (white).
  tagRGBQUAD GetPixelColorInterpolated(float x, float y, InterpolationMethod method,
                                       OverflowMethod overflow, tagRGBQUAD* replacement);
  tagRGBQUAD GetAreaColorInterpolated(float xc, float yc, float w, float h,
                                      InterpolationMethod method, OverflowMethod overflow,
                                      tagRGBQUAD* replacement);
  // (END scaling members)

  // ---- data ----
  // (BEGIN core data)
  COLORLEVELSITEM levelsItems[4];  // items 0..2 per table, 3 the master item
  uint8_t levelsTables[4][256];    // table 0 is the one every conversion reads
  uint8_t levelsBuilt[4];          // set: the table holds a finished curve
  int16_t lightTable[256];         // brightness/contrast, entries 0..255
  // (END core data)
  // (BEGIN scaling data)
  // Sampling source of the resampler; the pixels are borrowed from its caller.
  tagBITMAPINFOHEADER srcHeader{};
  uint32_t srcStride = 0;
  const uint8_t* srcBits = nullptr;
  // (END scaling data)
};
