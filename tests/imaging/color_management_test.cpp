// Colour manager: the gray levels that pin the sRGB -> XYZ -> L* chain, the piecewise
// boundaries of the sRGB and L*a*b* functions, and the round trips between the spaces.
#include "imaging/color_management.h"

#include <gtest/gtest.h>

#include <cmath>

using CM = CColorManagment;

TEST(CColorManagment, RGBToGrayLevels) {
  CM cm;
  const int cases[][4] = {{0, 0, 0, 0},        {255, 255, 255, 255}, {128, 128, 128, 137},
                          {255, 0, 0, 136},    {0, 255, 0, 224},     {0, 0, 255, 82},
                          {254, 254, 254, 254}};
  for (const auto& c : cases)
    EXPECT_EQ(cm.RGBToGray(c[0], c[1], c[2]), c[3]) << c[0] << c[1] << c[2];
  // The working vectors keep the intermediate results: L*a*b* in rgb, L*/100 first in work.
  cm.RGBToGray(128, 128, 128);
  EXPECT_NEAR(cm.rgb[0], 53.585, 1e-3);
  EXPECT_NEAR(cm.work[0], 0.53585, 1e-5);
}

TEST(CColorManagment, PiecewiseBoundariesAndRoundTrips) {
  EXPECT_DOUBLE_EQ(CM::ToLinear(0.04045), 0.04045 / 12.92);
  EXPECT_DOUBLE_EQ(CM::ToNonLinear(0.0031308), 12.92 * 0.0031308);
  const double eps = 0.008856451679035631;
  EXPECT_NEAR(CM::Fn_XYZToLab(eps), std::cbrt(eps), 1e-12);  // 0.2068966 from the linear piece
  double white[3] = {100.0, 0.0, 0.0}, dark[3] = {8.0, 0.0, 0.0}, xyz[3];
  CM::LabToXYZ(white, xyz);
  EXPECT_NEAR(xyz[0], 1.0985, 1e-12);  // the reference white
  EXPECT_NEAR(xyz[1], 1.0, 1e-12);
  EXPECT_NEAR(xyz[2], 0.35585, 1e-12);
  CM::LabToXYZ(dark, xyz);
  EXPECT_DOUBLE_EQ(xyz[1], 8.0 / 903.2962962962963);
  for (int i = 0; i <= 100; ++i)
    EXPECT_NEAR(CM::ToNonLinear(CM::ToLinear(i / 100.0)), i / 100.0, 1e-12);
  // sRGB -> XYZ -> linear sRGB, and XYZ -> Lab -> XYZ.
  const double samples[][3] = {{0.2, 0.5, 0.9}, {1.0, 0.0, 0.0}, {0.01, 0.02, 0.03}};
  for (const auto& s : samples) {
    double rgb[3] = {s[0], s[1], s[2]}, back[3], lab[3], xyz2[3];
    CM::RGBToXYZ(rgb, xyz);  // rgb is linear afterwards
    CM::XYZToRGB(xyz, back);
    CM::XYZToLab(xyz, lab);
    CM::LabToXYZ(lab, xyz2);
    for (int c = 0; c < 3; ++c) {
      EXPECT_NEAR(back[c], rgb[c], 2e-6);
      EXPECT_NEAR(xyz2[c], xyz[c], 1e-12);
    }
  }
}
