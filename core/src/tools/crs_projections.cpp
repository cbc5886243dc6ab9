// Projection maths of the crs engine: the once-per-record set-up of each
// projection and its inverse (grid to geodetic) and forward (geodetic to grid)
// branches, plus the geocentric conversions used by the datum step.
//
// Glossary (angles in radians, lengths in meters unless said otherwise):
//   lam, phi    longitude λ and latitude φ
//   lamp        λ' = wrap(λ − lon_0), the longitude from the central meridian
//   a, es, e    semi-major axis, squared eccentricity, eccentricity
//   ep2         squared second eccentricity e'^2
//   t           conformal function t(φ) = tan(π/4 − φ/2) / ((1 − e sin φ)/(1 + e sin φ))^(e/2)
//   chi         conformal latitude χ (stere)
//   rho, theta  polar radius and angle in the plane of a cone or an azimuthal projection
//   Cn, Ce      normalised northing and easting on the Gaussian sphere (etmerc)
//   en, ml0     meridian-distance series coefficients and the distance to lat_0 (tmerc, in a)
//
// Sources are listed in crs.h. The constants of each branch (the 1e-10
// tolerances, the iteration caps, the easting bound of etmerc, the twelve-digit
// wrap bound) are part of the behaviour callers see: a point just past a pole
// or a zone's usable width fails or turns infinite exactly where documented.
#include <cmath>

#include "geodesy.h"
#include "tools/crs.h"

