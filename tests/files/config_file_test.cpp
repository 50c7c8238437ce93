#include <algorithm>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

#include "commands/config_commands.h"
#include "commands/startup.h"
#include "core/atomic_file.h"
#include "files/config_file.h"
#include "files/default_config.h"
#include "settings_files.h"

using namespace vna;

namespace {

const char* const OldVersionText =
    "This config file is not the latest version.  251\rIt doesn't have all the new "
    "features.\rPlease select a new config file.";

double F(double v) {
    return static_cast<double>(static_cast<float>(v));
}

// The 63 entry lines of the shipped config file, comments and all.
std::vector<std::string> DefaultEntries() {
    std::vector<std::string> entries;
    const auto lines = test::Lines(std::string(files::DefaultConfigText()));
    for (std::size_t i = 6; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.find("END of config") != std::string::npos) {
            break;
        }
        if (line.empty() || line.rfind("//", 0) == 0) {
            continue;
        }
        entries.push_back(line);
    }
    return entries;
}

std::string ConfigText(const std::vector<std::string>& entries,
                       const std::string& version = "config_version=251",
                       const std::string& tail = "END of config\r\n") {
    std::string text = "Test header line\r\n" + version + "\r\n//\r\n//\r\n//\r\n//\r\n";
    for (const std::string& e : entries) {
        text += e + "\r\n";
    }
    return text + tail;
}

std::vector<std::string> WithEntry(int entry, const std::string& line) {
    auto entries = DefaultEntries();
    entries.at(static_cast<std::size_t>(entry - 1)) = line;
    return entries;
}

// Reads `text` as the config file "test.cfg" of a fresh rig holding the defaults.
std::unique_ptr<test::TestRig> ReadConfigText(const std::string& text, int fromMenu = 0) {
    auto rig = test::DefaultRig();
    rig->st().config_file = rig->dir.file("test.cfg");
    test::WriteFile(rig->st().config_file, text);
    files::ReadConfigFile(rig->p(), fromMenu);
    return rig;
}

} // namespace

TEST(ConfigFile, TheShippedDefaultConfigHoldsTheDocumentedDefaults) {
    auto rig = test::DefaultRig();
    ASSERT_TRUE(files::InstallDefaultConfig(rig->p()));
    const std::string shipped = test::ReadFile(rig->dir.file("_VNA_Default.cfg"));
    EXPECT_EQ(shipped, test::ReadFile(VNA_DEFAULT_CONFIG_FILE));
    EXPECT_EQ(DefaultEntries().size(), 63u);

    files::ReadConfigFile(rig->p(), 0);
    const core::AppState& st = rig->st();
    EXPECT_TRUE(rig->ui.messages().empty());
    EXPECT_EQ(st.ConfigLoaded, 1);
    EXPECT_EQ(st.configVersion, 251);
    EXPECT_EQ(st.config_file_name, "_VNA_Default.cfg");
    EXPECT_EQ(st.config_file, "_VNA_Default.cfg");
    EXPECT_EQ(st.configHeader, test::Lines(shipped)[0]);
    const core::AppState defaults = test::DefaultRig()->st();
    for (int k = 1; k <= 16; ++k) {
        EXPECT_EQ(st.defaultColors[static_cast<std::size_t>(k)], core::DefaultColor(k)) << k;
    }
    EXPECT_EQ(st.sectionLineColor, core::Color(200, 200, 200));
    EXPECT_EQ(st.blueShade1, defaults.blueShade1);
    for (int k = 1; k <= 16; ++k) {
        const core::Band& a = st.bandTable[static_cast<std::size_t>(k)];
        const core::Band& b = defaults.bandTable[static_cast<std::size_t>(k)];
        EXPECT_EQ(a.name, b.name) << k;
        EXPECT_EQ(a.start, F(b.start)) << k;
        EXPECT_EQ(a.end, F(b.end)) << k;
        EXPECT_EQ(a.step, F(b.step)) << k;
    }
    EXPECT_EQ(st.bandCount, 16);
    EXPECT_EQ(st.bandFillColor, defaults.bandFillColor);
    EXPECT_EQ(st.traceWidth, 2);
    EXPECT_EQ(st.traceWidth2, 2);
    EXPECT_EQ(st.maxScanPoints, 30000);
    EXPECT_EQ(st.distanceUnits, 0);
    EXPECT_EQ(st.voltageWait, 200);
    EXPECT_EQ(st.graphFontSize, 7);
    EXPECT_EQ(st.boldGraphFont, 1);
    EXPECT_EQ(st.smithSize, 1);
    EXPECT_EQ(st.rescanPause, 300);
    EXPECT_EQ(st.HighBaud, 0);
    EXPECT_EQ(st.dspthreshold, 0);
    EXPECT_EQ(st.dspthreshold_factor, 2);
    EXPECT_EQ(st.externalControl, 0);
    EXPECT_EQ(st.autoSaveGraph, 1);
    EXPECT_EQ(st.voiceDecimals, 1);
    EXPECT_EQ(st.voiceRepeat, 0);
    EXPECT_EQ(st.zStepTolerance, 10);
    EXPECT_EQ(st.parkFreq, F(3.313));
    EXPECT_EQ(st.HighBaudRate, 115000);
    EXPECT_EQ(st.swrLift, 1);
    EXPECT_EQ(st.outputfile, "c:\\AutoScan.csv");
    EXPECT_EQ(st.voicefilefolder, "Sounds_1\\");
    // Already in CR LF: the copy is made, the shipped file is left as it was.
    EXPECT_EQ(test::ReadFile(rig->dir.file("LastVNA.cfg")), shipped);
    EXPECT_EQ(test::ReadFile(rig->dir.file("_VNA_Default.cfg")), shipped);
}

