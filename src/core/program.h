#pragma once

#include <memory>

#include "core/app_state.h"
#include "core/cal_table.h"
#include "core/chart_state.h"
#include "core/display_state.h"
#include "core/interpolated_cal.h"
#include "core/link_monitor.h"
#include "core/scan_arrays.h"
#include "platform/clock.h"
#include "platform/registry.h"
#include "platform/serial_port.h"
#include "platform/sound.h"
#include "platform/ui.h"

namespace vna::core {

// The platform services one run of the program uses.
struct Platform {
    platform::Ui& ui;
    platform::Clock& clock;
    platform::SerialPort& serial;
    platform::Registry& registry;
    platform::Sound& sound;
};

// Everything one run of the program owns: the state record, the further program-wide records of
// the subsystems, and the platform ports through which it reaches the outside world. There is one
// instance per run (tests make their own, with fakes behind the ports). It is large because the
// subsystems keep fixed-capacity arrays, so it lives on the heap.
struct Program {
    explicit Program(const Platform& platform)
        : ui(platform.ui), clock(platform.clock), serial(platform.serial), registry(platform.registry),
          sound(platform.sound) {}
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    AppState st;
    // The subsystems' program-wide records, one instance each.
    core::ScanArrays scan;
    core::ScanPoint point;
    core::DisplayState display;
    core::CalTable cal;
    core::InterpolatedCal ip;
    core::ChartPointsTable chartPoints;
    core::ChartWindows charts;
    core::TdrTrace tdr;

    platform::Ui& ui;
    platform::Clock& clock;
    platform::SerialPort& serial;
    platform::Registry& registry;
    platform::Sound& sound;

    // Who watches the exchanges with the instrument (the diagnostic monitor), when anyone does.
    std::unique_ptr<LinkMonitor> linkMonitor;
};

} // namespace vna::core
