// The windowed program: the Qt platform behind the ports, then the program's own start-up,
// main loop and shutdown.

#include <QApplication>
#include <QDateTime>
#include <QFileInfo>
#include <cstdlib>
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

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("vna");

    // Qt has taken its own options out of the arguments by now.
    std::vector<std::string> args;
    for (const QString& a : QCoreApplication::arguments()) {
        args.push_back(a.toStdString());
    }
    vna::core::StartOptions options = vna::core::ParseStartOptions(args, GetEnv);
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