TEST(ConfigFile, AFirstRunInstallsTheDefaultConfigAndAnEditedOneStays) {
    test::TestRig first;
    commands::Startup(first.p(), core::ParseStartOptions({"vna", "--demo"}));
    EXPECT_TRUE(core::FileExists(first.dir.file("_VNA_Default.cfg")));
    EXPECT_EQ(first.st().ConfigLoaded, 1);
    ASSERT_EQ(first.ui.messages().size(), 1u);
    EXPECT_EQ(first.ui.messages()[0].caption, " No INIT data");

    test::TestRig edited;
    test::WriteFile(edited.dir.file("_VNA_Default.cfg"), ConfigText(WithEntry(42, "9")));
    commands::Startup(edited.p(), core::ParseStartOptions({"vna", "--demo"}));
    EXPECT_EQ(edited.st().graphFontSize, 9);
    EXPECT_EQ(test::ReadFile(edited.dir.file("_VNA_Default.cfg")), ConfigText(WithEntry(42, "9")));
}

TEST(ConfigFile, CommentsSeparatorsKeyedLinesAndBandNames) {
    auto entries = DefaultEntries();
    entries[0] = "250, 0, 0   // a colour with a remark";
    entries[1] = "  -----------------\r\n// 1 2 3 after the comment mark\r\n\r\n\t  1    2 ,3  ";
    entries[16] = "VoiceFileFolder=   /Home/U/Sounds/x  tail";
    entries[19] = "1.8, 2.0, 100   band=Top Band  ";
    entries[20] = "1.8 2.0 0.01";
    entries[21] = "3.5,3.8,0.01 station=W1AW more words";
    entries[44] = "outputfile=C:\\Results\\Out.CSV";
    entries[47] = "controlfile= ctl.txt tail";
    entries[55] = "// END of config is only an end mark when it stands in a line";
    auto rig = ReadConfigText(ConfigText(entries));
    // The comment line above was the end: entries 56 and later keep their values.
    const auto& st = rig->st();
    EXPECT_EQ(st.ConfigLoaded, 0);
    EXPECT_EQ(st.defaultColors[1], core::Color(250, 0, 0));
    EXPECT_EQ(st.defaultColors[2], core::Color(1, 2, 3));
    EXPECT_EQ(st.defaultColors[3], core::DefaultColor(3));
    EXPECT_EQ(st.voicefilefolder, "/Home/U/Sounds/");
    EXPECT_EQ(st.traceWidth, 2);
    EXPECT_EQ(st.bandTable[1].name, "Top Band");
    EXPECT_EQ(st.bandTable[1].start, F(1.8));
    EXPECT_EQ(st.bandTable[1].end, F(2.0));
    EXPECT_DOUBLE_EQ(st.bandTable[1].step, (F(2.0) - F(1.8)) / 100.00001);
    EXPECT_EQ(st.bandTable[2].name, " 80_meters");
    EXPECT_EQ(st.bandTable[2].step, F(0.01));
    EXPECT_EQ(st.bandTable[3].name, "W1AW");
    EXPECT_EQ(st.bandTable[3].start, F(3.5));
    // The key is matched in any case; the path keeps the case it was written in, as the shipped
    // file's comment says.
    EXPECT_EQ(st.outputfile, "C:\\Results\\Out.CSV");
    const std::string shipped = test::ReadFile(VNA_DEFAULT_CONFIG_FILE);
    EXPECT_NE(shipped.find("Such values keep the case they are written in."), std::string::npos);
    EXPECT_EQ(shipped.find("lower case"), std::string::npos);
    EXPECT_EQ(st.controlfile, "ctl.txt");
    EXPECT_EQ(st.rescanPause, 300);
    EXPECT_EQ(st.dspthreshold_factor, 2);
    EXPECT_FALSE(core::FileExists(rig->dir.file("LastVNA.cfg")));

    // Without the end mark the same file is complete: it is copied and rewritten with CR LF.
    entries[55] = "0";
    std::string lf = ConfigText(entries, "config_version=251", "");
    std::string crlf = lf;
    lf.erase(std::remove(lf.begin(), lf.end(), '\r'), lf.end());
    auto full = ReadConfigText(lf);
    EXPECT_EQ(full->st().ConfigLoaded, 1);
    EXPECT_EQ(full->st().swrLift, 1);
    EXPECT_EQ(test::ReadFile(full->dir.file("LastVNA.cfg")), crlf);
    EXPECT_EQ(test::ReadFile(full->dir.file("test.cfg")), crlf);
}

