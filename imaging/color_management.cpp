// Colour manager: sRGB <-> XYZ <-> L*a*b* and the L*-based gray level, all in double
// precision. The L*a*b* white is CIE illuminant A while the matrices are sRGB (D65), with no
// adaptation between them; L*, and so the gray level, depends on Y alone and is unaffected.
#include "imaging/color_management.h"

#include <cmath>

namespace {

constexpr double kEpsilon = 0.008856451679035631;  // (6/29)^3
constexpr double kKappa = 903.2962962962963;       // (29/3)^3
constexpr double kWhiteX = 1.0985;
constexpr double kWhiteZ = 0.35585;

constexpr double kXYZToRGB[3][3] = {{3.2404542, -1.5371385, -0.4985314},
                                    {-0.969266, 1.8760108, 0.041556},
                                    {0.0556434, -0.2040259, 1.0572252}};

}  // namespace

const double CColorManagment::gsRGBcm[3][3] = {{0.4124564, 0.3575761, 0.1804375},
                                               {0.2126729, 0.7151522, 0.072175},
                                               {0.0193339, 0.119192, 0.9503041}};
const double CColorManagment::PrecalcMatrix[3][3] = {
    {1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}};

CColorManagment::~CColorManagment() {
  delete[] rgb;
  delete[] work;
}

void CColorManagment::SetRGB(uint8_t red, uint8_t green, uint8_t blue) {
  delete[] rgb;
  delete[] work;
  rgb = new double[3]{red / 255.0, green / 255.0, blue / 255.0};
  work = new double[3]{rgb[0], rgb[1], rgb[2]};
}

double CColorManagment::ToLinear(double v) {
  if (v > 0.04045) return std::pow((v + 0.055) / 1.055, 2.4);
  return v / 12.92;
}

double CColorManagment::ToNonLinear(double v) {
  if (v <= 0.0031308) return 12.92 * v;
  return 1.055 * std::pow(v, 0.4166666666666667) - 0.055;
}

double* CColorManagment::MultiplyMatrix(const double m[3][3], const double* v) {
  double* r = new double[3];
  for (int i = 0; i < 3; ++i) r[i] = m[i][0] * v[0] + m[i][1] * v[1] + m[i][2] * v[2];
  return r;
}

void CColorManagment::RGBToXYZ(double* rgb, double* xyz) {
  for (int i = 0; i < 3; ++i) rgb[i] = ToLinear(rgb[i]);
  double* p = MultiplyMatrix(gsRGBcm, rgb);
  for (int i = 0; i < 3; ++i) xyz[i] = p[i];
  delete[] p;
}

double* CColorManagment::ChromaticAdaption(const double* v) {
  return MultiplyMatrix(PrecalcMatrix, v);
}

double CColorManagment::Fn_XYZToLab(double t) {
  if (t <= kEpsilon) return (kKappa * t + 16.0) / 116.0;
  return std::pow(t, 0.3333333333333333);
}

void CColorManagment::XYZToLab(const double* xyz, double* lab) {
  const double fy = Fn_XYZToLab(xyz[1]);
  const double fx = Fn_XYZToLab(xyz[0] / kWhiteX);
  const double fz = Fn_XYZToLab(xyz[2] / kWhiteZ);
  lab[0] = 116.0 * fy - 16.0;
  lab[1] = 500.0 * (fx - fy);
  lab[2] = 200.0 * (fy - fz);
}

void CColorManagment::LabToXYZ(const double* lab, double* xyz) {
  const double L = lab[0];
  const double fy = Fy_LabToXYZ(L);
  const double fx = Fx_LabToXYZ(lab[1], L);
  const double fz = Fz_LabToXYZ(lab[2], L);
  const double fx3 = Pow3(fx);
  const double fz3 = Pow3(fz);
  const double y = L > 8.0 ? Pow3(fy) : L / kKappa;
  const double x = kWhiteX * (fx3 > kEpsilon ? fx3 : (116.0 * fx - 16.0) / kKappa);
  const double z = kWhiteZ * (fz3 > kEpsilon ? fz3 : (116.0 * fz - 16.0) / kKappa);
  xyz[0] = x;
  xyz[1] = y;
  xyz[2] = z;
}

void CColorManagment::XYZToRGB(const double* xyz, double* rgb) {
  double* p = MultiplyMatrix(kXYZToRGB, xyz);
  for (int i = 0; i < 3; ++i) rgb[i] = p[i];
  delete[] p;
}

void CColorManagment::LabToGray(const double* lab, double* gray) { gray[0] = lab[0] / 100.0; }

void CColorManagment::GrayToLab(const double* gray, double* lab) { lab[0] = 100.0 * gray[0]; }

void CColorManagment::GrayToRGB(double* v, double* w) {
  w[0] = 100.0 * v[0];
  LabToXYZ(w, v);
  XYZToRGB(v, w);
}

double CColorManagment::Pow3(double x) { return x * (x * x); }

double CColorManagment::Fx_LabToXYZ(double a, double L) { return a / 500.0 + (L + 16.0) / 116.0; }

double CColorManagment::Fy_LabToXYZ(double L) { return (L + 16.0) / 116.0; }

double CColorManagment::Fz_LabToXYZ(double b, double L) { return (L + 16.0) / 116.0 - b / 200.0; }

void CColorManagment::RGBToGray(uint8_t& gray) {
  if (rgb == nullptr || work == nullptr) return;  // no colour set yet
  if (rgb[0] == 0.0 && rgb[1] == 0.0 && rgb[2] == 0.0) {
    gray = 0;
    return;
  }
  if (rgb[0] == 1.0 && rgb[1] == 1.0 && rgb[2] == 1.0) {
    gray = 255;
    return;
  }
  RGBToXYZ(rgb, work);
  XYZToLab(work, rgb);
  const double g = rgb[0] / 100.0;
  work[0] = g;
  const double level = g * 255.0 + 0.5;
  // L* of an sRGB colour lies in 0..100; the bounds only keep the byte conversion defined.
  gray = level <= 0.0 ? 0 : (level >= 255.0 ? 255 : static_cast<uint8_t>(level));
}

uint8_t CColorManagment::RGBToGray(uint8_t red, uint8_t green, uint8_t blue) {
  SetRGB(red, green, blue);
  uint8_t gray = 0;
  RGBToGray(gray);
  return gray;
}
