// The GEOS context and the conversions between the tool's point lists and
// GEOS geometries (see geom_geos.h).
#include "tools/geom_geos.h"

#include <new>

namespace pelloriand::tools::geom {
namespace {

// GEOS hands errors to this handler before it returns null; the text is for
// developers (it names GEOS internals), so it is dropped and the operation's
// own sentence is shown instead.
void ignore_message(const char* /*message*/, void* /*user*/) {}

}  // namespace

Geos::Geos() : handle_(GEOS_init_r()) {
  if (handle_ == nullptr) throw std::bad_alloc();
  GEOSContext_setErrorMessageHandler_r(handle_, ignore_message, nullptr);
}

Geos::~Geos() {
  GEOS_finish_r(handle_);
}

Geos::Owned Geos::own(GEOSGeometry* g) const {
  if (g == nullptr) throw GeomError{failure};
  return Owned(g, Deleter{handle_});
}

Geos::Owned Geos::collection(int type, std::vector<Owned> parts) const {
  std::vector<GEOSGeometry*> raw;
  raw.reserve(parts.size());
  for (Owned& part : parts) raw.push_back(part.release());
  GEOSGeometry* g =
      GEOSGeom_createCollection_r(handle_, type, raw.data(), static_cast<unsigned>(raw.size()));
  if (g == nullptr)
    for (GEOSGeometry* part : raw) GEOSGeom_destroy_r(handle_, part);
  return own(g);
}

Geos::Owned Geos::linear_ring(const PointList& ring) const {
  std::vector<double> xy;
  xy.reserve(2 * (ring.size() + 4));
  const auto append = [&xy](Point p) {
    xy.push_back(p.x);
    xy.push_back(p.y);
  };
  for (const Point& p : ring) append(p);
  if (!ring.empty()) {
    if (ring.front().x != ring.back().x || ring.front().y != ring.back().y) append(ring.front());
    while (xy.size() < 8) append({xy[xy.size() - 2], xy.back()});
  }
  GEOSCoordSequence* sequence =
      GEOSCoordSeq_copyFromBuffer_r(handle_, xy.data(), static_cast<unsigned>(xy.size() / 2), 0, 0);
  if (sequence == nullptr) throw GeomError{failure};
  return own(GEOSGeom_createLinearRing_r(handle_, sequence));
}

Geos::Owned Geos::polygon(const std::vector<PointList>& rings) const {
  if (rings.empty()) return own(GEOSGeom_createEmptyPolygon_r(handle_));
  Owned shell = linear_ring(rings.front());
  std::vector<Owned> holes;
  holes.reserve(rings.size() - 1);
  for (std::size_t i = 1; i < rings.size(); ++i) holes.push_back(linear_ring(rings[i]));
  std::vector<GEOSGeometry*> raw;
  raw.reserve(holes.size());
  for (Owned& hole : holes) raw.push_back(hole.release());
  GEOSGeometry* g = GEOSGeom_createPolygon_r(handle_, shell.release(), raw.data(),
                                             static_cast<unsigned>(raw.size()));
  return own(g);
}

Geos::Owned Geos::polygon(const PointList& shell) const {
  return own(GEOSGeom_createPolygon_r(handle_, linear_ring(shell).release(), nullptr, 0));
}

PointList Geos::ring_points(const GEOSGeometry* ring) const {
  const GEOSCoordSequence* sequence = GEOSGeom_getCoordSeq_r(handle_, ring);
  unsigned size = 0;
  if (sequence == nullptr || GEOSCoordSeq_getSize_r(handle_, sequence, &size) == 0)
    throw GeomError{failure};
  std::vector<double> xy(2 * static_cast<std::size_t>(size));
  if (size > 0 && GEOSCoordSeq_copyToBuffer_r(handle_, sequence, xy.data(), 0, 0) == 0)
    throw GeomError{failure};
  PointList out(size);
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = {xy[2 * i], xy[2 * i + 1]};
  return out;
}

void Geos::polygons_of(const GEOSGeometry* g, std::vector<std::vector<PointList>>& out) const {
  const int type = GEOSGeomTypeId_r(handle_, g);
  if (type == GEOS_POLYGON) {
    if (GEOSisEmpty_r(handle_, g) == 1) return;
    std::vector<PointList> rings;
    rings.push_back(ring_points(GEOSGetExteriorRing_r(handle_, g)));
    const int holes = GEOSGetNumInteriorRings_r(handle_, g);
    for (int i = 0; i < holes; ++i)
      rings.push_back(ring_points(GEOSGetInteriorRingN_r(handle_, g, i)));
    out.push_back(std::move(rings));
  } else if (type == GEOS_MULTIPOLYGON || type == GEOS_GEOMETRYCOLLECTION) {
    const int n = GEOSGetNumGeometries_r(handle_, g);
    for (int i = 0; i < n; ++i) polygons_of(GEOSGetGeometryN_r(handle_, g, i), out);
  }
}

}  // namespace pelloriand::tools::geom
