// Small single-precision geometry used by the area sampler: a point and an axis-aligned
// rectangle (low edges x1, y1; high edges x2, y2) with its intersection.
#pragma once

class CxPoint2 {
 public:
  CxPoint2() : x(0.0f), y(0.0f) {}
  CxPoint2(float const x_, float const y_) : x(x_), y(y_) {}
  CxPoint2(CxPoint2 const& p) = default;
  CxPoint2& operator=(CxPoint2 const& p) = default;

  float Distance(CxPoint2 const p2) const;
  float Distance(float const x_, float const y_) const;

  float x;
  float y;
};

class CxRect2 {
 public:
  CxRect2() : x1(0.0f), y1(0.0f), x2(0.0f), y2(0.0f) {}
  CxRect2(float const x1_, float const y1_, float const x2_, float const y2_)
      : x1(x1_), y1(y1_), x2(x2_), y2(y2_) {}
  CxRect2(CxRect2 const& r) = default;
  CxRect2& operator=(CxRect2 const& r) = default;

  float Surface() const { return (x2 - x1) * (y2 - y1); }
  float Width() const { return x2 - x1; }
  float Height() const { return y2 - y1; }
  CxPoint2 Center() const { return CxPoint2((x1 + x2) * 0.5f, (y1 + y2) * 0.5f); }

  // Intersection; (0, 0, 0, 0) when empty (or when a comparison meets a NaN). Touching
  // rectangles give a rectangle of zero width or height.
  CxRect2 CrossSection(CxRect2 const& r2) const {
    CxRect2 cs(x1 < r2.x1 ? r2.x1 : x1, y1 < r2.y1 ? r2.y1 : y1, r2.x2 < x2 ? r2.x2 : x2,
               r2.y2 < y2 ? r2.y2 : y2);
    if (cs.x1 <= cs.x2 && cs.y1 <= cs.y2) return cs;
    return CxRect2();
  }

  float x1;
  float y1;
  float x2;
  float y2;
};
