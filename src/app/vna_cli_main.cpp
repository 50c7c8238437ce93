// vna-cli: the instrument code of the program without windows (see app/cli.h).

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/cli.h"
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
    QCoreApplication app(argc, argv);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(argv[i]);
    }
    std::string error;
    const auto options = vna::app::ParseCliOptions(args, GetEnv, error);
    if (!options) {
        std::fprintf(stderr, "vna-cli: %s\n%s", error.c_str(), vna::app::CliUsage().c_str());
        return 2;
    }
    const vna::core::DataFolderResult data = vna::core::ChooseDataFolder(
        options->dataDir, QCoreApplication::applicationDirPath().toStdString(), GetEnv);
    if (!data.problem.empty()) {
        std::fprintf(stderr, "vna-cli: %s\n", data.problem.c_str());
    }

    vna::platform::ConsoleUi ui;
    ui.verbose = options->verbose;
    ui.answerYes = options->yes;
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
    return vna::app::RunCli(*program, *options, stdout, stderr);
}
