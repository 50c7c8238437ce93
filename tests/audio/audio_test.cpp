// The spoken SWR and the SWR tone on a recording sound output: which files are played, which MIDI
// messages are sent, and the SWR Tone dialog.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "audio/tone.h"
#include "audio/voice.h"
#include "core/program.h"
#include "platform/wave_file.h"
#include "support/test_rig.h"

using namespace vna;

namespace {

// The names of the files played since the last call, without their folder.
std::vector<std::string> Spoken(test::TestRig& rig, double swr) {
    rig.sound.played.clear();
    rig.st().CurrentSwr = swr;
    audio::SpeakSwr(rig.p());
    std::vector<std::string> names;
    for (const std::string& path : rig.sound.played) {
        names.push_back(path.substr(path.find_last_of('/') + 1));
    }
    return names;
}

using Names = std::vector<std::string>;
using Midi = std::vector<std::uint32_t>;

// The messages sent by one tone update at `swr`.
Midi Update(test::TestRig& rig, double swr) {
    rig.sound.midi.clear();
    rig.st().CurrentSwr = swr;
    audio::UpdateTone(rig.p());
    return rig.sound.midi;
}

Midi Change(int from, int to) {
    return {audio::NoteOff(from), audio::NoteOff(to), audio::ProgramChange(79), audio::NoteOn(to)};
}

} // namespace

TEST(SpeakSwr, SpeaksTheRoundedDigitsWhenTheValueChangesOrIsDueAgain) {
    test::TestRig rig;
    core::AppState& st = rig.st();
    st.voiceDecimals = 1;
    st.voiceRepeat = 0;
    // With one decimal 1.47 is 15 tenths; the tens are spoken, the hundreds are not.
    EXPECT_EQ(Spoken(rig, 1.47), (Names{"one.wav", "point.wav", "five.wav"}));
    EXPECT_EQ(rig.sound.played[0], rig.dir.folder() + "voice/one.wav") << "the program's own voice folder";
    EXPECT_EQ(st.LastSpoken, 15);
    EXPECT_TRUE(Spoken(rig, 1.47).empty()) << "repeat 0: an unchanged value is not spoken again";
    EXPECT_TRUE(Spoken(rig, 1.52).empty()) << "1.52 is 15 tenths too";
    EXPECT_EQ(Spoken(rig, 12.3), (Names{"one.wav", "two.wav", "point.wav", "three.wav"}));
    EXPECT_EQ(Spoken(rig, 123.4), (Names{"two.wav", "three.wav", "point.wav", "four.wav"}));
    EXPECT_EQ(Spoken(rig, 999), (Names{"nine.wav", "nine.wav", "point.wav", "zero.wav"}));
    EXPECT_EQ(Spoken(rig, 1.0), (Names{"one.wav", "point.wav", "zero.wav"}));
    for (int k = 0; k < 50; ++k) {
        EXPECT_TRUE(Spoken(rig, 1.0).empty());
    }
    EXPECT_EQ(st.VoiceCountdown, 0) << "a countdown that can never be due again does not run down";

    st.voiceDecimals = 2;
    EXPECT_EQ(Spoken(rig, 1.47), (Names{"one.wav", "point.wav", "four.wav", "seven.wav"}));
    EXPECT_EQ(Spoken(rig, 3), (Names{"three.wav", "point.wav", "zero.wav", "zero.wav"}));

    // Repeat 3: an unchanged value is spoken again at every third reading.
    st.voiceRepeat = 3;
    std::vector<int> when;
    for (int reading = 1; reading <= 8; ++reading) {
        if (!Spoken(rig, 2.5).empty()) {
            when.push_back(reading);
        }
    }
    EXPECT_EQ(when, (std::vector<int>{1, 4, 7}));

    // A file that cannot be played is passed over; the others still are.
    st.voiceDecimals = 1;
    rig.sound.unplayable = {rig.dir.folder() + "voice/point.wav"};
    EXPECT_EQ(Spoken(rig, 4.2), (Names{"four.wav", "point.wav", "two.wav"}));
    // Before the first reading nothing is spoken.
    st.CurrentSwr = -1;
    rig.sound.played.clear();
    audio::SpeakSwr(rig.p());
    EXPECT_TRUE(rig.sound.played.empty());
}

