#pragma once

#include "app/cli.h"

namespace vna::app {

// The pictures of vna-cli plot through Qt: a PNG from an offscreen image, an SVG from Qt's SVG
// generator. Needs a QGuiApplication (on the offscreen platform when there is no display).
PlotImageWriter QtPlotImageWriter();

} // namespace vna::app