TEST(ConfigFile, AKeyedLineTakesThePlaceOfAnEntry) {
    // At an ignored place nothing shifts; elsewhere its entry gets the last data line's numbers.
    auto rig = ReadConfigText(ConfigText(WithEntry(45, "outputfile=/tmp/a.csv")));
    EXPECT_EQ(rig->st().ConfigLoaded, 1);
    EXPECT_EQ(rig->st().rescanPause, 300);
    EXPECT_EQ(rig->st().smithSize, 1);
    auto moved = ReadConfigText(ConfigText(WithEntry(43, "outputfile=/tmp/a.csv")));
    EXPECT_EQ(moved->st().boldGraphFont, 7); // entry 42's number again
    EXPECT_EQ(moved->st().outputfile, "/tmp/a.csv");
}

TEST(ConfigFile, ConversionsAndLimits) {
    struct Case {
        int entry;
        std::string line;
        std::function<bool(const core::AppState&)> check;
    };
    const std::vector<Case> cases = {
        {44, "5", [](const core::AppState& s) { return s.smithSize == 3; }},
        {44, "-0.2", [](const core::AppState& s) { return s.smithSize == 0.5; }},
        {44, "-2", [](const core::AppState& s) { return s.smithSize == 2; }},
        {57, "0", [](const core::AppState& s) { return s.voiceDecimals == 1; }},
        {57, "7", [](const core::AppState& s) { return s.voiceDecimals == 2; }},
        {37, "10", [](const core::AppState& s) { return s.maxScanPoints == 20; }},
        // As many points as a sweep can make; the 30000 of older files stays 30000.
        {37, "50000", [](const core::AppState& s) { return s.maxScanPoints == 30010; }},
        {37, "30010", [](const core::AppState& s) { return s.maxScanPoints == 30010; }},
        {37, "30000", [](const core::AppState& s) { return s.maxScanPoints == 30000; }},
        {37, "1e999", [](const core::AppState& s) { return s.maxScanPoints == 30010; }},
        {42, "2", [](const core::AppState& s) { return s.graphFontSize == 3; }},
        {42, "-12", [](const core::AppState& s) { return s.graphFontSize == 10; }},
        {42, "nan", [](const core::AppState& s) { return s.graphFontSize == 3; }},
        {60, "0", [](const core::AppState& s) { return s.zStepTolerance == 1; }},
        {60, "-25.4", [](const core::AppState& s) { return s.zStepTolerance == 25; }},
        {51, "-5000", [](const core::AppState& s) { return s.reservedLimit == 1024; }},
        {41, "-600", [](const core::AppState& s) { return s.defaultWinHeight == 600; }},
        {62, "-57600", [](const core::AppState& s) { return s.HighBaudRate == 57600; }},
        {61, "--5", [](const core::AppState& s) { return s.parkFreq == 0; }},
        {61, "-14.2", [](const core::AppState& s) { return s.parkFreq == F(14.2); }},
        {49, "0.1", [](const core::AppState& s) { return s.dspthreshold == F(0.1); }},
        {15, "20 40 230",
         [](const core::AppState& s) {
             return s.gridColor == core::Color(20, 40, 230) && s.sectionLineColor == core::Color(0, 10, 200);
         }},
        {8, "90,90,90",
         [](const core::AppState& s) {
             return s.blueShade1 == s.Blue && s.blueShade2 == s.Blue && s.blueShade3 == s.Blue &&
                    s.defaultColors[8] == core::Color(90, 90, 90);
         }},
        {1, "300, -5, 127.6",
         [](const core::AppState& s) { return s.defaultColors[1] == core::Color(255, 0, 128); }},
        {14, "1", [](const core::AppState& s) { return s.chartFillColor == core::Color(1, 0, 0); }},
        {36, "1 2 3", [](const core::AppState& s) { return s.bandFillColor == core::Color(1, 2, 3); }},
        {53, "-1", [](const core::AppState& s) { return s.autoSaveGraph == 1; }},
        {52, "3", [](const core::AppState& s) { return s.externalControl == 3; }},
        // Where no limit is documented, a sane one: no window, pen, wait or line rate of a
        // damaged file reaches the program as it stands.
        {40, "1e30", [](const core::AppState& s) { return s.defaultWinWidth == 10000; }},
        {18, "1e9", [](const core::AppState& s) { return s.traceWidth == 10; }},
        {39, "-4e9", [](const core::AppState& s) { return s.voltageWait == 0; }},
        {46, "3e9", [](const core::AppState& s) { return s.rescanPause == 10000; }},
        {62, "1e30", [](const core::AppState& s) { return s.HighBaudRate == 4000000; }},
        {52, "77", [](const core::AppState& s) { return s.externalControl == 3; }},
    };
    for (const Case& c : cases) {
        auto rig = ReadConfigText(ConfigText(WithEntry(c.entry, c.line)));
        EXPECT_EQ(rig->st().ConfigLoaded, 1) << c.entry << " " << c.line;
        EXPECT_TRUE(c.check(rig->st())) << c.entry << " " << c.line;
    }
    // Window size from the menu: also the window itself, within the init file's limits.
    auto menu = ReadConfigText(ConfigText(WithEntry(40, "150")), 1);
    EXPECT_EQ(menu->st().defaultWinWidth, 150);
    EXPECT_EQ(menu->st().WinWidth, 200);
    EXPECT_EQ(menu->st().WinHeight, 537);
    auto start = ReadConfigText(ConfigText(WithEntry(40, "1500")), 0);
    EXPECT_EQ(start->st().WinWidth, test::DefaultRig()->st().WinWidth);
}

