// The coordinate family's shared helpers: reading numbers and latitude/longitude
// pairs out of free text, printing an angle as degrees-minutes-seconds, and the
// UTM / MGRS grid arithmetic on the WGS84 ellipsoid. The tools themselves (dms,
// geohash, mercator, geodesic in geo.cpp; utm, mgrs in utm.cpp; pluscode in
// pluscode.cpp) are reached only through their entries in entries.h; the
// geometry tool measures in the UTM frame these grid helpers define.
//
// Everything here is a pure function of its arguments: no state, no throwing.
// Text is UTF-8 and every position is a byte offset on a character boundary.
// White space means the Unicode White_Space property (text::is_white_space).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelloriand::tools::geo {

// ---------------------------------------------------------------------------
// Coordinate text
// ---------------------------------------------------------------------------

// A number read by scan_number: its value and the byte just past its text.
struct NumberScan {
  double value = 0;
  std::size_t end = 0;
};

// A point in decimal degrees; south and west are negative.
struct LatLng {
  double latitude = 0;   // (degrees)
  double longitude = 0;  // (degrees)
};

// scan_number
//
// Reads one signed decimal number that starts exactly at `start`: an optional
// "+" or "-", one or more ASCII digits, then a "." and more digits only when a
// digit follows the ".". No exponent, no leading ".", no grouping. The value is
// correctly rounded; a run of several hundred digits is infinity. Returns
// nothing when no digit follows the optional sign.
//
// Example:
//   scan_number("x-12.5.3", 1) == {-12.5, 6};  scan_number("1e5", 0) == {1, 1}
[[nodiscard]] std::optional<NumberScan> scan_number(std::string_view text, std::size_t start);

// collect_numbers
//
// Every number scan_number finds, left to right, resuming after each one and
// stepping one byte where none starts.
//
// Example:
//   collect_numbers("1-2 N3 12,5") == {1, -2, 3, 12, 5}
[[nodiscard]] std::vector<double> collect_numbers(std::string_view text);

// split_after_letters
//
// Cuts `text` at every character in `letters` (the separators belong to no
// piece; empty pieces are kept, so k separators give k + 1 pieces) and returns
// collect_numbers of each piece in text order. At most `max_pieces` pieces are
// produced; a caller that needs only the first few passes that count so a text
// of millions of separators costs nothing.
//
// Example:
//   split_after_letters("38 53 N 77 2 W", U"NSEW") == {{38, 53}, {77, 2}, {}}
[[nodiscard]] std::vector<std::vector<double>> split_after_letters(
    std::string_view text, std::u32string_view letters, std::size_t max_pieces = SIZE_MAX);

// parse_coordinates
//
// Finds the first "latitude longitude" pair in the trimmed text: two numbers
// separated by optional white space, an optional "°", an optional N/S letter
// and at least one white space, "," or ";"; after the second number an
// optional "°" and an E/W letter. S and W make their value negative. The first
// acceptable pair ends the search; when it is out of range (|latitude| > 90 or
// |longitude| > 180) the result is nothing. Runs in time linear in the text.
//
// Example:
//   parse_coordinates("40.7128° N, 74.0060° W") == {40.7128, -74.006}
//   parse_coordinates("12-34") == nothing
[[nodiscard]] std::optional<LatLng> parse_coordinates(std::string_view text);

// format_dms
//
// Prints an angle (degrees) as degrees, two-digit minutes and seconds with one
// decimal, then N/S (latitude) or E/W (longitude); carries ripple up.
//
// Example:
//   format_dms(-77.0455556, false) == "77°02′44.0″W"
[[nodiscard]] std::string format_dms(double value, bool is_latitude);

// The range error the coordinate tools share when a pair is read from numbers.
inline constexpr std::string_view LAT_LNG_RANGE_ERROR =
    "Latitude must be within ±90°, longitude within ±180°";

// ---------------------------------------------------------------------------
// UTM and MGRS grid (WGS84)
// ---------------------------------------------------------------------------
//
// Series after Snyder (1987), "Map Projections: A Working Manual", USGS
// Professional Paper 1395, pp. 60-64, with the coefficients folded for WGS84.
// Within a zone (and the widened Norway/Svalbard zones) the forward and inverse
// agree to well below a millimetre; far outside a zone the series diverge and
// no range check is applied: callers check ranges themselves.

// UTM coordinates in metres. Northings below the equator carry the 10,000 km
// false northing.
struct UtmCoordinates {
  double easting = 0;   // (meters)
  double northing = 0;  // (meters)
};

