// Internal helpers shared by the samplers: the weight function of each interpolation method
// and the single-precision constants of the kernels. Not part of the public interface.
#pragma once

#include "imaging/bmp_processing.h"

namespace quorvel::kernels {

constexpr float kPi = 3.1415927f;
constexpr float kTwoPi = 6.2831855f;

// Weight of a source pixel at signed distance d for a 4 x 4 kernel method (3, 4, 5, 7..18).
inline float Weight4x4(CBmpProcessing::InterpolationMethod method, float d) {
  switch (method) {
    case CBmpProcessing::InterpBSpline:
      return CBmpProcessing::KernelBSpline(d);
    case CBmpProcessing::InterpCubic:
      return CBmpProcessing::KernelCubic(d);
    case CBmpProcessing::InterpGeneralizedCubic:
      return CBmpProcessing::KernelGeneralizedCubic(d, -0.5f);
    case CBmpProcessing::InterpBox:
      return CBmpProcessing::KernelBox(d);
    case CBmpProcessing::InterpHermite:
      return CBmpProcessing::KernelHermite(d);
    case CBmpProcessing::InterpHamming:
      return CBmpProcessing::KernelHamming(d);
    case CBmpProcessing::InterpSinc:
      return CBmpProcessing::KernelSinc(d);
    case CBmpProcessing::InterpBlackman:
      return CBmpProcessing::KernelBlackman(d);
    case CBmpProcessing::InterpBessel:
      return CBmpProcessing::KernelBessel(d);
    case CBmpProcessing::InterpGaussian:
      return CBmpProcessing::KernelGaussian(d);
    case CBmpProcessing::InterpQuadratic:
      return CBmpProcessing::KernelQuadratic(d);
    case CBmpProcessing::InterpMitchell:
      return CBmpProcessing::KernelMitchell(d);
    case CBmpProcessing::InterpCatrom:
      return CBmpProcessing::KernelCatrom(d);
    case CBmpProcessing::InterpHanning:
      return CBmpProcessing::KernelHanning(d);
    case CBmpProcessing::InterpPower:
      return CBmpProcessing::KernelPower(d, 2.0f);
    default:
      return 0.0f;
  }
}

// Weight of the 12 x 12 Lanczos neighbourhood (radius 6).
inline float WeightLanczos(float d) {
  if (d > 6.0f || d < -6.0f) return 0.0f;
  if (d == 0.0f) return 1.0f;
  return CBmpProcessing::KernelLanczosSinc(d, 6.0f);
}

}  // namespace quorvel::kernels