TEST(ConfigFile, VersionLine) {
    for (const char* accepted : {"config_version=0251", "config_version=251 blah", "Config_Version=300"}) {
        auto rig = ReadConfigText(ConfigText(WithEntry(42, "9"), accepted));
        EXPECT_EQ(rig->st().ConfigLoaded, 1) << accepted;
        EXPECT_EQ(rig->st().graphFontSize, 9) << accepted;
        EXPECT_TRUE(rig->ui.messages().empty()) << accepted;
    }
    for (const char* refused : {"config_version=250", "no version", "config_version=25", ""}) {
        auto rig = ReadConfigText(ConfigText(WithEntry(42, "9"), refused));
        EXPECT_EQ(rig->st().ConfigLoaded, 0) << refused;
        EXPECT_EQ(rig->st().graphFontSize, 7) << refused;
        ASSERT_EQ(rig->ui.messages().size(), 1u) << refused;
        EXPECT_EQ(rig->ui.messages()[0].text, OldVersionText);
        EXPECT_EQ(rig->ui.messages()[0].caption, "Invalid config file");
        EXPECT_EQ(rig->st().config_file, "_VNA_Default.cfg");
        EXPECT_EQ(rig->st().config_file_name, "_VNA_Default.cfg");
    }
    // Several version lines: the last one counts; a version on line 7 is not looked at.
    const std::string body = ConfigText(DefaultEntries()).substr(ConfigText({}).size() - 15);
    auto last = ReadConfigText("h\r\nconfig_version=250\r\n\r\nconfig_version=251\r\n//\r\n//\r\n" + body);
    EXPECT_EQ(last->st().ConfigLoaded, 1);
    auto late = ReadConfigText("h\r\nconfig_version=251\r\n\r\nconfig_version=250\r\n//\r\n//\r\n" + body);
    EXPECT_EQ(late->st().ConfigLoaded, 0);
    auto seventh = ReadConfigText("h\r\n//\r\n//\r\n//\r\n//\r\n//\r\nconfig_version=251\r\n" + body);
    EXPECT_EQ(seventh->st().configVersion, 0);
}