namespace pelloriand::tools::crs {
namespace {

using geodesy::DEGREES_PER_RADIAN;
using geodesy::PI;
using geodesy::RADIANS_PER_DEGREE;
constexpr double HALF_PI = PI / 2;
constexpr double QUARTER_PI = PI / 4;
constexpr double TWO_PI = 2 * PI;
// Deliberately not π: a longitude within 2e-13 of ±π is left as it is.
constexpr double WRAP_BOUND = 3.14159265359;
constexpr double EPS10 = 1e-10;
constexpr double ICL_FAILED = -9999;
// Beyond this normalised easting the Krueger series diverge (about 150° of
// longitude from the central meridian on the equator).
constexpr double ETMERC_CE_BOUND = 2.623395162778;
constexpr double INF = HUGE_VAL;

// Overflow-safe hypot in the form the series were tuned with; std::hypot may
// differ in the last bit.
double series_hypot(double p, double q) {
  const double m = std::fmax(std::fabs(p), std::fabs(q));
  const double n = std::fmin(std::fabs(p), std::fabs(q));
  if (m == 0) return 0;
  const double r = n / m;
  return m * std::sqrt(1 + r * r);
}

double conformal_t(double phi, double e) {
  const double es_phi = e * std::sin(phi);
  return std::tan((HALF_PI - phi) / 2) / std::pow((1 - es_phi) / (1 + es_phi), e / 2);
}

// Sum of c_k sin(2(k+1) B) added to B, by Clenshaw's recurrence.
double clenshaw_real(const std::array<double, 6>& c, double B) {
  const double w = 2 * std::cos(2 * B);
  double h = c[5], h1 = 0;
  for (int k = 4; k >= 0; --k) {
    const double next = w * h - h1 + c[k];
    h1 = h;
    h = next;
  }
  return B + h * std::sin(2 * B);
}

std::array<double, 5> meridian_coefficients(double es) {
  return {1 - es * (0.25 + es * (3.0 / 64 + es * (5.0 / 256 + es * 175.0 / 16384))),
          es * (0.75 - es * (3.0 / 64 + es * (5.0 / 256 + es * 175.0 / 16384))),
          es * es * (15.0 / 32 - es * (5.0 / 384 + es * 175.0 / 24576)),
          es * es * es * (35.0 / 96 - es * 35.0 / 6144), es * es * es * es * 315.0 / 1024};
}

// Meridian distance from the equator to phi, in units of a.
double meridian_distance(const std::array<double, 5>& en, double phi) {
  const double s = std::sin(phi), c = std::cos(phi), s2 = s * s;
  return en[0] * phi - c * s * (en[1] + s2 * (en[2] + s2 * (en[3] + s2 * en[4])));
}

// ---- Set-up, once per record ----

void set_up_lcc(Projection& p) {
  if (p.lat_2 == 0) p.lat_2 = p.lat_1;
  if (std::fabs(p.lat_1 + p.lat_2) < EPS10) return;
  const double ba = p.ellipsoid.b / p.ellipsoid.a;
  const double e = std::sqrt(1 - ba * ba);
  p.ellipsoid.e = e;
  const auto m_of = [e](double phi) {
    const double es_phi = e * std::sin(phi);
    return std::cos(phi) / std::sqrt(1 - es_phi * es_phi);
  };
  const double s1 = std::sin(p.lat_1);
  const double m1 = m_of(p.lat_1), t1 = conformal_t(p.lat_1, e);
  if (std::fabs(p.lat_1 - p.lat_2) > EPS10) {
    const double m2 = m_of(p.lat_2), t2 = conformal_t(p.lat_2, e);
    p.n = std::log(m1 / m2) / std::log(t1 / t2);
  } else {
    p.n = s1;
  }
  if (std::isnan(p.n)) p.n = s1;
  p.c = m1 / (std::pow(t1, p.n) * p.n);
  p.rho0 = std::fabs(std::fabs(p.lat_0) - HALF_PI) < EPS10
               ? 0
               : p.ellipsoid.a * p.c * std::pow(conformal_t(p.lat_0, e), p.n);
}

void set_up_merc(Projection& p) {
  const double ba = p.ellipsoid.b / p.ellipsoid.a;
  const double es = 1 - ba * ba;
  p.ellipsoid.es = es;
  p.ellipsoid.e = std::sqrt(es);
  if (p.lat_ts != 0 && !std::isnan(p.lat_ts)) {
    const double c = std::cos(p.lat_ts), s = std::sin(p.lat_ts);
    p.k_0 = p.sphere ? c : c / std::sqrt(1 - es * s * s);
  }
}

void set_up_somerc(Projection& p) {
  const double rf = p.ellipsoid.rf;
  // The squared eccentricity comes from the inverse flattening; a definition
  // without one (rf 0) falls back to the value from the two axes.
  const double es = rf != 0 ? 2 / rf - 1 / (rf * rf) : p.ellipsoid.es;
  const double e = std::sqrt(es);
  p.ellipsoid.e = e;
  const double s0 = std::sin(p.lat_0), c0 = std::cos(p.lat_0);
  p.radius = p.ellipsoid.a * p.k_0 * std::sqrt(1 - es) / (1 - es * s0 * s0);
  p.alpha = std::sqrt(1 + es / (1 - es) * c0 * c0 * c0 * c0);
  p.b0 = std::asin(s0 / p.alpha);
  p.k = std::log(std::tan(QUARTER_PI + p.b0 / 2)) -
        p.alpha * (std::log(std::tan(QUARTER_PI + p.lat_0 / 2)) -
                   e / 2 * std::log((1 + e * s0) / (1 - e * s0)));
}

void set_up_stere(Projection& p) {
  p.cos_phi0 = std::cos(p.lat_0);
  p.sin_phi0 = std::sin(p.lat_0);
  const bool polar = std::fabs(p.cos_phi0) <= EPS10;
  if (p.sphere) {
    if (polar && !std::isnan(p.lat_ts)) {
      const double sigma = p.lat_0 < 0 ? -std::sin(p.lat_ts) : std::sin(p.lat_ts);
      p.k_0 = (1 + sigma) / 2;
    }
    return;
  }
  const double e = p.ellipsoid.e;
  p.pole_sign = polar ? (p.lat_0 > 0 ? 1 : -1) : 0;
  p.con = std::sqrt(std::pow(1 + e, 1 + e) * std::pow(1 - e, 1 - e));
  if (polar && !std::isnan(p.lat_ts) && std::fabs(std::cos(p.lat_ts)) > EPS10) {
    const double es_ts = e * std::sin(p.lat_ts);
    p.k_0 = std::cos(p.lat_ts) / std::sqrt(1 - es_ts * es_ts) * (p.con / 2) /
            conformal_t(p.pole_sign * p.lat_ts, e);
  }
  const double es_phi0 = e * p.sin_phi0;
  p.m0 = p.cos_phi0 / std::sqrt(1 - es_phi0 * es_phi0);
  p.chi0 = 2 * std::atan(std::tan((p.lat_0 + HALF_PI) / 2) *
                         std::pow((1 - es_phi0) / (1 + es_phi0), e / 2)) -
           HALF_PI;
  p.cos_chi0 = std::cos(p.chi0);
  p.sin_chi0 = std::sin(p.chi0);
}

void set_up_tmerc(Projection& p) {
  if (p.ellipsoid.es == 0) return;
  p.en = meridian_coefficients(p.ellipsoid.es);
  p.ml0 = meridian_distance(p.en, p.lat_0);
}

// Krueger series to sixth order in the third flattening n (Poder and Engsager).
void set_up_etmerc(Projection& p) {
  const double es = p.ellipsoid.es;
  const double f = es / (1 + std::sqrt(1 - es));
  const double n = f / (2 - f);
  const double n2 = n * n, n3 = n2 * n, n4 = n3 * n, n5 = n4 * n, n6 = n5 * n;

  p.geodetic_to_gauss = {
      n * (-2 +
           n * (2.0 / 3 + n * (4.0 / 3 + n * (-82.0 / 45 + n * (32.0 / 45 + n * 4642.0 / 4725))))),
      n2 * (5.0 / 3 + n * (-16.0 / 15 + n * (-13.0 / 9 + n * (904.0 / 315 + n * (-1522.0 / 945))))),
      n3 * (-26.0 / 15 + n * (34.0 / 21 + n * (8.0 / 5 + n * (-12686.0 / 2835)))),
      n4 * (1237.0 / 630 + n * (-12.0 / 5 + n * (-24832.0 / 14175))),
      n5 * (-734.0 / 315 + n * 109598.0 / 31185),
      n6 * 444337.0 / 155925};
  p.gauss_to_geodetic = {
      n * (2 +
           n * (-2.0 / 3 + n * (-2 + n * (116.0 / 45 + n * (26.0 / 45 + n * (-2854.0 / 675)))))),
      n2 * (7.0 / 3 + n * (-8.0 / 5 + n * (-227.0 / 45 + n * (2704.0 / 315 + n * 2323.0 / 945)))),
      n3 * (56.0 / 15 + n * (-136.0 / 35 + n * (-1262.0 / 105 + n * 73814.0 / 2835))),
      n4 * (4279.0 / 630 + n * (-332.0 / 35 + n * (-399572.0 / 14175))),
      n5 * (4174.0 / 315 + n * (-144838.0 / 6237)),
      n6 * 601676.0 / 22275};
  p.grid_to_sphere = {
      n * (-0.5 +
           n * (2.0 / 3 +
                n * (-37.0 / 96 + n * (1.0 / 360 + n * (81.0 / 512 + n * (-96199.0 / 604800)))))),
      n2 * (-1.0 / 48 +
            n * (-1.0 / 15 + n * (437.0 / 1440 + n * (-46.0 / 105 + n * 1118711.0 / 3870720)))),
      n3 * (-17.0 / 480 + n * (37.0 / 840 + n * (209.0 / 4480 + n * (-5569.0 / 90720)))),
      n4 * (-4397.0 / 161280 + n * (11.0 / 504 + n * 830251.0 / 7257600)),
      n5 * (-4583.0 / 161280 + n * 108847.0 / 3991680),
      n6 * (-20648693.0 / 638668800)};
  p.sphere_to_grid = {
      n * (0.5 + n * (-2.0 / 3 +
                      n * (5.0 / 16 + n * (41.0 / 180 + n * (-127.0 / 288 + n * 7891.0 / 37800))))),
      n2 * (13.0 / 48 +
            n * (-3.0 / 5 + n * (557.0 / 1440 + n * (281.0 / 630 + n * (-1983433.0 / 1935360))))),
      n3 * (61.0 / 240 + n * (-103.0 / 140 + n * (15061.0 / 26880 + n * 167603.0 / 181440))),
      n4 * (49561.0 / 161280 + n * (-179.0 / 168 + n * 6601661.0 / 7257600)),
      n5 * (34729.0 / 80640 + n * (-3418889.0 / 1995840)),
      n6 * 212378941.0 / 319334400};

  p.norm_radius = p.k_0 / (1 + n) * (1 + n2 * (1.0 / 4 + n2 * (1.0 / 64 + n2 / 256)));
  const double Z = clenshaw_real(p.geodetic_to_gauss, p.lat_0);
  p.origin_northing = -p.norm_radius * clenshaw_real(p.sphere_to_grid, Z);
}

// ---- Inverse branches: grid to (λ, φ) in radians ----

std::optional<Point> lcc_inverse(const Projection& p, double x, double y) {
  double x1 = (x - p.x_0) / p.k_0;
  double y1 = p.rho0 - (y - p.y_0) / p.k_0;
  const double r2 = x1 * x1 + y1 * y1;
  double rho = std::sqrt(r2);
  double theta;
  if (p.n > 0) {
    theta = r2 == 0 ? 0 : std::atan2(x1, y1);
  } else {
    if (r2 == 0) return Point{wrap_longitude(0 / p.n + p.lon_0), -HALF_PI};
    rho = -rho;
    theta = std::atan2(-x1, -y1);
  }
  const double phi =
      inverse_conformal_latitude(p.ellipsoid.e, std::pow(rho / (p.ellipsoid.a * p.c), 1 / p.n));
  if (phi == ICL_FAILED) return std::nullopt;
  return Point{wrap_longitude(theta / p.n + p.lon_0), phi};
}

std::optional<Point> merc_inverse(const Projection& p, double x, double y) {
  const double ak = p.ellipsoid.a * p.k_0;
  const double t = std::exp(-(y - p.y_0) / ak);
  double phi;
  if (p.sphere) {
    phi = HALF_PI - 2 * std::atan(t);
  } else {
    phi = inverse_conformal_latitude(p.ellipsoid.e, t);
    if (phi == ICL_FAILED) return std::nullopt;
  }
  return Point{wrap_longitude((x - p.x_0) / ak + p.lon_0), phi};
}

std::optional<Point> somerc_inverse(const Projection& p, double x, double y) {
  const double X = (x - p.x_0) / p.radius, Y = (y - p.y_0) / p.radius;
  const double e = p.ellipsoid.e;
  const double b = 2 * (std::atan(std::exp(Y)) - QUARTER_PI);
  const double bp =
      std::asin(std::cos(p.b0) * std::sin(b) + std::sin(p.b0) * std::cos(b) * std::cos(X));
  const double lp =
      std::atan(std::sin(X) / (std::cos(X) * std::cos(p.b0) - std::tan(b) * std::sin(p.b0)));
  const double lam = lp / p.alpha + p.lon_0;
  const double S = (std::log(std::tan(QUARTER_PI + bp / 2)) - p.k) / p.alpha;
  double phi = bp;
  for (int i = 0; i < 20; ++i) {
    const double next =
        2 * std::atan(std::exp(
                S + e * std::log(std::tan(QUARTER_PI + std::asin(e * std::sin(phi)) / 2)))) -
        HALF_PI;
    if (std::fabs(next - phi) <= 1e-7) return Point{lam, next};
    phi = next;
  }
  return std::nullopt;
}

Point tmerc_inverse(const Projection& p, double x, double y) {
  const double x1 = (x - p.x_0) / p.ellipsoid.a, y1 = (y - p.y_0) / p.ellipsoid.a;
  const double es = p.ellipsoid.es;
  if (es == 0) {
    const double h = std::exp(x1 / p.k_0);
    const double g = (h - 1 / h) / 2;
    const double D = std::cos(y1 / p.k_0 + p.lat_0);
    double phi = std::asin(std::sqrt((1 - D * D) / (1 + g * g)));
    if (y1 < 0) phi = -phi;
    const double lam = g == 0 && D == 0 ? 0 : wrap_longitude(std::atan2(g, D) + p.lon_0);
    return {lam, phi};
  }
  // Footpoint latitude: Newton steps on the meridian distance.
  const double arg = p.ml0 + y1 / p.k_0;
  double phi = arg;
  for (int i = 0; i < 20; ++i) {
    const double s = std::sin(phi);
    const double T = 1 - es * s * s;
    const double delta = (meridian_distance(p.en, phi) - arg) * T * std::sqrt(T) / (1 - es);
    phi -= delta;
    if (std::fabs(delta) < EPS10) break;
  }
  if (std::fabs(phi) >= HALF_PI) return {0, y1 < 0 ? -HALF_PI : HALF_PI};
  const double s = std::sin(phi), c = std::cos(phi);
  const double t = std::fabs(c) > EPS10 ? std::tan(phi) : 0;
  const double T = t * t, eta = p.ellipsoid.ep2 * c * c;
  const double w = 1 - es * s * s;
  const double d = x1 * std::sqrt(w) / p.k_0, D = d * d;
  phi -= (t * w * D / (1 - es)) / 2 *
         (1 - D / 12 *
                  (5 + 3 * T + eta - 4 * eta * eta - 9 * eta * T -
                   D / 30 *
                       (61 + 90 * T + 46 * eta + 45 * T * T - 252 * eta * T -
                        D / 56 * (1385 + 3633 * T + 4095 * T * T + 1574 * T * T * T))));
  const double lam = wrap_longitude(
      p.lon_0 + d *
                    (1 - D / 6 *
                             (1 + 2 * T + eta -
                              D / 20 *
                                  (5 + 28 * T + 24 * T * T + 8 * eta * T + 6 * eta -
                                   D / 42 * (61 + 662 * T + 1320 * T * T + 720 * T * T * T)))) /
                    c);
  return {lam, phi};
}

Point etmerc_inverse(const Projection& p, double x, double y) {
  double Ce = (x - p.x_0) / p.ellipsoid.a / p.norm_radius;
  if (std::fabs(Ce) > ETMERC_CE_BOUND) return {INF, INF};
  double Cn = ((y - p.y_0) / p.ellipsoid.a - p.origin_northing) / p.norm_radius;
  const auto [dCn, dCe] = clenshaw_complex(p.grid_to_sphere, 2 * Cn, 2 * Ce);
  Cn += dCn;
  Ce += dCe;
  const double exp_Ce = std::exp(Ce);
  Ce = std::atan((exp_Ce - 1 / exp_Ce) / 2);
  const double sin_Cn = std::sin(Cn), cos_Cn = std::cos(Cn);
  const double sin_Ce = std::sin(Ce), cos_Ce = std::cos(Ce);
  const double lam = wrap_longitude(std::atan2(sin_Ce, cos_Ce * cos_Cn) + p.lon_0);
  const double phi = clenshaw_real(
      p.gauss_to_geodetic, std::atan2(sin_Cn * cos_Ce, series_hypot(sin_Ce, cos_Ce * cos_Cn)));
  return {lam, phi};
}

// ---- Forward branches: (λ, φ) in radians to grid ----

std::optional<Point> lcc_forward(const Projection& p, double lam, double phi) {
  if (std::fabs(2 * std::fabs(phi) - PI) <= EPS10) phi = std::copysign(1.5707963265948965, phi);
  double rho;
  if (std::fabs(std::fabs(phi) - HALF_PI) <= EPS10) {
    if (phi * p.n <= 0) return std::nullopt;
    rho = 0;
  } else {
    rho = p.ellipsoid.a * p.c * std::pow(conformal_t(phi, p.ellipsoid.e), p.n);
  }
  const double theta = p.n * wrap_longitude(lam - p.lon_0);
  return Point{p.k_0 * rho * std::sin(theta) + p.x_0,
               p.k_0 * (p.rho0 - rho * std::cos(theta)) + p.y_0};
}

std::optional<Point> merc_forward(const Projection& p, double lam, double phi) {
  if (std::fabs(std::fabs(phi) - HALF_PI) <= EPS10) return std::nullopt;
  const double ak = p.ellipsoid.a * p.k_0;
  const double x = ak * wrap_longitude(lam - p.lon_0) + p.x_0;
  const double y = p.sphere ? ak * std::log(std::tan(QUARTER_PI + phi / 2)) + p.y_0
                            : p.y_0 - ak * std::log(conformal_t(phi, p.ellipsoid.e));
  return Point{x, y};
}

Point somerc_forward(const Projection& p, double lam, double phi) {
  const double e = p.ellipsoid.e, es_phi = e * std::sin(phi);
  const double b =
      2 * (std::atan(std::exp(p.k - p.alpha * (std::log(std::tan(QUARTER_PI - phi / 2)) +
                                               e / 2 * std::log((1 + es_phi) / (1 - es_phi))))) -
           QUARTER_PI);
  const double l = p.alpha * (lam - p.lon_0);
  const double lp =
      std::atan(std::sin(l) / (std::cos(p.b0) * std::cos(l) + std::tan(b) * std::sin(p.b0)));
  const double bp =
      std::asin(std::cos(p.b0) * std::sin(b) - std::sin(p.b0) * std::cos(b) * std::cos(l));
  return {p.radius * lp + p.x_0,
          p.radius / 2 * std::log((1 + std::sin(bp)) / (1 - std::sin(bp))) + p.y_0};
}

std::optional<Point> tmerc_forward(const Projection& p, double lam, double phi) {
  const double lamp = wrap_longitude(lam - p.lon_0);
  const double a = p.ellipsoid.a, es = p.ellipsoid.es, ak = a * p.k_0;
  if (es == 0) {
    const double B = std::cos(phi) * std::sin(lamp);
    if (std::fabs(std::fabs(B) - 1) < EPS10) return std::nullopt;
    const double x = ak / 2 * std::log((1 + B) / (1 - B)) + p.x_0;
    const double C = std::cos(phi) * std::cos(lamp) / std::sqrt(1 - B * B);
    double M;
    if (std::fabs(C) >= 1) {
      if (std::fabs(C) - 1 > EPS10) return std::nullopt;
      M = 0;
    } else {
      M = std::acos(C);
    }
    if (phi < 0) M = -M;
    return Point{x, ak * (M - p.lat_0) + p.y_0};
  }
  const double s = std::sin(phi), c = std::cos(phi);
  const double T = std::fabs(c) > EPS10 ? std::tan(phi) * std::tan(phi) : 0;
  const double eta = p.ellipsoid.ep2 * c * c;
  const double L = c * lamp, A = L * L;
  const double l = L / std::sqrt(1 - es * s * s);
  const double x = ak * l *
                       (1 + A / 6 *
                                (1 - T + eta +
                                 A / 20 *
                                     (5 - 18 * T + T * T + 14 * eta - 58 * eta * T +
                                      A / 42 * (61 - 479 * T + 179 * T * T - T * T * T)))) +
                   p.x_0;
  const double y =
      ak * (meridian_distance(p.en, phi) - p.ml0 +
            s * l * lamp / 2 *
                (1 + A / 12 *
                         (5 - T + 9 * eta + 4 * eta * eta +
                          A / 30 *
                              (61 - 58 * T + T * T + 270 * eta - 330 * eta * T +
                               A / 56 * (1385 - 3111 * T + 543 * T * T - T * T * T))))) +
      p.y_0;
  return Point{x, y};
}

Point etmerc_forward(const Projection& p, double lam, double phi) {
  const double lamp = wrap_longitude(lam - p.lon_0);
  double Cn = clenshaw_real(p.geodetic_to_gauss, phi);
  const double sin_Cn = std::sin(Cn), cos_Cn = std::cos(Cn);
  const double sin_Ce = std::sin(lamp), cos_Ce = std::cos(lamp);
  Cn = std::atan2(sin_Cn, cos_Ce * cos_Cn);
  double Ce = std::atan2(sin_Ce * cos_Cn, series_hypot(sin_Cn, cos_Cn * cos_Ce));
  // asinh(tan Ce), in the form that keeps its accuracy near zero.
  const double w = std::fabs(std::tan(Ce));
  Ce = std::copysign(std::log(1 + w * (1 + w / (series_hypot(1, w) + 1))), std::tan(Ce));
  const auto [dCn, dCe] = clenshaw_complex(p.sphere_to_grid, 2 * Cn, 2 * Ce);
  Cn += dCn;
  Ce += dCe;
  if (std::fabs(Ce) > ETMERC_CE_BOUND) return {INF, INF};
  const double a = p.ellipsoid.a;
  return {p.norm_radius * Ce * a + p.x_0, (p.norm_radius * Cn + p.origin_northing) * a + p.y_0};
}

}  // namespace

double wrap_longitude(double lam) {
  if (std::fabs(lam) > WRAP_BOUND) lam += lam >= 0 ? -TWO_PI : TWO_PI;
  return lam;
}

double inverse_conformal_latitude(double e, double t) {
  double phi = HALF_PI - 2 * std::atan(t);
  for (int i = 0; i < 16; ++i) {
    const double es_phi = e * std::sin(phi);
    const double delta =
        HALF_PI - 2 * std::atan(t * std::pow((1 - es_phi) / (1 + es_phi), e / 2)) - phi;
    phi += delta;
    if (std::fabs(delta) <= EPS10) return phi;
  }
  return ICL_FAILED;
}

std::pair<double, double> clenshaw_complex(const std::array<double, 6>& c, double u, double v) {
  const double sin_u = std::sin(u), cos_u = std::cos(u);
  const double sinh_v = std::sinh(v), cosh_v = std::cosh(v);
  const double r = 2 * cos_u * cosh_v, i = -2 * sin_u * sinh_v;
  double hr = c[5], hi = 0, hr1 = 0, hi1 = 0;
  for (int k = 4; k >= 0; --k) {
    const double next_r = r * hr - hr1 - i * hi + c[k];
    const double next_i = r * hi - hi1 + i * hr;
    hr1 = hr;
    hi1 = hi;
    hr = next_r;
    hi = next_i;
  }
  const double sr = sin_u * cosh_v, si = cos_u * sinh_v;
  return {sr * hr - si * hi, sr * hi + si * hr};
}

Point stere_forward(const Projection& p, double lam, double phi) {
  const double lampp = lam - p.lon_0;  // λ'', unwrapped: the polar aspect uses it as is
  const double lamp = wrap_longitude(lampp);
  // The antipode of the centre has no image; when the centre is a pole, that
  // is the opposite pole at every longitude (the formulas would give round-off
  // of infinity there, some 1e23 m).
  const bool polar = std::fabs(p.cos_phi0) <= EPS10;
  if (std::fabs(p.lat_0 + phi) <= EPS10 && (polar || std::fabs(std::fabs(lampp) - PI) <= EPS10)) {
    return {std::nan(""), std::nan("")};
  }
  const double a = p.ellipsoid.a;
  const double sin_phi = std::sin(phi), cos_phi = std::cos(phi);
  const double sin_lamp = std::sin(lamp), cos_lamp = std::cos(lamp);
  if (p.sphere) {
    const double A = 2 * p.k_0 * a / (1 + p.sin_phi0 * sin_phi + p.cos_phi0 * cos_phi * cos_lamp);
    return {A * cos_phi * sin_lamp + p.x_0,
            A * (p.cos_phi0 * sin_phi - p.sin_phi0 * cos_phi * cos_lamp) + p.y_0};
  }
  const double e = p.ellipsoid.e, es_phi = e * sin_phi;
  if (std::fabs(p.cos_phi0) <= EPS10) {
    const double s = p.pole_sign;
    const double rho = 2 * a * p.k_0 * conformal_t(s * phi, e) / p.con;
    return {rho * std::sin(lampp) + p.x_0, p.y_0 - s * rho * std::cos(lampp)};
  }
  const double chi =
      2 * std::atan(std::tan((HALF_PI + phi) / 2) * std::pow((1 - es_phi) / (1 + es_phi), e / 2)) -
      HALF_PI;
  const double sin_chi = std::sin(chi), cos_chi = std::cos(chi);
  if (std::fabs(p.sin_phi0) < EPS10) {
    const double A = 2 * a * p.k_0 / (1 + cos_chi * cos_lamp);
    return {A * cos_chi * sin_lamp + p.x_0, A * sin_chi + p.y_0};
  }
  const double A = 2 * a * p.k_0 * p.m0 /
                   (p.cos_chi0 * (1 + p.sin_chi0 * sin_chi + p.cos_chi0 * cos_chi * cos_lamp));
  return {A * cos_chi * sin_lamp + p.x_0,
          A * (p.cos_chi0 * sin_chi - p.sin_chi0 * cos_chi * cos_lamp) + p.y_0};
}

std::optional<Point> stere_inverse(const Projection& p, double x, double y) {
  const double x1 = x - p.x_0, y1 = y - p.y_0;
  const double rho = std::sqrt(x1 * x1 + y1 * y1);
  const double a = p.ellipsoid.a;
  if (p.sphere) {
    if (rho <= EPS10) return Point{p.lon_0, p.lat_0};
    const double c = 2 * std::atan(rho / (2 * a * p.k_0));
    const double sin_c = std::sin(c), cos_c = std::cos(c);
    const double phi = std::asin(cos_c * p.sin_phi0 + y1 * sin_c * p.cos_phi0 / rho);
    double lam;
    if (std::fabs(p.cos_phi0) < EPS10) {
      lam = wrap_longitude(p.lon_0 + (p.lat_0 > 0 ? std::atan2(x1, -y1) : std::atan2(x1, y1)));
    } else {
      lam = wrap_longitude(
          p.lon_0 + std::atan2(x1 * sin_c, rho * p.cos_phi0 * cos_c - y1 * p.sin_phi0 * sin_c));
    }
    return Point{lam, phi};
  }
  const double e = p.ellipsoid.e;
  if (std::fabs(p.cos_phi0) <= EPS10) {
    if (rho <= EPS10) return Point{p.lon_0, p.lat_0};
    const double s = p.pole_sign;
    const double phic = inverse_conformal_latitude(e, rho * p.con / (2 * a * p.k_0));
    if (phic == ICL_FAILED) return std::nullopt;
    return Point{s * wrap_longitude(std::atan2(s * x1, -s * y1) + s * p.lon_0), s * phic};
  }
  const double c = std::atan(rho * p.cos_chi0 / (2 * a * p.k_0 * p.m0));
  double lam, chi;
  if (rho <= EPS10) {
    lam = p.lon_0;
    chi = p.chi0;
  } else {
    const double sin_2c = std::sin(2 * c), cos_2c = std::cos(2 * c);
    chi = std::asin(cos_2c * p.sin_chi0 + y1 * sin_2c * p.cos_chi0 / rho);
    lam = wrap_longitude(
        std::atan2(x1 * sin_2c, rho * p.cos_chi0 * cos_2c - y1 * p.sin_chi0 * sin_2c) + p.lon_0);
  }
  const double phi = inverse_conformal_latitude(e, std::tan((chi + HALF_PI) / 2));
  if (phi == ICL_FAILED) return std::nullopt;
  return Point{lam, -phi};
}

void set_up_projection(Projection& p) {
  const std::string& name = p.proj;
  if (name == "lcc") {
    set_up_lcc(p);
  } else if (name == "merc") {
    set_up_merc(p);
  } else if (name == "tmerc") {
    set_up_tmerc(p);
  } else if (name == "etmerc") {
    set_up_etmerc(p);
  } else if (name == "somerc") {
    set_up_somerc(p);
  } else if (name == "stere") {
    set_up_stere(p);
  }
}

std::optional<Point> inverse_projection(const Projection& p, double x, double y) {
  const std::string& name = p.proj;
  if (name == "longlat") return Point{x * RADIANS_PER_DEGREE, y * RADIANS_PER_DEGREE};
  if (name == "lcc") return lcc_inverse(p, x, y);
  if (name == "tmerc") return tmerc_inverse(p, x, y);
  if (name == "etmerc") return etmerc_inverse(p, x, y);
  if (name == "merc") return merc_inverse(p, x, y);
  if (name == "stere") return stere_inverse(p, x, y);
  if (name == "somerc") return somerc_inverse(p, x, y);
  return Point{x, y};  // an unknown projection passes radians through
}

std::optional<Point> forward_projection(const Projection& p, double lam, double phi) {
  const std::string& name = p.proj;
  if (name == "longlat") return Point{lam * DEGREES_PER_RADIAN, phi * DEGREES_PER_RADIAN};
  if (name == "lcc") return lcc_forward(p, lam, phi);
  if (name == "tmerc") return tmerc_forward(p, lam, phi);
  if (name == "etmerc") return etmerc_forward(p, lam, phi);
  if (name == "merc") return merc_forward(p, lam, phi);
  if (name == "stere") return stere_forward(p, lam, phi);
  if (name == "somerc") return somerc_forward(p, lam, phi);
  return Point{lam, phi};
}

Geocentric geodetic_to_geocentric(double a, double es, double lam, double phi) {
  constexpr double POLE_SLACK = 1.5723671231216914;  // 1.001 π/2
  if (phi < -HALF_PI && phi > -POLE_SLACK) {
    phi = -HALF_PI;
  } else if (phi > HALF_PI && phi < POLE_SLACK) {
    phi = HALF_PI;
  } else if (phi < -HALF_PI || phi > HALF_PI) {
    const double inf = phi > 0 ? INF : -INF;
    return {inf, inf, 0};
  }
  if (lam > PI) lam -= TWO_PI;
  const double sin_phi = std::sin(phi), cos_phi = std::cos(phi);
  const double N = a / std::sqrt(1 - es * sin_phi * sin_phi);  // prime-vertical radius
  return {N * cos_phi * std::cos(lam), N * cos_phi * std::sin(lam), N * (1 - es) * sin_phi};
}

Point geocentric_to_geodetic(double a, double es, const Geocentric& g) {
  const double P = std::sqrt(g.X * g.X + g.Y * g.Y);
  const double R = std::sqrt(g.X * g.X + g.Y * g.Y + g.Z * g.Z);
  const double lam = P / a < 1e-12 ? 0 : std::atan2(g.Y, g.X);
  // The centre of the Earth has no latitude; call it the north pole rather
  // than dividing by zero.
  if (R / a < 1e-12) return {lam, HALF_PI};
  const double CT = g.Z / R, ST = P / R;
  double RX = 1 / std::sqrt(1 - es * (2 - es) * ST * ST);
  double C0 = ST * (1 - es) * RX, S0 = CT * RX;
  double C = C0, S = S0;
  for (int i = 0; i < 30; ++i) {
    const double RN = a / std::sqrt(1 - es * S0 * S0);
    const double H = P * C0 + g.Z * S0 - RN * (1 - es * S0 * S0);
    const double RK = es * RN / (RN + H);
    RX = 1 / std::sqrt(1 - RK * (2 - RK) * ST * ST);
    C = ST * (1 - RK) * RX;
    S = CT * RX;
    const double D = S * C0 - C * S0;
    C0 = C;
    S0 = S;
    if (D * D <= 1e-24) break;
  }
  return {lam, std::atan(S / std::fabs(C))};
}

}  // namespace pelloriand::tools::crs
