#include "display/graph_geometry.h"

#include "core/program.h"

namespace vna::display {

void ComputeGraphGeometry(core::Program& p) {
    (void)p;
}

void RedrawGraph(core::Program& p) {
    (void)p;
}

void ScreenGeometryDiagnostic(core::Program& p) {
    (void)p;
}

} // namespace vna::display