TEST(ConfigFile, FallbackToTheDefaultConfigAndMissingFiles) {
    // A config file that is gone: the default in the program's folder is read instead.
    auto rig = test::DefaultRig();
    files::InstallDefaultConfig(rig->p());
    rig->st().config_file = rig->dir.file("gone/old.cfg");
    files::ReadConfigFile(rig->p(), 0);
    EXPECT_EQ(rig->st().ConfigLoaded, 1);
    EXPECT_EQ(rig->st().config_file, "_VNA_Default.cfg");
    EXPECT_EQ(rig->st().config_file_name, "_VNA_Default.cfg");
    EXPECT_TRUE(rig->ui.messages().empty());

    // A bare name is looked for in the program's folder and becomes the name shown.
    auto bare = test::DefaultRig();
    test::WriteFile(bare->dir.file("mine.cfg"), ConfigText(WithEntry(42, "4")));
    bare->st().config_file = "mine.cfg";
    files::ReadConfigFile(bare->p(), 0);
    EXPECT_EQ(bare->st().graphFontSize, 4);
    EXPECT_EQ(bare->st().config_file_name, "mine.cfg");

    // Neither file: the message names the default's path; nothing is read.
    auto none = test::DefaultRig();
    none->st().config_file = "/no/such.cfg";
    files::ReadConfigFile(none->p(), 0);
    EXPECT_EQ(none->st().ConfigLoaded, 0);
    ASSERT_EQ(none->ui.messages().size(), 1u);
    EXPECT_EQ(none->ui.messages()[0].text,
              "The Config File named: " + none->dir.file("_VNA_Default.cfg") +
                  " was not found.\r\n\r\nClick the 'Files' menu in the upper left "
                  "corner to select an\r\nappropriate config file.");
    EXPECT_EQ(none->ui.messages()[0].caption, " Config File 273");
}

TEST(ConfigFile, BadFilesNeverCrashAndLeaveTheRestAlone) {
    auto entries = DefaultEntries();
    const std::string garbage("\x00\x01\xff\xfe//\x7f\r\n\x80\x81 12 x\n\n\x00", 20);
    const std::vector<std::string> texts = {
        "",
        garbage,
        "header only",
        ConfigText(std::vector<std::string>(entries.begin(), entries.begin() + 10), "config_version=251", ""),
        ConfigText(WithEntry(30, std::string(100000, '7') + " 1 2 band=" + std::string(100000, 'n'))),
        ConfigText(WithEntry(17, "outputfile=" + std::string(100000, 'o'))),
        std::string(100000, 'x') + "\r\nconfig_version=251\r\n" + std::string(100000, '/'),
    };
    for (std::size_t i = 0; i < texts.size(); ++i) {
        auto rig = ReadConfigText(texts[i]);
        const auto& st = rig->st();
        EXPECT_EQ(st.ConfigLoaded, i == 4 || i == 5 ? 1 : 0) << i;
        EXPECT_LE(st.configHeader.size(), 255u);
        EXPECT_LE(st.outputfile.size(), 255u);
        EXPECT_LE(st.bandTable[11].name.size(), 255u);
        EXPECT_GE(st.graphFontSize, 3);
        EXPECT_LE(st.graphFontSize, 10);
        if (st.ConfigLoaded == 0) {
            // An incomplete file is neither copied nor rewritten.
            EXPECT_FALSE(core::FileExists(rig->dir.file("LastVNA.cfg"))) << i;
            EXPECT_EQ(test::ReadFile(rig->dir.file("test.cfg")), texts[i]) << i;
        }
    }
    auto big = ReadConfigText(texts[4]);
    EXPECT_EQ(big->st().bandTable[11].end, 1);
    EXPECT_EQ(big->st().bandTable[11].name.size(), 255u);
}

