// Interpolation kernels: the values that pin each piece and its boundaries, the symmetry and
// partition of unity that interpolation relies on, and J1 against the library Bessel function.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "imaging/bmp_processing.h"

using K = CBmpProcessing;

TEST(InterpolationKernels, BoundaryValuesComeFromTheRightHandPiece) {
  EXPECT_EQ(K::KernelLinear(-1.0f), 0.0f);
  EXPECT_EQ(K::KernelLinear(0.0f), 1.0f);
  EXPECT_EQ(K::KernelLinear(1.0f), 0.0f);
  EXPECT_EQ(K::KernelLinear(0.25f), 0.75f);
  EXPECT_EQ(K::KernelBox(-0.5f), 1.0f);
  EXPECT_EQ(K::KernelBox(0.5f), 0.0f);
  EXPECT_EQ(K::KernelCubic(1.0f), 0.0f);
  EXPECT_EQ(K::KernelCubic(2.0f), 0.0f);
  EXPECT_EQ(K::KernelGeneralizedCubic(1.5f, -0.5f), -0.0625f);
  EXPECT_EQ(K::KernelGeneralizedCubic(-1.5f, -0.5f), -0.0625f);
  EXPECT_NEAR(K::KernelHamming(-1.0f), 0.08f, 1e-6f);
  EXPECT_EQ(K::KernelHamming(1.0f), 0.0f);
  EXPECT_EQ(K::KernelHermite(-1.0f), 0.0f);
  EXPECT_EQ(K::KernelQuadratic(0.0f), 0.75f);
  EXPECT_EQ(K::KernelQuadratic(1.0f), 0.125f);
  EXPECT_EQ(K::KernelQuadratic(-1.0f), 0.125f);
  EXPECT_EQ(K::KernelQuadratic(1.5f), 0.0f);
  EXPECT_FLOAT_EQ(K::KernelMitchell(0.0f), 0.8888889f);
  EXPECT_NEAR(K::KernelMitchell(1.0f), 0.0555556f, 1e-6f);
  EXPECT_EQ(K::KernelMitchell(2.0f), 0.0f);
  EXPECT_EQ(K::KernelCatrom(0.0f), 1.0f);
  EXPECT_EQ(K::KernelCatrom(1.0f), 0.0f);
  EXPECT_EQ(K::KernelCatrom(1.5f), -0.0625f);
  EXPECT_EQ(K::KernelCatrom(-0.5f), 0.5625f);
  EXPECT_EQ(K::KernelPower(0.5f, 2.0f), 0.75f);
  EXPECT_EQ(K::KernelPower(1.5f, 2.0f), 0.0f);
  EXPECT_FLOAT_EQ(K::KernelBSpline(0.0f), 2.0f / 3.0f);
  EXPECT_EQ(K::KernelBSpline(2.5f), 0.0f);
  EXPECT_EQ(K::KernelBSpline(-2.5f), 0.0f);
  EXPECT_FLOAT_EQ(K::KernelGaussian(0.0f), 0.7978846f);
}

TEST(InterpolationKernels, SincFamilyAndBlackmanHaveNoOrTheirOwnSupport) {
  EXPECT_EQ(K::KernelSinc(0.0f), 1.0f);
  EXPECT_EQ(K::KernelLanczosSinc(0.0f, 6.0f), 1.0f);
  EXPECT_EQ(K::KernelHanning(0.0f), 1.0f);
  EXPECT_EQ(K::KernelLanczosSinc(6.01f, 6.0f), 0.0f);
  EXPECT_NEAR(K::KernelLanczosSinc(6.0f, 6.0f), 0.0f, 1e-6f);
  EXPECT_NEAR(K::KernelSinc(3.0f), 0.0f, 1e-6f);
  EXPECT_NEAR(K::KernelSinc(0.5f), 2.0f / 3.1415927f, 1e-6f);
  EXPECT_EQ(K::KernelHanning(1.5f), 0.0f);
  EXPECT_NEAR(K::KernelBlackman(0.0f), 1.0f, 1e-6f);
  EXPECT_NEAR(K::KernelBlackman(1.0f), 0.0f, 1e-6f);
  EXPECT_NEAR(K::KernelBlackman(2.0f), 1.0f, 1e-6f);
}

