// vna-cli: the instrument code of the program without windows (see app/cli.h).

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define STDERR_FILENO 2
#else
#include <unistd.h>
#endif

#include "app/cli.h"
#include "app/plot_image.h"
#include "core/data_folder.h"
#include "core/program.h"
#include "platform/audio/desktop_sound.h"
#include "platform/console_ui.h"
#include "platform/file_registry.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/qt/qt_wave_player.h"
#include "platform/system_clock.h"

namespace {

const char* GetEnv(const char* name) {
    return std::getenv(name);
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(argv[i]);
    }
    std::string error;
    const auto options = vna::app::ParseCliOptions(args, GetEnv, error);
    if (!options) {
        std::fprintf(stderr, "vna-cli: %s\n%s", error.c_str(), vna::app::CliUsageFor(args).c_str());
        return 2;
    }
    if (options->help) {
        const vna::app::CliCommand* command = vna::app::FindCliCommand(options->command);
        std::fputs((command ? vna::app::CliCommandHelp(*command) : vna::app::CliUsage()).c_str(), stdout);
        return 0;
    }
    if (options->version) {
        std::printf("%s\n", vna::app::CliVersion().c_str());
        return 0;
    }
    // plot draws texts, which takes Qt's GUI part; it never shows a window, so it runs on the
    // offscreen platform, also where there is no display. What that platform has to say about the
    // desktop session is no business of a command-line tool, unless --verbose asks for it.
    const bool plot = options->command == "plot";
    if (plot) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        if (!options->verbose) {
            qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
                if (type == QtCriticalMsg || type == QtFatalMsg) {
                    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
                }
            });
        }
    }
    std::unique_ptr<QCoreApplication> app =
        plot ? std::make_unique<QGuiApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    const vna::core::DataFolderResult data = vna::core::ChooseDataFolder(
        options->dataDir, QCoreApplication::applicationDirPath().toStdString(), GetEnv);
    if (!data.problem.empty()) {
        std::fprintf(stderr, "vna-cli: %s\n", data.problem.c_str());
    }

    vna::platform::ConsoleUi ui;
    ui.verbose = options->verbose;
    ui.answerYes = options->yes;
    // A progress line only where a person watches: a file or a pipe gets none.
    ui.progressLine = !options->quiet && isatty(STDERR_FILENO);
    if (options->command == "cal") {
        // A calibration asks for each standard: the questions are put on the terminal.
        ui.input = stdin;
        ui.saveFileAnswer = options->output;
    }
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
    return vna::app::RunCli(*program, *options, stdout, stderr, vna::app::QtPlotImageWriter());
}
