// Colour manager: the gray levels that pin the sRGB -> XYZ -> L* chain, the piecewise
// boundaries of the sRGB and L*a*b* functions, and the round trips between the spaces.
#include "imaging/color_management.h"

#include <gtest/gtest.h>

#include <cmath>

using CM = CColorManagment;

TEST(CColorManagment, RGBToGrayLevels) {
  CM cm;
  EXPECT_EQ(cm.RGBToGray(0, 0, 0), 0);
  EXPECT_EQ(cm.RGBToGray(255, 255, 255), 255);
  EXPECT_EQ(cm.RGBToGray(128, 128, 128), 137);
  EXPECT_EQ(cm.RGBToGray(255, 0, 0), 136);
  EXPECT_EQ(cm.RGBToGray(0, 255, 0), 224);
  EXPECT_EQ(cm.RGBToGray(0, 0, 255), 82);
  EXPECT_EQ(cm.RGBToGray(254, 254, 254), 254);
  // The working vectors hold the intermediate results: linear sRGB became L*a*b*, and the
  // first element of work holds L*/100.
  cm.RGBToGray(128, 128, 128);
  EXPECT_NEAR(cm.rgb[0], 53.585, 1e-3);
  EXPECT_NEAR(cm.work[0], 0.53585, 1e-5);
  // Gray is monotonic in the neutral level.
  int last = -1;
  for (int v = 0; v < 256; ++v) {
    const int g = cm.RGBToGray(v, v, v);
    EXPECT_GE(g, last);
    last = g;
  }
}

TEST(CColorManagment, PiecewiseBoundaries) {
  EXPECT_DOUBLE_EQ(CM::ToLinear(0.04045), 0.04045 / 12.92);
  EXPECT_DOUBLE_EQ(CM::ToLinear(128 / 255.0), 0.21586050011389926);
  EXPECT_DOUBLE_EQ(CM::ToNonLinear(0.0031308), 12.92 * 0.0031308);
  const double eps = 0.008856451679035631;
  EXPECT_NEAR(CM::Fn_XYZToLab(eps), 0.2068966, 1e-7);
  EXPECT_NEAR(CM::Fn_XYZToLab(eps), std::cbrt(eps), 1e-12);
  EXPECT_DOUBLE_EQ(CM::Fn_XYZToLab(0.125), 0.5);
  EXPECT_DOUBLE_EQ(CM::Pow3(-2.0), -8.0);
  EXPECT_DOUBLE_EQ(CM::Fx_LabToXYZ(500.0, 100.0), 2.0);
  EXPECT_DOUBLE_EQ(CM::Fz_LabToXYZ(200.0, 100.0), 0.0);

  double white[3] = {100.0, 0.0, 0.0}, xyz[3];
  CM::LabToXYZ(white, xyz);
  EXPECT_NEAR(xyz[0], 1.0985, 1e-12);
  EXPECT_NEAR(xyz[1], 1.0, 1e-12);
  EXPECT_NEAR(xyz[2], 0.35585, 1e-12);
  double dark[3] = {8.0, 0.0, 0.0};
  CM::LabToXYZ(dark, xyz);
  EXPECT_DOUBLE_EQ(xyz[1], 8.0 / 903.2962962962963);
}

TEST(CColorManagment, RoundTrips) {
  for (int i = 0; i <= 100; ++i) {
    const double v = i / 100.0;
    EXPECT_NEAR(CM::ToNonLinear(CM::ToLinear(v)), v, 1e-12) << v;
  }
  // sRGB -> XYZ -> linear sRGB, and XYZ -> Lab -> XYZ.
  const double samples[][3] = {
      {0.2, 0.5, 0.9}, {1.0, 0.0, 0.0}, {0.01, 0.02, 0.03}, {0.7, 0.7, 0.7}};
  for (const auto& s : samples) {
    double rgb[3] = {s[0], s[1], s[2]}, xyz[3], back[3], lab[3], xyz2[3];
    CM::RGBToXYZ(rgb, xyz);  // rgb is linear afterwards
    CM::XYZToRGB(xyz, back);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(back[c], rgb[c], 2e-6);
    CM::XYZToLab(xyz, lab);
    CM::LabToXYZ(lab, xyz2);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(xyz2[c], xyz[c], 1e-12);
  }
  // Gray <-> Lab, and gray through Lab to XYZ lands on the same luminance as L* says.
  double gray[3] = {0.42, 0, 0}, lab[3] = {0, 0, 0}, g2[3];
  CM::GrayToLab(gray, lab);
  CM::LabToGray(lab, g2);
  EXPECT_DOUBLE_EQ(g2[0], 0.42);
  double v[3] = {0.5, 0, 0}, w[3] = {0, 0, 0};
  CM::GrayToRGB(v, w);
  EXPECT_NEAR(CM::Fn_XYZToLab(v[1]) * 116.0 - 16.0, 50.0, 1e-12);
  double* adapted = CM::ChromaticAdaption(w);
  for (int c = 0; c < 3; ++c) EXPECT_DOUBLE_EQ(adapted[c], w[c]);
  delete[] adapted;
}
