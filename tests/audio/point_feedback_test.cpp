// The audio feedback of the point-data display against the simulated unit: the readings' SWR
// spoken and sounded, the tone button of the window, and what a machine without MIDI shows.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "audio/tone.h"
#include "commands/command_ids.h"
#include "commands/commands.h"
#include "measure/sweep_support.h"
#include "sim/control.h"

using namespace vna;
using test::SimTest;

namespace {

bool Shown(test::SimRig& r, const std::string& text) {
    const auto texts = r.ui.canvas()->texts();
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

platform::Event ClickAt(int x, int y) {
    return platform::Event{platform::EventType::LeftDown, 0, x, y, 0};
}

platform::Event ClickOnToneButton(const core::AppState& st) {
    const auto& b = st.ToneButton;
    return ClickAt((b[0] + b[2]) / 2, (b[1] + b[3]) / 2);
}

std::vector<int> NotesOn(const std::vector<std::uint32_t>& midi) {
    std::vector<int> notes;
    for (const std::uint32_t m : midi) {
        if ((m & 0xF0) == 0x90) {
            notes.push_back(static_cast<int>(m >> 8 & 0x7F));
        }
    }
    return notes;
}

} // namespace

TEST_F(SimTest, PointDataSpeaksAndSoundsItsReadingsAndItsButtonSwitchesTheTone) {
    auto& r = rig();
    // 150 ohm: SWR 3, spoken "three point zero", note 59 with the default tone settings; then the
    // device is changed through the simulator's control channel to 500 ohm (SWR 10, note 74) and
    // to a matched load (SWR 1, note 45) while the readings go on.
    ASSERT_NO_FATAL_FAILURE(test::ReadyToSweep(r, "resistor:r=150"));
    core::AppState& st = r.st();
    st.voice = 1;
    audio::OpenTone(r.p());
    r.sound.midi.clear();
    r.ui.textAnswers.push_back("10");
    const long start = r.serial.unit.state().measurements;
    bool offShown = false;
    bool onShown = false;
    int phase = 0;
    r.ui.onPump = [&](int) {
        const long n = r.serial.unit.state().measurements - start;
        if (phase == 0 && n >= 3) {
            offShown = Shown(r, "Tone On");
            r.sound.midi.clear();
            r.ui.deliver(ClickOnToneButton(st));
            phase = 1;
        } else if (phase == 1 && n >= 6) {
            onShown = Shown(r, "Tone Off");
            ASSERT_TRUE(sim::ApplyControl(r.serial.unit, "dut resistor:r=500", 0).ok);
            phase = 2;
        } else if (phase == 2 && n >= 10) {
            ASSERT_TRUE(sim::ApplyControl(r.serial.unit, "dut load", 0).ok);
            phase = 3;
        } else if (phase == 3 && n >= 14) {
            r.ui.events.push_back(platform::Event{platform::EventType::KeyDown, 'X', 0, 0, 0});
            phase = 4;
        }
    };
    commands::RunCommand(r.p(), commands::cmd::ButtonPointData);
    r.ui.onPump = nullptr;
    ASSERT_EQ(phase, 4) << test::Dialogs(r);
    const long readings = r.serial.unit.state().measurements - start;
    EXPECT_GE(readings, 14) << "the click on the button did not end the readings";
    EXPECT_LT(readings, 18);
    EXPECT_TRUE(offShown) << "the button offers the tone while it is off";
    EXPECT_TRUE(onShown) << "and offers to switch it off while it sounds";
    EXPECT_NEAR(st.CurrentSwr, 1, 0.02);
    // Spoken at the first reading and again at each change of the value.
    const std::string v = r.dir.folder() + "voice/";
    const std::vector<std::string> three = {v + "three.wav", v + "point.wav", v + "zero.wav"};
    const std::vector<std::string> one = {v + "one.wav", v + "point.wav", v + "zero.wav"};
    ASSERT_GE(r.sound.played.size(), 10u);
    EXPECT_TRUE(std::equal(three.begin(), three.end(), r.sound.played.begin()));
    EXPECT_TRUE(std::equal(one.begin(), one.end(), r.sound.played.end() - 3));
    // A note sounded at the first reading after the click, one for each device, held while the
    // SWR stays, and silenced at the end.
    EXPECT_EQ(NotesOn(r.sound.midi), (std::vector<int>{59, 74, 45}));
    ASSERT_FALSE(r.sound.midi.empty());
    EXPECT_EQ(r.sound.midi.back(), audio::NoteOff(45));
    EXPECT_EQ(st.PointDataRunning, 0);
    EXPECT_TRUE(r.ui.messages().empty()) << test::Dialogs(r);

    ASSERT_TRUE(sim::ApplyControl(r.serial.unit, "dut resistor:r=150", 0).ok);
    // The next display with the tone still on sounds it at its first reading, and speaks again.
    r.sound.midi.clear();
    r.sound.played.clear();
    r.ui.textAnswers.push_back("10");
    test::AfterReadings(r, 3, [&r] {
        r.ui.events.push_back(platform::Event{platform::EventType::KeyDown, 'X'});
    });
    commands::RunCommand(r.p(), commands::cmd::ButtonPointData);
    EXPECT_EQ(NotesOn(r.sound.midi), std::vector<int>{59});
    EXPECT_EQ(r.sound.played.size(), 3u);
}

TEST_F(SimTest, PointDataWithoutAMidiOutputSaysSoOnItsButtonAndGoesOn) {
    auto& r = rig();
    ASSERT_NO_FATAL_FAILURE(test::ReadyToSweep(r, "resistor:r=75"));
    core::AppState& st = r.st();
    r.sound.midiAvailable = false;
    audio::OpenTone(r.p());
    r.ui.textAnswers.push_back("7.1");
    const long start = r.serial.unit.state().measurements;
    int phase = 0;
    r.ui.onPump = [&](int) {
        const long n = r.serial.unit.state().measurements - start;
        if (phase == 0 && n >= 2) {
            r.ui.deliver(ClickOnToneButton(st));
            phase = 1;
        } else if (phase == 1 && n >= 6) {
            // A click elsewhere ends the readings, as before.
            r.ui.deliver(ClickAt(st.ToneButton[2] + 40, st.ToneButton[3] + 40));
            phase = 2;
        }
    };
    commands::RunCommand(r.p(), commands::cmd::ButtonPointData);
    r.ui.onPump = nullptr;
    EXPECT_EQ(phase, 2);
    EXPECT_LT(r.serial.unit.state().measurements - start, 9);
    EXPECT_EQ(st.ToneOn, 0);
    ASSERT_EQ(r.ui.messages().size(), 1u) << test::Dialogs(r);
    EXPECT_EQ(
        r.ui.messages()[0].text,
        "Tone output is not available.\rCheck if your computer has a \rsound card and speaker installed.");
    EXPECT_TRUE(r.sound.midi.empty());
    EXPECT_TRUE(r.sound.played.empty()) << "the voice is off";
}
