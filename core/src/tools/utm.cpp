// UTM and MGRS: the grid arithmetic of geo.h (zones, forward and inverse
// transverse Mercator on WGS84, latitude bands, 100 km square letters) and the
// two tools built on it, `utm` and `mgrs`.
//
// Source: Snyder (1987), USGS Professional Paper 1395, eqs. 8-9 to 8-25, with
// the ellipsoid terms folded into constants. The constants and the order of
// every sum are kept exactly as written below: the tools print eastings and
// northings rounded to the metre and points to six decimals, and a reordered
// sum can move a value across a rounding boundary.
//
// Glossary: phi latitude, lam longitude (radians); k0 central scale; e2 first
// and ep2 second eccentricity squared; N radius of curvature in the prime
// vertical; T = tan² phi; C = ep2 cos² phi; A = cos phi × Δlam; M meridian
// arc; mu rectifying latitude; phi1 footpoint latitude; D scaled easting.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "tools/geo.h"

namespace pelloriand::tools::geo {
namespace {

constexpr double PI = 3.141592653589793;
constexpr double A_AXIS = 6378137.0;                   // semi-major axis a (meters)
constexpr double E2 = 0.0066943799901413165;           // first eccentricity squared
constexpr double EP2 = 0.006739496742276434;           // second eccentricity squared
constexpr double A_ONE_MINUS_E2 = 6335439.3272928195;  // a (1 - e2) (meters)
constexpr double ARC_DIVISOR = 6367449.145960817;      // a (1 - e2/4 - 3e4/64 - 5e6/256)
constexpr double K0 = 0.9996;
constexpr double FALSE_EASTING = 500000.0;
constexpr double FALSE_NORTHING = 10000000.0;

// Central meridian of a zone (degrees), as an integer sum before any rounding.
double central_meridian(int zone) {
  return static_cast<double>((static_cast<std::int64_t>(zone) - 1) * 6 - 180 + 3);
}

// Non-negative remainder, for zone numbers that callers have not range-checked.
int positive_mod(std::int64_t value, int divisor) {
  const auto r = static_cast<int>(value % divisor);
  return r < 0 ? r + divisor : r;
}

// floor(x) as an integer, held inside ±2^53 so the conversion is always defined.
std::int64_t floor_to_int(double x) {
  constexpr double LIMIT = 9007199254740992.0;
  if (!(x > -LIMIT)) return -static_cast<std::int64_t>(LIMIT);
  if (x > LIMIT) return static_cast<std::int64_t>(LIMIT);
  return static_cast<std::int64_t>(std::floor(x));
}

}  // namespace

int utm_zone(double longitude, double latitude) {
  if (std::isnan(longitude)) return 0;
  // 180°E is the eastern edge of zone 60; the 6° rule alone would open a 61st.
  if (longitude == 180.0) return 60;
  const double raw = std::floor((180.0 + longitude) / 6.0) + 1.0;
  int zone = 0;
  if (raw >= std::numeric_limits<int>::max()) {
    zone = std::numeric_limits<int>::max();
  } else if (raw <= std::numeric_limits<int>::min()) {
    zone = std::numeric_limits<int>::min();
  } else {
    zone = static_cast<int>(raw);
  }
  if (latitude >= 56.0 && latitude < 64.0 && longitude >= 3.0 && longitude < 12.0) zone = 32;
  if (latitude >= 72.0 && latitude < 84.0) {
    if (longitude >= 0.0 && longitude < 9.0) {
      zone = 31;
    } else if (longitude >= 9.0 && longitude < 21.0) {
      zone = 33;
    } else if (longitude >= 21.0 && longitude < 33.0) {
      zone = 35;
    } else if (longitude >= 33.0 && longitude < 42.0) {
      zone = 37;
    }
  }
  return zone;
}

UtmCoordinates latlon_to_utm(double latitude, double longitude, int zone) {
  const double cm = central_meridian(zone);
  const double phi = latitude * PI / 180.0;
  const double dlam = longitude * PI / 180.0 - cm * PI / 180.0;

  const double sin_phi = std::sin(phi);
  const double cos_phi = std::cos(phi);
  const double tan_phi = std::tan(phi);
  const double n = A_AXIS / std::sqrt(1.0 - E2 * (sin_phi * sin_phi));
  const double t = tan_phi * tan_phi;
  const double c = EP2 * (cos_phi * cos_phi);
  const double a = cos_phi * dlam;

  const double m = A_AXIS * (0.9983242984527954 * phi - 0.002514607060518705 * std::sin(2.0 * phi) +
                             2.6390465943376213e-6 * std::sin(4.0 * phi) -
                             3.4180460865957874e-9 * std::sin(6.0 * phi));

  const double a2 = a * a;
  const double a3 = a2 * a;
  const double a4 = a3 * a;
  const double a5 = a4 * a;
  const double a6 = a5 * a;

  double northing =
      K0 * (m + n * tan_phi *
                    (a2 / 2.0 + (5.0 - t + 9.0 * c + 4.0 * c * c) * a4 / 24.0 +
                     (61.0 - 58.0 * t + t * t + 600.0 * c - 2.224033924951223) * a6 / 720.0));
  if (northing < 0.0) northing += FALSE_NORTHING;

  const double easting =
      K0 * n *
          (a + (1.0 - t + c) * a3 / 6.0 +
           (5.0 - 18.0 * t + t * t + 72.0 * c - 0.39089081105203316) * a5 / 120.0) +
      FALSE_EASTING;
  return {easting, northing};
}

LatLng utm_inverse(int zone, double easting, double northing) {
  if (northing >= FALSE_NORTHING) northing -= FALSE_NORTHING;
  const double x = easting - FALSE_EASTING;
  const double mu = northing / K0 / ARC_DIVISOR;

  const double phi1 =
      mu + 0.002518826584390675 * std::sin(2.0 * mu) + 3.700949035620495e-6 * std::sin(4.0 * mu) +
      7.447813767503831e-9 * std::sin(6.0 * mu) + 1.703599323859595e-11 * std::sin(8.0 * mu);

  const double sin1 = std::sin(phi1);
  const double cos1 = std::cos(phi1);
  const double tan1 = std::tan(phi1);
  const double c1 = EP2 * (cos1 * cos1);
  const double t1 = tan1 * tan1;
  const double w = 1.0 - E2 * (sin1 * sin1);
  const double n1 = A_AXIS / std::sqrt(w);
  const double r1 = A_ONE_MINUS_E2 / std::pow(w, 1.5);
  const double d = x / (K0 * n1);

  const double d2 = d * d;
  const double d3 = d2 * d;
  const double d4 = d3 * d;
  const double d5 = d4 * d;
  const double d6 = d5 * d;

  const double phi =
      phi1 -
      (n1 * tan1 / r1) *
          (d2 / 2.0 -
           (5.0 + 3.0 * t1 + 10.0 * c1 - 4.0 * c1 * c1 - 0.060655470680487905) * d4 / 24.0 +
           (61.0 + 90.0 * t1 + 298.0 * c1 + 45.0 * t1 * t1 - 1.6983531790536615 - 3.0 * c1 * c1) *
               d6 / 720.0);
  const double lam0 = central_meridian(zone) * PI / 180.0;
  const double lam =
      lam0 + (d - (1.0 + 2.0 * t1 + c1) * d3 / 6.0 +
              (5.0 - 2.0 * c1 + 28.0 * t1 - 3.0 * c1 * c1 + 0.05391597393821147 + 24.0 * t1 * t1) *
                  d5 / 120.0) /
                 cos1;
  return {phi * 180.0 / PI, lam * 180.0 / PI};
}

std::optional<char> mgrs_band(double latitude) {
  if (!(latitude >= -80.0 && latitude < 84.0)) return std::nullopt;
  const auto index = static_cast<std::size_t>(std::floor((latitude + 80.0) * 0.125));
  return MGRS_BAND_LETTERS[std::min<std::size_t>(index, 19)];
}

SquareLetters mgrs_square_letters(int zone, double easting, double northing) {
  const std::string_view columns = MGRS_COLUMN_SETS[positive_mod(zone - std::int64_t{1}, 3)];
  const std::int64_t column = floor_to_int(easting / 100000.0) - 1;
  const auto column_index = static_cast<std::size_t>(std::clamp<std::int64_t>(column, 0, 7));
  const int offset = positive_mod(zone, 2) == 0 ? 5 : 0;
  const int row = (positive_mod(floor_to_int(northing / 100000.0), 20) + offset) % 20;
  return {columns[column_index], MGRS_ROW_LETTERS[static_cast<std::size_t>(row)]};
}

std::optional<double> mgrs_column_easting(int zone, char column) {
  const std::string_view columns = MGRS_COLUMN_SETS[positive_mod(zone - std::int64_t{1}, 3)];
  const std::size_t at = columns.find(column);
  if (at == std::string_view::npos) return std::nullopt;
  return static_cast<double>(at + 1) * 100000.0;
}

std::optional<double> mgrs_row_northing(int zone, char row) {
  const std::size_t at = MGRS_ROW_LETTERS.find(row);
  if (at == std::string_view::npos) return std::nullopt;
  const int offset = positive_mod(zone, 2) == 1 ? 5 : 0;
  return static_cast<double>((offset + static_cast<int>(at) + 15) % 20) * 100000.0;
}

}  // namespace pelloriand::tools::geo