TEST(SpeakSwr, TheVoiceFolderIsTheUsersOrTheProgramsOwn) {
    core::AppState st;
    st.ProgramFolder = "/data/vna/";
    const std::string own = "/data/vna/voice/";
    for (const char* setting : {"Sounds_1\\", "", "  "}) {
        st.voicefilefolder = setting;
        EXPECT_EQ(audio::VoiceFolder(st), own) << '"' << setting << '"';
    }
    const std::pair<const char*, const char*> cases[] = {
        {"/home/u/My Voice", "/home/u/My Voice/"},
        {"/home/u/rec/", "/home/u/rec/"},
        {"Sounds_2\\", "/data/vna/Sounds_2/"},
        {"c:\\VNA\\Spoken\\", "/data/vna/Spoken/"},
    };
    for (const auto& [setting, folder] : cases) {
        st.voicefilefolder = setting;
        EXPECT_EQ(audio::VoiceFolder(st), folder) << setting;
    }
}

TEST(SwrTone, NotesFollowTheSwrOnTheScaleOfTheSettings) {
    test::TestRig rig;
    core::AppState& st = rig.st();
    // The defaults: SWR 1, 10 and 3 give notes 45, 74 and 59; beyond swrmax the highest note.
    EXPECT_EQ(audio::ToneNoteFor(st, 1), 45);
    EXPECT_EQ(audio::ToneNoteFor(st, 10), 74);
    EXPECT_EQ(audio::ToneNoteFor(st, 3), 59);
    EXPECT_EQ(audio::ToneNoteFor(st, 999), 74);
    EXPECT_EQ(audio::NoteOn(45), 144u + 256u * 45 + 65536u * 64);
    EXPECT_EQ(audio::NoteOff(45), 128u + 256u * 45 + 65536u * 64);
    EXPECT_EQ(audio::ProgramChange(79), 192u + 256u * 79 + 65536u * 64);

    // Start-up opens the output at full volume with the tone's instrument.
    audio::OpenTone(rig.p());
    EXPECT_EQ(st.MidiOut, 1);
    EXPECT_EQ(rig.sound.volume, 0xFFFF);
    EXPECT_EQ(rig.sound.midi, Midi{audio::ProgramChange(79)});

    audio::ToggleTone(rig.p());
    EXPECT_EQ(st.ToneOn, 1);
    EXPECT_EQ(st.ToneFirst, 1);
    const auto before = rig.clock.ticks;
    EXPECT_EQ(Update(rig, 1), Change(0, 45)) << "the first update sounds at once";
    EXPECT_EQ(rig.clock.ticks - before, 100u) << "each update pauses 100 ms";
    EXPECT_EQ(st.SoundingNote, 45);
    EXPECT_TRUE(Update(rig, 1.009).empty()) << "a change of ln(SWR) within 0.01 changes nothing";
    EXPECT_EQ(Update(rig, 3), Change(45, 59));
    EXPECT_TRUE(Update(rig, 3.05).empty()) << "a new value on the same note sounds nothing new";
    EXPECT_EQ(Update(rig, 10), Change(59, 74));
    EXPECT_TRUE(Update(rig, 50).empty());

    // Switched off, the next reading silences it; closing sends the last note off and closes.
    audio::ToggleTone(rig.p());
    rig.sound.midi.clear();
    audio::AfterPointReading(rig.p());
    EXPECT_EQ(rig.sound.midi, Midi{audio::NoteOff(74)});
    audio::CloseTone(rig.p());
    EXPECT_FALSE(rig.sound.midiIsOpen);
    EXPECT_EQ(st.MidiOut, 0);

    // Settings that make no sense still give a MIDI note, never a division by zero.
    for (int top : {-3, 0, 1}) {
        st.swrmax = top;
        EXPECT_EQ(audio::ToneNoteFor(st, 1), 45);
        EXPECT_EQ(audio::ToneNoteFor(st, 3), 74);
    }
    st.swrmax = 10;
    st.swrminfreq = 2000000000;
    st.swrmaxfreq = 2100000000;
    EXPECT_EQ(audio::ToneNoteFor(st, 3), 127);
    st.swrminfreq = -500;
    st.swrmaxfreq = -400;
    EXPECT_EQ(audio::ToneNoteFor(st, 3), 0);
    st.swrminfreq = 40;
    st.swrmaxfreq = 10;
    EXPECT_EQ(audio::ToneNoteFor(st, 3), 54) << "limits the wrong way round end at the upper one";
}

