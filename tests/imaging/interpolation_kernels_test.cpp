// Interpolation kernels: the values that pin each piece and its boundaries, the symmetry and
// partition of unity that interpolation relies on, and J1 against the library Bessel function.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <utility>
#include <vector>

#include "imaging/bmp_processing.h"

namespace {

using K = CBmpProcessing;
using Kernel = std::function<float(float)>;

const Kernel kGenCubic = [](float x) { return K::KernelGeneralizedCubic(x, -0.5f); };
const Kernel kLanczos = [](float x) { return K::KernelLanczosSinc(x, 6.0f); };
const Kernel kPower = [](float x) { return K::KernelPower(x, 2.0f); };

TEST(InterpolationKernels, ValuesAtPieceBoundariesComeFromTheRightHandPiece) {
  const struct {
    const char* name;
    Kernel k;
    std::vector<std::pair<float, float>> values;  // x, kernel(x)
  } cases[] = {
      {"Linear", K::KernelLinear, {{-1, 0}, {0, 1}, {1, 0}, {0.25f, 0.75f}}},
      {"Box", K::KernelBox, {{-0.5f, 1}, {0.5f, 0}}},
      {"Cubic", K::KernelCubic, {{1, 0}, {2, 0}}},
      {"GenCubic", kGenCubic, {{1.5f, -0.0625f}, {-1.5f, -0.0625f}}},
      {"Hamming", K::KernelHamming, {{-1, 0.08f}, {1, 0}}},
      {"Hermite", K::KernelHermite, {{-1, 0}}},
      {"Quadratic", K::KernelQuadratic, {{0, 0.75f}, {1, 0.125f}, {-1, 0.125f}, {1.5f, 0}}},
      {"Mitchell", K::KernelMitchell, {{0, 0.8888889f}, {1, 0.0555556f}, {2, 0}}},
      {"Catrom", K::KernelCatrom, {{0, 1}, {1, 0}, {1.5f, -0.0625f}, {-0.5f, 0.5625f}}},
      {"Power", kPower, {{0.5f, 0.75f}, {1.5f, 0}}},
      {"BSpline", K::KernelBSpline, {{0, 2.0f / 3.0f}, {2.5f, 0}, {-2.5f, 0}}},
      {"Gaussian", K::KernelGaussian, {{0, 0.7978846f}}},
      // The sinc family: 1 at 0, its own support limit or none at all.
      {"Sinc", K::KernelSinc, {{0, 1}, {3, 0}, {0.5f, 2.0f / 3.1415927f}}},
      {"Lanczos", kLanczos, {{0, 1}, {6.01f, 0}, {6, 0}}},
      {"Hanning", K::KernelHanning, {{0, 1}, {1.5f, 0}}},
      {"Blackman", K::KernelBlackman, {{0, 1}, {1, 0}, {2, 1}}},
      {"Bessel", K::KernelBessel, {{0, 0.7853982f}, {1e-3f, 0.7853972f}}},
      {"J1", K::KernelBessel_Order1, {{0, 0}}}};
  for (const auto& c : cases)
    for (const auto& v : c.values)
      EXPECT_NEAR(c.k(v.first), v.second, 1e-6f) << c.name << " " << v.first;
}

TEST(InterpolationKernels, BesselOrderOneIsOddAndMatchesJ1) {
  for (float x : {0.25f, 1.0f, 3.7f, 7.99f, 8.0f, 8.5f, 12.0f, 31.4f}) {
    SCOPED_TRACE(x);
    EXPECT_EQ(K::KernelBessel_Order1(-x), -K::KernelBessel_Order1(x));
    // Both the rational fit below 8 and the asymptotic form above it track J1.
    EXPECT_NEAR(K::KernelBessel_Order1(x), std::cyl_bessel_j(1.0, static_cast<double>(x)), 2e-6);
  }
  EXPECT_NEAR(K::KernelBessel(1.0f), std::cyl_bessel_j(1.0, 3.14159265358979) / 2.0, 2e-6);
}

// Every kernel except the asymmetric Hamming variant weighs d and -d alike away from the
// boundaries of its pieces. The splines among them also sum to 1 over the integer shifts,
// which keeps a uniform image uniform although the samplers do not normalise the weights.
TEST(InterpolationKernels, SymmetryAndPartitionOfUnity) {
  const struct {
    const char* name;
    Kernel k;
    bool symmetric, partition;
  } kernels[] = {
      {"Linear", K::KernelLinear, true, true},       {"Cubic", K::KernelCubic, true, true},
      {"GenCubic", kGenCubic, true, true},           {"Box", K::KernelBox, false, true},
      {"BSpline", K::KernelBSpline, true, true},     {"Hermite", K::KernelHermite, true, true},
      {"Quadratic", K::KernelQuadratic, true, true}, {"Mitchell", K::KernelMitchell, true, true},
      {"Catrom", K::KernelCatrom, true, true},       {"Lanczos", kLanczos, true, false},
      {"Hanning", K::KernelHanning, true, false},    {"Sinc", K::KernelSinc, true, false},
      {"Blackman", K::KernelBlackman, true, false},  {"Bessel", K::KernelBessel, true, false},
      {"Gaussian", K::KernelGaussian, true, false},  {"Power", kPower, true, false}};
  for (const auto& k : kernels) {
    SCOPED_TRACE(k.name);
    if (k.symmetric) {
      // The B-spline's sum of cubes cancels near |d| = 2, hence the single-precision noise.
      for (float d : {0.1f, 0.3f, 0.7f, 1.2f, 1.6f, 1.9f, 2.7f, 5.5f})
        EXPECT_NEAR(k.k(d), k.k(-d), 5e-6f) << d;
    }
    if (k.partition) {
      for (float f : {0.0f, 0.125f, 0.3f, 0.5f, 0.77f, 0.99f}) {
        float sum = 0.0f;
        for (int i = -1; i <= 2; ++i) sum += k.k(static_cast<float>(i) - f);
        EXPECT_NEAR(sum, 1.0f, 2e-6f) << f;
      }
    }
  }
}

}  // namespace