TEST(InterpolationKernels, BesselOrderOneIsOddAndMatchesJ1) {
  EXPECT_FLOAT_EQ(K::KernelBessel(0.0f), 0.7853982f);
  EXPECT_EQ(K::KernelBessel_Order1(0.0f), 0.0f);
  for (float x : {0.25f, 1.0f, 3.7f, 7.99f, 8.0f, 8.5f, 12.0f, 31.4f}) {
    SCOPED_TRACE(x);
    EXPECT_EQ(K::KernelBessel_Order1(-x), -K::KernelBessel_Order1(x));
    // Both the rational fit below 8 and the asymptotic form above it track J1.
    EXPECT_NEAR(K::KernelBessel_Order1(x), std::cyl_bessel_j(1.0, static_cast<double>(x)), 2e-6);
  }
  // KernelBessel(x) = J1(pi x) / (2x), continuous towards pi/4 at 0.
  EXPECT_NEAR(K::KernelBessel(1e-3f), 0.7853982f, 1e-5f);
  EXPECT_NEAR(K::KernelBessel(1.0f), std::cyl_bessel_j(1.0, 3.14159265358979) / 2.0, 2e-6);
}

struct NamedKernel {
  const char* name;
  std::function<float(float)> k;
};

class SymmetricKernel : public ::testing::TestWithParam<NamedKernel> {};

// Every kernel except the asymmetric Hamming variant weighs d and -d alike away from the
// boundaries of its pieces.
TEST_P(SymmetricKernel, EvenAwayFromPieceBoundaries) {
  for (float d : {0.1f, 0.3f, 0.7f, 1.2f, 1.6f, 1.9f, 2.7f, 5.5f}) {
    SCOPED_TRACE(d);
    // The B-spline's sum of cubes cancels near |d| = 2, hence the single-precision noise.
    EXPECT_NEAR(GetParam().k(d), GetParam().k(-d), 5e-6f);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Kernels, SymmetricKernel,
    ::testing::Values(
        NamedKernel{"Linear", K::KernelLinear}, NamedKernel{"Cubic", K::KernelCubic},
        NamedKernel{"GenCubic", [](float x) { return K::KernelGeneralizedCubic(x, -0.5f); }},
        NamedKernel{"Lanczos", [](float x) { return K::KernelLanczosSinc(x, 6.0f); }},
        NamedKernel{"BSpline", K::KernelBSpline}, NamedKernel{"Hermite", K::KernelHermite},
        NamedKernel{"Hanning", K::KernelHanning}, NamedKernel{"Sinc", K::KernelSinc},
        NamedKernel{"Blackman", K::KernelBlackman}, NamedKernel{"Bessel", K::KernelBessel},
        NamedKernel{"Gaussian", K::KernelGaussian}, NamedKernel{"Quadratic", K::KernelQuadratic},
        NamedKernel{"Mitchell", K::KernelMitchell}, NamedKernel{"Catrom", K::KernelCatrom},
        NamedKernel{"Power", [](float x) { return K::KernelPower(x, 2.0f); }}),
    [](const ::testing::TestParamInfo<NamedKernel>& info) { return std::string(info.param.name); });

class PartitionOfUnity : public ::testing::TestWithParam<NamedKernel> {};

// The interpolating and smoothing splines sum to 1 over the integer shifts, which is what
// keeps a uniform image uniform even though the samplers do not normalise the weights.
TEST_P(PartitionOfUnity, WeightsOfTheFourNeighboursSumToOne) {
  for (float f : {0.0f, 0.125f, 0.3f, 0.5f, 0.77f, 0.99f}) {
    SCOPED_TRACE(f);
    float sum = 0.0f;
    for (int k = -1; k <= 2; ++k) sum += GetParam().k(static_cast<float>(k) - f);
    EXPECT_NEAR(sum, 1.0f, 2e-6f);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Kernels, PartitionOfUnity,
    ::testing::Values(
        NamedKernel{"Linear", K::KernelLinear}, NamedKernel{"Cubic", K::KernelCubic},
        NamedKernel{"GenCubic", [](float x) { return K::KernelGeneralizedCubic(x, -0.5f); }},
        NamedKernel{"Box", K::KernelBox}, NamedKernel{"BSpline", K::KernelBSpline},
        NamedKernel{"Hermite", K::KernelHermite}, NamedKernel{"Quadratic", K::KernelQuadratic},
        NamedKernel{"Mitchell", K::KernelMitchell}, NamedKernel{"Catrom", K::KernelCatrom}),
    [](const ::testing::TestParamInfo<NamedKernel>& info) { return std::string(info.param.name); });
