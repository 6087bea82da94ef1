// CBmpProcessing: the per-page image processor. It carries the page's tone state (levels
// curve and light table) and the sampling source; its operations take raw buffers.
#pragma once

#include <cstdint>

#include "imaging/gdi_types.h"
#include "imaging/color_cfg.h"

class CBmpProcessing {
 public:
  CBmpProcessing();
  virtual ~CBmpProcessing();

  // ---- tone tables, output conversion, rotation, thresholds, dithering ----
  // (BEGIN core members)
  // (END core members)

  // ---- area shrink, interpolation, sampling, resampling ----
  // (BEGIN scaling members)
  // What a sampler reads for a coordinate outside the source image.
  enum OverflowMethod {
    OverflowColor = 1,
    OverflowWhite = 2,
    OverflowBlank = 3,
    OverflowWrap = 4,
    OverflowClamp = 5,
    OverflowMirror = 6,
  };
  // Point-sampling methods; 0 and values above 18 sample bilinearly.
  enum InterpolationMethod {
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
  // source) must be caller-owned buffers of dstSize bytes. Returns 0 on null buffers, else 1.
  int InvoicQIShrinkImg2(uint32_t srcWidth, uint32_t srcHeight, uint32_t srcBitCount,
                         uint32_t srcStride, const uint8_t* src, const uint8_t* src2,
                         uint32_t dstWidth, uint32_t dstHeight, uint32_t dstBitCount,
                         uint8_t** dst, uint8_t** dst2, uint32_t dstSize, tagColorCFG cfg,
                         tagColorCFG cfg2, tagRECT protect);

  // Resampling to any size (resample.cpp): point sampling when growing, area sampling when
  // shrinking. src is borrowed; *dst is caller-owned (dstSize bytes). Always returns 1.
  int InvoicResampleImg2(uint32_t srcWidth, uint32_t srcHeight, uint32_t bitCount,
                         uint32_t srcStride, const uint8_t* src, uint32_t dstWidth,
                         uint32_t dstHeight, uint32_t dstBitCount, uint8_t** dst,
                         uint32_t dstSize, tagColorCFG cfg, int32_t unused, tagRECT rect);

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
  // (END core data)
  // (BEGIN scaling data)
  // Sampling source of the resampler; the pixels are borrowed from its caller.
  tagBITMAPINFOHEADER srcHeader{};
  uint32_t srcStride = 0;
  const uint8_t* srcBits = nullptr;
  // (END scaling data)
};