// Letter tables of the grid: 8° latitude bands from 80°S (X runs 72° to 84°),
// the three 100 km column sets chosen by (zone - 1) mod 3, and the 20 row
// letters that repeat every 2,000 km of northing.
inline constexpr std::string_view MGRS_BAND_LETTERS = "CDEFGHJKLMNPQRSTUVWX";
inline constexpr std::string_view MGRS_COLUMN_SETS[3] = {"ABCDEFGH", "JKLMNPQR", "STUVWXYZ"};
inline constexpr std::string_view MGRS_ROW_LETTERS = "ABCDEFGHJKLMNPQRSTUV";

// Index of the first northern band (N) in MGRS_BAND_LETTERS.
inline constexpr std::size_t MGRS_FIRST_NORTHERN_BAND = 10;

// The one failure of the grid helpers, as mgrs_band's callers report it.
inline constexpr std::string_view MGRS_RANGE_ERROR = "Outside the MGRS latitude range (80°S–84°N)";

// utm_zone
//
// The zone (1 to 60) of a point, longitude first: 6° zones from 180°W, with
// zone 32 widened over southern Norway (56° to 64°N, 3° to 12°E) and the four
// Svalbard zones 31, 33, 35, 37 from 72° to 84°N. Longitude exactly 180 belongs
// to zone 60 (the zone whose eastern edge it is). Longitudes beyond ±180 give
// the numbers the 6° rule gives (callers check ranges); NaN gives 0.
//
// Example:
//   utm_zone(-77.0365, 38.8977) == 18;  utm_zone(5, 60.5) == 32;  utm_zone(180, 0) == 60
[[nodiscard]] int utm_zone(double longitude, double latitude);

// central_meridian
//
// The central meridian (degrees) of a zone, as an integer sum before any
// rounding.
//
// Example:
//   central_meridian(18) == -75;  central_meridian(60) == 177
[[nodiscard]] double central_meridian(int zone);

// latlon_to_utm
//
// Forward transverse Mercator (k0 0.9996, false easting 500 km, 10,000 km
// added to negative northings) of a point (degrees) in the given zone.
//
// Example:
//   latlon_to_utm(38.8977, -77.0365, 18) ~= {323394, 4307396}
[[nodiscard]] UtmCoordinates latlon_to_utm(double latitude, double longitude, int zone);

// utm_inverse
//
// The point (degrees) of a zone, easting and northing (metres). A northing of
// 10,000,000 or more has the false northing removed; a southern northing may
// also be passed with it already removed, that is negative.
//
// Example:
//   utm_inverse(18, 500000, 10000000) ~= {0, -75}
[[nodiscard]] LatLng utm_inverse(int zone, double easting, double northing);

// mgrs_band
//
// The latitude band letter, C (80°S) to X (72° to 84°N). Nothing outside
// -80 <= latitude < 84 (and for NaN); callers report MGRS_RANGE_ERROR.
//
// Example:
//   mgrs_band(-0.000001) == 'M';  mgrs_band(0) == 'N';  mgrs_band(84) == nothing
[[nodiscard]] std::optional<char> mgrs_band(double latitude);

// The 100 km square of a UTM position.
struct SquareLetters {
  char column = 'A';
  char row = 'A';
};

// mgrs_square_letters
//
// The column and row letters for a zone, easting and northing as
// latlon_to_utm gives them (eastings 100 to 900 km; an easting outside that
// range, which no point of a zone reaches, is held to the nearest column).
//
// Example:
//   mgrs_square_letters(18, 323394, 4307396) == {'U', 'J'}
[[nodiscard]] SquareLetters mgrs_square_letters(int zone, double easting, double northing);

// mgrs_column_easting
//
// The easting (metres) of the west edge of a column letter's square in a
// zone: its 1-based position in the zone's column set × 100 km. Nothing when
// the letter is not in that set.
//
// Example:
//   mgrs_column_easting(18, 'U') == 300000;  mgrs_column_easting(18, 'A') == nothing
[[nodiscard]] std::optional<double> mgrs_column_easting(int zone, char column);

// mgrs_row_northing
//
// The base northing (metres, 0 to 1,900 km) of a row letter's square within
// the 2,000 km cycle of the zone. Nothing when the letter is no row letter.
//
// Example:
//   mgrs_row_northing(18, 'J') == 300000;  mgrs_row_northing(31, 'A') == 0
[[nodiscard]] std::optional<double> mgrs_row_northing(int zone, char row);

}  // namespace pelloriand::tools::geo
