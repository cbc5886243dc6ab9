// GEOS, through its reentrant C API, for the geometry tool's buffer and
// intersection. Tool calls run on several threads at once, so every call
// opens its own context handle; GEOS keeps no other state between calls.
#pragma once

#include <geos_c.h>

#include <memory>
#include <string>
#include <vector>

#include "tools/geom.h"

namespace pelloriand::tools::geom {

// One GEOS context for the length of one operation. GEOS reports failures
// through the context's message handler and a null (or exception) return;
// `own` turns a null into the operation's GeomError with `failure`.
class Geos {
 public:
  Geos();
  ~Geos();
  Geos(const Geos&) = delete;
  Geos& operator=(const Geos&) = delete;

  struct Deleter {
    GEOSContextHandle_t handle;
    void operator()(GEOSGeometry* g) const { GEOSGeom_destroy_r(handle, g); }
  };
  using Owned = std::unique_ptr<GEOSGeometry, Deleter>;

  [[nodiscard]] GEOSContextHandle_t handle() const { return handle_; }
  // Takes ownership of `g`; throws GeomError{failure} when it is null.
  [[nodiscard]] Owned own(GEOSGeometry* g) const;
  // Owns every geometry of `parts` as one collection of `type`.
  [[nodiscard]] Owned collection(int type, std::vector<Owned> parts) const;

  // A closed ring of at least four points: GEOS takes nothing shorter, so a
  // ring of fewer positions is padded with its last one (it has no area).
  [[nodiscard]] Owned linear_ring(const PointList& ring) const;
  [[nodiscard]] Owned polygon(const std::vector<PointList>& rings) const;
  // A polygon of one ring and no holes.
  [[nodiscard]] Owned polygon(const PointList& shell) const;

  // The polygons of a result (a Polygon, a MultiPolygon or a collection
  // holding them beside lines and points), each as rings: exterior first.
  void polygons_of(const GEOSGeometry* g, std::vector<std::vector<PointList>>& out) const;

  std::string failure = "The polygon library could not handle this geometry";

 private:
  [[nodiscard]] PointList ring_points(const GEOSGeometry* ring) const;

  GEOSContextHandle_t handle_;
};

}  // namespace pelloriand::tools::geom
