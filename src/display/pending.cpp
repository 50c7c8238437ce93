#include "display/pending.h"

namespace vna::display {

void DrawMarkers(core::Program&) {}

void MarkerCommand(core::Program&, int) {}

void MarkerAtMouse(core::Program&, int, int) {}

void CursorToMouse(core::Program&, int, int) {}

void SelectCursor(core::Program&, int) {}

void CursorStep(core::Program&, int) {}

void ShowSmithChart(core::Program&) {}

void RotateSmithChart(core::Program&) {}

void ShowPolarPlot(core::Program&, int) {}

void TransmissionLineZDialog(core::Program&) {}

void AntennaBandwidth(core::Program&) {}

void RulersDialog(core::Program&) {}

void FilterBandwidth(core::Program&) {}

} // namespace vna::display
