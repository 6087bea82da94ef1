// One-dimensional interpolation kernels of the image processor: weight as a function of the
// signed distance between a pixel centre and the sample position. Single precision throughout,
// except the Bessel rational approximations, which evaluate their polynomials in double.
#include "imaging/interpolation_kernels.h"

#include <cmath>

using quorvel::kernels::kPi;
using quorvel::kernels::kTwoPi;

float CBmpProcessing::KernelLinear(float x) {
  if (x < -1.0f) return 0.0f;
  if (x < 0.0f) return x + 1.0f;
  if (x < 1.0f) return 1.0f - x;
  return 0.0f;
}

float CBmpProcessing::KernelCubic(float x) {
  const float t = std::fabs(x);
  const float t2 = t * t;
  if (t < 1.0f) return 1.0f - 2.0f * t2 + t2 * t;
  if (t < 2.0f) return 4.0f - 8.0f * t + 5.0f * t2 - t2 * t;
  return 0.0f;
}

float CBmpProcessing::KernelGeneralizedCubic(float x, float a) {
  const float t = std::fabs(x);
  const float t2 = t * t;
  if (t < 1.0f) return 1.0f - (a + 3.0f) * t2 + (a + 2.0f) * t2 * t;
  if (t < 2.0f) return a * t2 * t - 5.0f * a * t2 + 8.0f * a * t - 4.0f * a;
  return 0.0f;
}

float CBmpProcessing::KernelLanczosSinc(float x, float radius) {
  if (std::fabs(x) > radius) return 0.0f;
  if (x == 0.0f) return 1.0f;
  const float p = kPi * x;
  const float q = p / radius;
  return (std::sin(p) / p) * (std::sin(q) / q);
}

float CBmpProcessing::KernelBox(float x) {
  if (x < -0.5f) return 0.0f;
  if (x < 0.5f) return 1.0f;
  return 0.0f;
}

float CBmpProcessing::KernelBSpline(float x) {
  if (x > 2.0f) return 0.0f;
  // P(u) = u^3 for u > 0, else 0.
  auto cube = [](float u) { return u > 0.0f ? u * u * u : 0.0f; };
  const float a = cube(x + 2.0f);
  const float b = cube(x + 1.0f);
  const float c = cube(x);
  const float d = cube(x - 1.0f);
  return (a - 4.0f * b + 6.0f * c - 4.0f * d) * 0.16666667f;
}

float CBmpProcessing::KernelHermite(float x) {
  if (x < -1.0f) return 0.0f;
  if (x < 0.0f) return (-2.0f * x - 3.0f) * x * x + 1.0f;
  if (x < 1.0f) return (2.0f * x - 3.0f) * x * x + 1.0f;
  return 0.0f;
}

float CBmpProcessing::KernelHanning(float x) {
  if (std::fabs(x) > 1.0f) return 0.0f;
  if (x == 0.0f) return 1.0f;
  const float p = kPi * x;
  return (0.5f + 0.5f * std::cos(p)) * (std::sin(p) / p);
}

// The Hermite cubic scaled by 0.92, not a cosine window: 0.08 at -1 and 0 at +1.
float CBmpProcessing::KernelHamming(float x) {
  if (x < -1.0f) return 0.0f;
  if (x < 0.0f) return 0.92f * (-2.0f * x - 3.0f) * x * x + 1.0f;
  if (x < 1.0f) return 0.92f * (2.0f * x - 3.0f) * x * x + 1.0f;
  return 0.0f;
}

float CBmpProcessing::KernelSinc(float x) {
  if (x == 0.0f) return 1.0f;
  const float p = kPi * x;
  return std::sin(p) / p;
}

// No support limit: the window repeats with period 2.
float CBmpProcessing::KernelBlackman(float x) {
  return 0.42f + 0.5f * std::cos(kPi * x) + 0.08f * std::cos(kTwoPi * x);
}