TEST(ConfigFile, LoadConfigFileCommand) {
    auto rig = test::DefaultRig();
    const std::string path = rig->dir.file("sub/new.cfg");
    std::filesystem::create_directory(rig->dir.file("sub"));
    test::WriteFile(path, ConfigText(WithEntry(40, "1000")));
    rig->st().config_folder = "/cfgs/";
    rig->ui.fileAnswers = {path};
    commands::LoadConfigFileCommand(rig->p());
    const auto& st = rig->st();
    ASSERT_GE(rig->ui.calls.size(), 1u);
    EXPECT_EQ(rig->ui.calls[0].kind, "openFile");
    EXPECT_EQ(rig->ui.calls[0].text, " Load Config File");
    EXPECT_EQ(rig->ui.calls[0].caption, "/cfgs/");
    EXPECT_EQ(st.ConfigFromMenu, 1);
    EXPECT_EQ(st.ConfigLoaded, 1);
    EXPECT_EQ(st.config_file, path);
    EXPECT_EQ(st.config_file_name, "new.cfg");
    EXPECT_EQ(st.config_folder, rig->dir.file("sub/"));
    EXPECT_EQ(st.WinWidth, 1000);
    const auto messages = rig->ui.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, "Test header line");
    EXPECT_EQ(messages[0].caption, "Config File");
    EXPECT_EQ(messages[1].text,
              "Please close the VNA program and restart it\rfor the changes to take effect.");
    EXPECT_EQ(messages[1].caption, "Restart VNA Prog");

    // Cancelled: nothing changes. An old file: no restart message.
    auto cancel = test::DefaultRig();
    commands::LoadConfigFileCommand(cancel->p());
    EXPECT_EQ(cancel->st().ConfigFromMenu, 0);
    EXPECT_EQ(cancel->ui.messages().size(), 0u);
    auto old = test::DefaultRig();
    test::WriteFile(old->dir.file("old.cfg"), ConfigText(DefaultEntries(), "config_version=100"));
    old->ui.fileAnswers = {old->dir.file("old.cfg")};
    commands::LoadConfigFileCommand(old->p());
    ASSERT_EQ(old->ui.messages().size(), 1u);
    EXPECT_EQ(old->ui.messages()[0].caption, "Invalid config file");

    auto check = test::DefaultRig();
    files::CheckConfigLoaded(check->p());
    check->st().ConfigLoaded = 1;
    files::CheckConfigLoaded(check->p());
    ASSERT_EQ(check->ui.messages().size(), 1u);
    EXPECT_EQ(check->ui.messages()[0].caption, " No Config File");
    EXPECT_EQ(
        check->ui.messages()[0].text,
        "The config file was not found.\r\nPlease use the Files->Load_Config_File menu to load a config "
        "file.\r\n\r\n(If you want to use the default config file, it is called: VNA_default.cfg \r\nThis "
        "should be in the same folder with the exe file.)");
}

