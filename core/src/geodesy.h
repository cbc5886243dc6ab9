// The figures of the Earth and the angle conversions that the coordinate tools
// (geo, utm, pluscode, geom, crs) share. The tools print rounded coordinates and
// distances, so a conversion's order of operations is part of what they answer:
// the two ways of turning degrees into radians below differ in the last bit for
// about a quarter of all inputs, and each tool keeps the one it was measured with.
#pragma once

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pelloriand::geodesy {

inline constexpr double PI = std::numbers::pi;

// The mean Earth radius R1 = (2a + b) / 3 of WGS 84 (metres): the sphere of the
// haversine and of the cell sizes the grid tools print.
inline constexpr double MEAN_EARTH_RADIUS = 6371008.8;

// The semi-major axis a of WGS 84 (metres), also the sphere of Web Mercator.
inline constexpr double WGS84_A = 6378137;

// One rounding: angle × RADIANS_PER_DEGREE (0.017453292519943295) and
// angle × DEGREES_PER_RADIAN (57.29577951308232).
inline constexpr double RADIANS_PER_DEGREE = PI / 180;
inline constexpr double DEGREES_PER_RADIAN = 180 / PI;

// radians_via_pi, degrees_via_pi
//
// Two roundings: angle × π, then ÷ 180 (or × 180, then ÷ π). The geo, pluscode
// and utm tools convert this way.
//
// Example:
//   radians_via_pi(3) == 0.05235987755982988, where
//   3 * RADIANS_PER_DEGREE == 0.05235987755982989
[[nodiscard]] constexpr double radians_via_pi(double degrees) {
  return degrees * PI / 180;
}
[[nodiscard]] constexpr double degrees_via_pi(double radians) {
  return radians * 180 / PI;
}

// haversine_distance
//
// The great-circle distance (metres) on the mean sphere between two points
// whose latitudes differ by `dphi` and longitudes by `dlam` (radians), given the
// product of the cosines of their latitudes (a line of many points computes each
// cosine once).
[[nodiscard]] inline double haversine_distance(double dphi, double dlam, double cos_product) {
  const double s_phi = std::sin(dphi * 0.5);
  const double s_lam = std::sin(dlam * 0.5);
  const double h = s_phi * s_phi + cos_product * (s_lam * s_lam);
  return std::asin(std::min(std::sqrt(h), 1.0)) * (2 * MEAN_EARTH_RADIUS);
}

}  // namespace pelloriand::geodesy