namespace {

// Rational approximation p(v^2) / q(v^2) with the tables' highest entry as leading
// coefficient, evaluated in double precision.
template <int N>
float Rational(const double (&pone)[N], const double (&qone)[N], double v) {
  double p = pone[N - 1];
  double q = qone[N - 1];
  for (int i = N - 2; i >= 0; --i) {
    p = p * v * v + pone[i];
    q = q * v * v + qone[i];
  }
  return static_cast<float>(p / q);
}

constexpr double kJ1Pone[9] = {
    5.811993540016061e+20,  -6.672106568924916e+19, 2.3164335806340024e+18,
    -3.588817569910106e+16, 2.9087952638347756e+14, -1.3229834803321265e+12,
    3413234182.3017006,     -4695753.530642996,     2701.1227108923235};
constexpr double kJ1Qone[9] = {1.1623987080032122e+21, 1.185770712190321e+19, 6.092061398917522e+16,
                               2.0816612213076075e+14, 524371026216.76495,    1013863514.358674,
                               1501793.5949985855,     1606.9315734814877,    1.0};
constexpr double kP1Pone[6] = {35224.66491336798,  62758.84524716128,  31353.963110915956,
                               4985.4832060594335, 211.15291828539623, 1.2571716929145342};
constexpr double kP1Qone[6] = {35224.66491336798, 62694.34695935605,  31240.406381904104,
                               4930.396490181089, 203.07751891347593, 1.0};
constexpr double kQ1Pone[6] = {351.17519143035526, 721.0391804904475, 425.98730116544425,
                               83.18989576738508,  4.568171629551227, 0.03532840052740124};
constexpr double kQ1Qone[6] = {7491.737417180912,  15414.177339265098, 9152.231701516992,
                               1811.1867005523513, 103.81875854621337, 1.0};

}  // namespace

float CBmpProcessing::KernelBessel_J1(float x) {
  return Rational(kJ1Pone, kJ1Qone, static_cast<double>(x));
}

float CBmpProcessing::KernelBessel_P1(float x) {
  return Rational(kP1Pone, kP1Qone, 8.0 / static_cast<double>(x));
}

float CBmpProcessing::KernelBessel_Q1(float x) {
  return Rational(kQ1Pone, kQ1Qone, 8.0 / static_cast<double>(x));
}

// J1(x): the rational fit below 8, the asymptotic form with its P1/Q1 corrections above.
float CBmpProcessing::KernelBessel_Order1(float x) {
  if (x == 0.0f) return 0.0f;
  const float t = std::fabs(x);
  if (t < 8.0f) return x * KernelBessel_J1(t);
  const float k = 0.70710677f;
  const float s = std::sqrt(2.0f / (kPi * t));
  const float sn = std::sin(t);
  const float cs = std::cos(t);
  const float p1 = KernelBessel_P1(t);
  const float q1 = KernelBessel_Q1(t);
  const float r = s * (p1 * (k * (sn - cs)) + (8.0f / t) * q1 * (k * (sn + cs)));
  return x < 0.0f ? -r : r;
}

float CBmpProcessing::KernelBessel(float x) {
  if (x == 0.0f) return kPi / 4.0f;
  const float px = kPi * x;
  if (px == 0.0f) return 0.0f;  // x so small that pi*x underflows
  return KernelBessel_Order1(px) / (2.0f * x);
}

float CBmpProcessing::KernelGaussian(float x) {
  return std::exp(-2.0f * x * x) * 0.7978846f;  // sqrt(2/pi)
}

float CBmpProcessing::KernelQuadratic(float x) {
  if (x < -1.5f) return 0.0f;
  if (x < -0.5f) return 0.5f * (x + 1.5f) * (x + 1.5f);
  if (x < 0.5f) return 0.75f - x * x;
  if (x < 1.5f) return 0.5f * (x - 1.5f) * (x - 1.5f);
  return 0.0f;
}

// Mitchell-Netravali with B = C = 1/3.
float CBmpProcessing::KernelMitchell(float x) {
  const float k16_9 = 1.7777778f, k10_3 = 3.3333333f, k7_18 = 0.3888889f;
  const float k8_9 = 0.8888889f, k7_6 = 1.1666666f;
  const float x2 = x * x;
  const float x3 = x2 * x;
  if (x < -2.0f) return 0.0f;
  if (x < -1.0f) return k16_9 + k10_3 * x + 2.0f * x2 + k7_18 * x3;
  if (x < 0.0f) return k8_9 - 2.0f * x2 - k7_6 * x3;
  if (x < 1.0f) return k8_9 - 2.0f * x2 + k7_6 * x3;
  if (x < 2.0f) return k16_9 - k10_3 * x + 2.0f * x2 - k7_18 * x3;
  return 0.0f;
}

// Catmull-Rom spline.
float CBmpProcessing::KernelCatrom(float x) {
  const float x2 = x * x;
  const float x3 = x2 * x;
  if (x < -2.0f) return 0.0f;
  if (x < -1.0f) return 0.5f * (x3 + 5.0f * x2 + 8.0f * x + 4.0f);
  if (x < 0.0f) return 0.5f * (2.0f - 5.0f * x2 - 3.0f * x3);
  if (x < 1.0f) return 0.5f * (2.0f - 5.0f * x2 + 3.0f * x3);
  if (x < 2.0f) return 0.5f * (4.0f - 8.0f * x + 5.0f * x2 - x3);
  return 0.0f;
}

float CBmpProcessing::KernelPower(float x, float exponent) {
  if (std::fabs(x) > 1.0f) return 0.0f;
  return 1.0f - std::fabs(std::pow(x, exponent));
}