TEST(ConfigEditor, LoadEditSaveAndQuit) {
    auto rig = test::DefaultRig();
    const std::string original = rig->dir.file("a.cfg");
    const std::string other = rig->dir.file("b.cfg");
    const std::string saved = rig->dir.file("c.cfg");
    test::WriteFile(original, "line one\nline two\n");
    test::WriteFile(other, "other\r\n");
    rig->st().config_file = original;
    rig->st().InstrumentPresent = 1;
    using platform::EditorAction;
    rig->ui.editorSteps = {{EditorAction::LoadFile, std::nullopt},
                           {EditorAction::SaveAs, std::string("edited\r\ntext\r\n")},
                           {EditorAction::Quit, std::nullopt}};
    rig->ui.fileAnswers = {other, saved};
    commands::ConfigEditor(rig->p());

    std::vector<platform::fake::UiCall> editor;
    for (const auto& c : rig->ui.calls) {
        if (c.kind == "editText" || c.kind == "openFile" || c.kind == "saveFile") {
            editor.push_back(c);
        }
    }
    ASSERT_EQ(editor.size(), 5u);
    const std::string size =
        "|" + std::to_string(rig->st().WinWidth) + "x" + std::to_string(rig->st().WinHeight);
    EXPECT_EQ(editor[0].text, "line one\r\nline two\r\n");
    EXPECT_EQ(editor[0].caption, "Edit: " + original + size);
    EXPECT_EQ(editor[1].text, " Load Config File");
    EXPECT_EQ(editor[2].text, "other\r\n");
    EXPECT_EQ(editor[2].caption, "Edit: " + other + size);
    EXPECT_EQ(editor[3].text, "Save Config File");
    EXPECT_EQ(editor[4].caption, "Edit: " + saved + size);
    EXPECT_EQ(test::ReadFile(saved), "edited\r\ntext\r\n");
    EXPECT_EQ(rig->st().config_file, saved);
    EXPECT_EQ(rig->st().config_file_name, "c.cfg");
    EXPECT_EQ(rig->st().config_folder, rig->dir.folder());
    ASSERT_EQ(rig->ui.messages().size(), 1u);
    EXPECT_EQ(rig->ui.messages()[0].text,
              "Be sure to close the VNA program and RESTART it\rfor the changes to take effect.");
    EXPECT_EQ(rig->ui.messages()[0].caption, "Restart VNA Prog");
    EXPECT_EQ(rig->st().InstrumentPresent, 0);
    EXPECT_EQ(rig->st().ConfigEdited, 1);
    EXPECT_EQ(rig->st().ConfigEditorOpen, 0);
    EXPECT_EQ(test::ReadFile(original), "line one\nline two\n");
}

TEST(ConfigEditor, LongFilesFailedSavesAndOnlyOneWindow) {
    auto rig = test::DefaultRig();
    std::string big;
    for (int i = 0; i < 500; ++i) {
        big += std::string(99, 'a' + i % 26) + "\n";
    }
    test::WriteFile(rig->dir.file("big.cfg"), big);
    std::string text;
    ASSERT_TRUE(files::ConfigEditorText(rig->dir.file("big.cfg"), text));
    EXPECT_GE(text.size(), 32509u);
    EXPECT_LT(text.size(), 32509u + 101u);
    EXPECT_EQ(text.size() % 101, 0u);
    EXPECT_FALSE(files::ConfigEditorText(rig->dir.file("none.cfg"), text));

    // Saving into a folder that does not exist: the read-only message, nothing else changes.
    rig->st().config_file = rig->dir.file("big.cfg");
    rig->st().InstrumentPresent = 1;
    rig->ui.editorSteps = {{platform::EditorAction::SaveAs, std::nullopt}};
    rig->ui.fileAnswers = {rig->dir.file("missing/x.cfg")};
    int opened = 0;
    rig->ui.onDialog = [&](const platform::fake::UiCall& c) {
        if (c.kind == "editText") {
            ++opened;
            commands::ConfigEditor(rig->p()); // a second editor while one is open: refused
        }
    };
    commands::ConfigEditor(rig->p());
    EXPECT_EQ(opened, 2);
    ASSERT_EQ(rig->ui.messages().size(), 1u);
    EXPECT_EQ(rig->ui.messages()[0].text.rfind("The file named: x.cfg  \ris a Read-Only file.", 0), 0u);
    EXPECT_EQ(rig->st().InstrumentPresent, 1);
    EXPECT_EQ(rig->st().config_file, rig->dir.file("big.cfg"));
}