TEST(SwrTone, WithoutAMidiOutputTheToneSaysSoAndSendsNothing) {
    test::TestRig rig;
    rig.sound.midiAvailable = false;
    audio::OpenTone(rig.p());
    EXPECT_EQ(rig.st().MidiOut, 0);
    audio::ToggleTone(rig.p());
    EXPECT_EQ(rig.st().ToneOn, 0);
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_EQ(
        rig.ui.messages()[0].text,
        "Tone output is not available.\rCheck if your computer has a \rsound card and speaker installed.");
    EXPECT_EQ(rig.ui.messages()[0].caption, "");
    rig.st().CurrentSwr = 2;
    audio::UpdateTone(rig.p());
    audio::SoundNote(rig.p());
    audio::AfterPointReading(rig.p());
    audio::CloseTone(rig.p());
    EXPECT_TRUE(rig.sound.midi.empty());
}

TEST(SwrTone, TheDialogLimitsAndRoundsItsThreeEntries) {
    test::TestRig rig;
    core::AppState& st = rig.st();
    st.swrminfreq = 1;
    // A max tone of 8 with the min tone at 5 is raised to 10; the max SWR is limited to 20.
    rig.ui.textAnswers = {"5", "8", "25"};
    audio::SwrToneDialog(rig.p());
    EXPECT_EQ(st.swrminfreq, 5);
    EXPECT_EQ(st.swrmaxfreq, 10);
    EXPECT_EQ(st.swrmax, 20);
    ASSERT_EQ(rig.ui.calls.size(), 3u);
    EXPECT_EQ(rig.ui.calls[0].text, "SWR Min Tone(1-50)");
    EXPECT_EQ(rig.ui.calls[1].text, "SWR Max Tone (10-60)");
    EXPECT_EQ(rig.ui.calls[2].text, "Max SWR (2-20)");

    rig.ui.textAnswers = {"0.001", "99", "1"};
    audio::SwrToneDialog(rig.p());
    EXPECT_EQ(st.swrminfreq, 0);
    EXPECT_EQ(st.swrmaxfreq, 60);
    EXPECT_EQ(st.swrmax, 2);
    // Each entry adds 0.49 before rounding.
    rig.ui.textAnswers = {"70", "57.6", "3.2"};
    audio::SwrToneDialog(rig.p());
    EXPECT_EQ(st.swrminfreq, 50);
    EXPECT_EQ(st.swrmaxfreq, 58);
    EXPECT_EQ(st.swrmax, 4);

    // A slip keeps its setting and the dialog goes on; a cancel ends it.
    rig.ui.calls.clear();
    rig.ui.textAnswers = {"abc", "40", std::nullopt};
    audio::SwrToneDialog(rig.p());
    EXPECT_EQ(st.swrminfreq, 50);
    EXPECT_EQ(st.swrmaxfreq, 55);
    EXPECT_EQ(st.swrmax, 4);
    EXPECT_EQ(rig.ui.messages().size(), 1u);
}

TEST(VoiceFiles, TheShippedFilesAreDistinctWavesAndAreInstalledWithoutReplacingTheUsers) {
    const auto shipped = audio::ShippedVoiceFiles();
    ASSERT_EQ(shipped.size(), audio::VoiceFileNames.size());
    std::set<std::vector<std::int16_t>> distinct;
    for (std::size_t k = 0; k < shipped.size(); ++k) {
        EXPECT_STREQ(shipped[k].name, audio::VoiceFileNames[k]);
        std::string problem;
        const auto w = platform::ParseWave(shipped[k].bytes, problem);
        ASSERT_TRUE(w) << shipped[k].name << ": " << problem;
        EXPECT_GT(w->seconds(), 0.15) << shipped[k].name;
        EXPECT_LT(w->seconds(), 1.5) << shipped[k].name;
        distinct.insert(w->samples);
    }
    EXPECT_EQ(distinct.size(), shipped.size()) << "every word sounds different";

    test::TestRig rig;
    const std::string folder = rig.dir.folder() + "voice/";
    std::filesystem::create_directories(folder);
    test::WriteFile(folder + "one.wav", "my own recording");
    EXPECT_TRUE(audio::InstallVoiceFiles(rig.st()));
    EXPECT_EQ(test::ReadFile(folder + "one.wav"), "my own recording");
    EXPECT_EQ(test::ReadFile(folder + "point.wav"), std::string(shipped[10].bytes));
    EXPECT_EQ(test::ReadFile(folder + "nine.wav"), std::string(shipped[9].bytes));
}
