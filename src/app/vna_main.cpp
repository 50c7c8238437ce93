// The windowed program: the Qt platform behind the ports, then the program's own start-up,
// main loop and shutdown.

#include <QApplication>
#include <QDateTime>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/signal_quit.h"
#include "commands/commands.h"
#include "commands/startup.h"
#include "core/data_folder.h"
#include "core/program.h"
#include "platform/audio/desktop_sound.h"
#include "platform/file_registry.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/qt/qt_ui.h"
#include "platform/qt/qt_wave_player.h"
#include "platform/system_clock.h"

namespace {

const char* GetEnv(const char* name) {
    return std::getenv(name);
}

const char* const Usage =
    "usage: vna [OPTIONS] [FILE.scn]\n"
    "\n"
    "The control program of the vector network analyzer, with its window. Without an instrument (or\n"
    "with --demo) it runs in demo mode, where stored scans can be loaded and viewed.\n"
    "\n"
    "Options:\n"
    "  --demo            start without trying the instrument (demo mode)\n"
    "  --serial PATH     the serial device of the instrument (else VNA_SERIAL, else the numbered port\n"
    "                    of the settings: port N is /dev/ttyUSB<N-1>)\n"
    "  --data-dir DIR    the data folder with the settings, the config file and the last graphs (else\n"
    "                    VNA_HOME; else the program's folder when it holds a file named \"portable\" or\n"
    "                    VNA_Init_Data.ini; else $XDG_DATA_HOME/vna, ~/.local/share/vna)\n"
    "  --cal FILE        the cal file to load at start instead of the one the settings name\n"
    "  --sweep           one sweep of the active port as soon as the program is ready\n"
    "  -h, --help        this text\n"
    "  --version         the version of the program\n"
    "  --                the arguments after it are files, also one that begins with a dash\n"
    "\n"
    "A file whose name ends in .scn is loaded into the Port A graph at start. The window toolkit's own\n"
    "options are taken too, for example -platform offscreen or -style fusion.\n"
    "\n"
    "SIGINT and SIGTERM end the program the way its Quit command does. The exit status is 0 after a\n"
    "normal end, 1 when no window can be opened and 2 for a mistake on the command line.\n";

// The window toolkit's own options, which it takes out of the command line: how many values
// follow each (nothing for an argument that is not one of them). A double dash works as well.
std::optional<int> ToolkitOption(std::string a) {
    if (a.rfind("--", 0) == 0) {
        a.erase(0, 1);
    }
    a = a.substr(0, a.find('='));
    static const char* const withValue[] = {"-platform",
                                            "-platformpluginpath",
                                            "-platformtheme",
                                            "-plugin",
                                            "-qwindowgeometry",
                                            "-qwindowicon",
                                            "-qwindowtitle",
                                            "-session",
                                            "-style",
                                            "-stylesheet",
                                            "-display",
                                            "-geometry",
                                            "-title",
                                            "-name",
                                            "-visual",
                                            "-ncols",
                                            "-cmap",
                                            "-qmljsdebugger"};
    static const char* const flags[] = {"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"};
    for (const char* o : withValue) {
        if (a == o) {
            return 1;
        }
    }
    for (const char* o : flags) {
        if (a == o) {
            return 0;
        }
    }
    return std::nullopt;
}

// While the toolkit starts: its complaints about a display it cannot reach are gathered, and the
// fatal one that would abort the program becomes one line and a plain exit.
void StartupMessages(QtMsgType type, const QMessageLogContext&, const QString&) {
    if (type != QtFatalMsg) {
        return;
    }
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    std::string why;
    if (platform && *platform) {
        why = std::string("the window platform \"") + platform + "\" cannot be started";
    } else if ((!display || !*display) && (!wayland || !*wayland)) {
        why = "there is no display (neither DISPLAY nor WAYLAND_DISPLAY is set)";
    } else {
        why = std::string("the display ") + (display && *display ? display : wayland) + " cannot be reached";
    }
    std::fprintf(stderr, "vna: no window can be opened: %s; start vna in a desktop session, or use vna-cli\n",
                 why.c_str());
    std::fflush(stderr);
    std::_Exit(1);
}

} // namespace

int main(int argc, char** argv) {
    // The command line is checked before the toolkit starts, so that --help, --version and a
    // mistake need no display and open no window.
    std::vector<std::string> args;
    bool optionsEnded = false;
    for (int i = 0; i < argc; ++i) {
        const std::string a = argv[i];
        optionsEnded = optionsEnded || a == "--";
        if (i > 0 && !optionsEnded) {
            if (const auto values = ToolkitOption(a)) {
                i += a.find('=') == std::string::npos ? *values : 0;
                continue;
            }
        }
        args.push_back(a);
    }
    vna::core::StartOptions options = vna::core::ParseStartOptions(args, GetEnv);
    if (!options.mistake.empty()) {
        std::fprintf(stderr, "vna: %s\n%s", options.mistake.c_str(), Usage);
        return 2;
    }
    if (options.help) {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("vna %s\n", VNA_VERSION);
        return 0;
    }

    qInstallMessageHandler(StartupMessages);
    QApplication app(argc, argv);
    qInstallMessageHandler(nullptr);
    QApplication::setApplicationName("vna");

    const vna::core::DataFolderResult data = vna::core::ChooseDataFolder(
        options.dataDir, QCoreApplication::applicationDirPath().toStdString(), GetEnv);
    if (!data.problem.empty()) {
        options.problems.push_back(data.problem);
    }

    vna::platform::qt::QtUi ui;
    vna::platform::SystemClock clock;
    vna::platform::qt::QtSerialPort serial;
    vna::platform::FileRegistry registry(data.folder + "registry");
    vna::platform::qt::QtWavePlayer wavePlayer;
    vna::platform::audio::DesktopSound sound(
        vna::platform::audio::MidiChoiceFromEnvironment(GetEnv),
        [&wavePlayer](std::string_view path) { return wavePlayer.play(path); });
    auto program =
        std::make_unique<vna::core::Program>(vna::core::Platform{ui, clock, serial, registry, sound});
    program->st.ProgramFolder = data.folder;
    program->st.ProgramFileDate = QFileInfo(QCoreApplication::applicationFilePath())
                                      .lastModified()
                                      .toString("MM-dd-yyyy hh:mm:ss")
                                      .toStdString();

    vna::app::SignalQuit quitOnSignal([&] {
        ui.beginShutdown();
        vna::commands::Quit(*program);
    });

    return vna::commands::RunProgram(*program, options);
}
