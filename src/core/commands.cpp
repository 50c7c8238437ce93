#include "core/commands.h"

#include "core/diagnostics.h"
#include "core/program.h"

namespace vna::core {

namespace {

void KeyDown(Program& p, int key) {
    AppState& st = p.st;
    st.KeyHeld = 1;
    if (key == platform::key::Control) {
        st.CtrlHeld = 1;
    } else if (key == platform::key::Shift) {
        st.ShiftHeld = 1;
    }
    if (key >= 0x20 && key < 0x7f) {
        FeedKeyCode(p, static_cast<char>(key));
    }
    if (st.SweepRunning) {
        // A key press stops the running sweep and is not a command itself.
        st.SweepRunning = 0;
        return;
    }
    switch (key) {
        case 'Q':
            st.ProgramRunning = 0;
            break;
        default:
            break;
    }
}

} // namespace

void Quit(Program& p) {
    p.ui.closeSecondaryWindows();
    p.st.SweepRunning = 0;
    p.st.ProgramRunning = 0;
    p.st.QuitRequested = 1;
}

void MainWindowEvent(Program& p, const platform::Event& event) {
    using platform::EventType;
    switch (event.type) {
        case EventType::CloseRequest:
            Quit(p);
            break;
        case EventType::KeyDown:
            KeyDown(p, event.key);
            break;
        case EventType::KeyUp:
        case EventType::Char:
            p.st.KeyHeld = 0;
            p.st.CtrlHeld = 0;
            p.st.ShiftHeld = 0;
            break;
        case EventType::LeftDown:
        case EventType::RightDown:
            // A click stops a running sweep.
            p.st.SweepRunning = 0;
            break;
        default:
            break;
    }
}

} // namespace vna::core
