// Resampling of a 24- or 8-bit image to any size: nearest-neighbour point sampling when the
// image grows in both directions, area averaging when it shrinks in either; the job's
// brightness, contrast and levels are applied to every output pixel on the way.
#include <cstddef>

#include "imaging/bmp_processing.h"

namespace {

bool UsesLevels(const tagColorCFG& cfg) { return cfg.sLevels != 0 && cfg.sLevels != 300; }

}  // namespace

int CBmpProcessing::InvoicResampleImg2(uint32_t srcWidth, uint32_t srcHeight, uint32_t bitCount,
                                       uint32_t srcStride_, const uint8_t* src, uint32_t dstWidth,
                                       uint32_t dstHeight, uint32_t /*dstBitCount*/, uint8_t** dst,
                                       uint32_t dstSize, tagColorCFG cfg, int32_t /*unused*/,
                                       tagRECT /*rect*/) {
  srcHeader.biWidth = static_cast<int32_t>(srcWidth);
  srcHeader.biHeight = static_cast<int32_t>(srcHeight);
  srcHeader.biBitCount = static_cast<uint16_t>(bitCount);
  srcHeader.biSizeImage = srcHeight * srcStride_;
  srcStride = srcStride_;
  srcBits = src;

  if (dstHeight == 0 || dstWidth == 0) return 1;
  const float scaleX = static_cast<float>(srcWidth) / static_cast<float>(dstWidth);
  const float scaleY = static_cast<float>(srcHeight) / static_cast<float>(dstHeight);
  const uint32_t dstStride = dstSize / dstHeight;
  const uint32_t bytesPerPixel = bitCount == 24 ? 3 : 1;
  // A missing buffer or one too small for its rows is not written (it would overrun).
  if (dst == nullptr || *dst == nullptr ||
      static_cast<uint64_t>(dstStride) < static_cast<uint64_t>(dstWidth) * bytesPerPixel) {
    return 1;
  }

  const bool pointSampling = scaleX <= 1.0f && scaleY <= 1.0f;
  const bool light = cfg.sBrightness != 0 || cfg.sContrast != 0;
  const bool levels = UsesLevels(cfg);
  const uint8_t* table = levelsTables[0];
  for (uint32_t j = 0; j < dstHeight; ++j) {
    const float y = (static_cast<float>(j) + 0.5f) * scaleY - 0.5f;
    uint8_t* row = *dst + static_cast<size_t>(j) * dstStride;
    for (uint32_t i = 0; i < dstWidth; ++i) {
      const float x = (static_cast<float>(i) + 0.5f) * scaleX - 0.5f;
      tagRGBQUAD c = pointSampling
                         ? GetPixelColorInterpolated(x, y, InterpNearest, OverflowClamp, nullptr)
                         : GetAreaColorInterpolated(x, y, scaleX, scaleY, InterpNearest,
                                                    OverflowClamp, nullptr);
      if (light) Light(c.rgbRed, c.rgbGreen, c.rgbBlue);
      if (levels) {
        c.rgbRed = table[c.rgbRed];
        c.rgbGreen = table[c.rgbGreen];
        c.rgbBlue = table[c.rgbBlue];
        if (c.rgbRed >= 250 && c.rgbGreen >= 250 && c.rgbBlue >= 250) {
          c.rgbRed = c.rgbGreen = c.rgbBlue = 255;
        }
      }
      if (bitCount == 24) {
        uint8_t* px = row + 3 * static_cast<size_t>(i);
        px[0] = c.rgbBlue;
        px[1] = c.rgbGreen;
        px[2] = c.rgbRed;
      } else {
        row[i] = static_cast<uint8_t>((11 * c.rgbRed + 16 * c.rgbGreen + 5 * c.rgbBlue) >> 5);
      }
    }
  }
  return 1;
}
