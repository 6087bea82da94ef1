// CColorManagment: one-colour conversions between 8-bit sRGB, CIE XYZ, CIE L*a*b* and a
// perceptual gray level (255 x L*/100). Stands apart from the page pipeline.
#pragma once

#include <cstdint>

class CColorManagment {
 public:
  CColorManagment() = default;
  ~CColorManagment();
  // Owns two raw vectors; copying would release them twice.
  CColorManagment(const CColorManagment&) = delete;
  CColorManagment& operator=(const CColorManagment&) = delete;

  // Replaces the current colour: rgb = channels / 255, work = a copy of rgb.
  void SetRGB(uint8_t red, uint8_t green, uint8_t blue);

  // sRGB decoding and encoding of one channel in 0..1.
  static double ToLinear(double v);
  static double ToNonLinear(double v);

  // M . v in a new array of 3 doubles; the caller owns it (delete[]).
  static double* MultiplyMatrix(const double m[3][3], const double* v);
  // rgb is linearised in place, then xyz = sRGB matrix . rgb.
  static void RGBToXYZ(double* rgb, double* xyz);
  // PrecalcMatrix . v in a new array (delete[]); the identity, so a plain copy.
  static double* ChromaticAdaption(const double* v);
  static double Fn_XYZToLab(double t);
  static void XYZToLab(const double* xyz, double* lab);
  static void LabToXYZ(const double* lab, double* xyz);
  // Linear sRGB, not encoded with ToNonLinear.
  static void XYZToRGB(const double* xyz, double* rgb);
  static void LabToGray(const double* lab, double* gray);
  static void GrayToLab(const double* gray, double* lab);
  // w[0] = 100 v[0] with a*, b* supplied in w[1], w[2]; leaves XYZ in v, linear RGB in w.
  static void GrayToRGB(double* v, double* w);
  static double Pow3(double x);
  static double Fx_LabToXYZ(double a, double L);
  static double Fy_LabToXYZ(double L);
  static double Fz_LabToXYZ(double b, double L);

  // Gray level of the current colour (after SetRGB); uses both vectors as working storage.
  void RGBToGray(uint8_t& gray);
  uint8_t RGBToGray(uint8_t red, uint8_t green, uint8_t blue);

  static const double gsRGBcm[3][3];        // linear sRGB to XYZ
  static const double PrecalcMatrix[3][3];  // chromatic adaptation (identity)

  double* rgb = nullptr;   // owned: current colour, then working storage
  double* work = nullptr;  // owned: second working vector
};
