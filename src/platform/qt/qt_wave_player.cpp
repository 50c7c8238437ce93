#include "platform/qt/qt_wave_player.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QByteArray>
#include <QEventLoop>
#include <QMediaDevices>
#include <QTimer>
#include <QtGlobal>
#include <cstdio>
#include <string>

#include "platform/wave_file.h"

namespace vna::platform::qt {

namespace {

QtMessageHandler g_previousHandler = nullptr;

// The toolkit says on the terminal when it finds no sound server. On a machine without sound (a
// build server, a terminal session) that is expected and the voice is simply not heard; every
// other message goes where it went before.
void WithoutSoundServerNotes(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QStringLiteral("PulseAudioService:"))) {
        return;
    }
    if (g_previousHandler) {
        g_previousHandler(type, context, message);
    } else {
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
    }
}

} // namespace

QtWavePlayer::QtWavePlayer() {
    g_previousHandler = qInstallMessageHandler(WithoutSoundServerNotes);
}

QtWavePlayer::~QtWavePlayer() {
    qInstallMessageHandler(g_previousHandler);
}

bool QtWavePlayer::play(std::string_view path) {
    std::string problem;
    const auto sound = ReadWaveFile(std::string(path), problem);
    if (!sound) {
        return false;
    }
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        return false;
    }
    QAudioFormat format;
    format.setSampleRate(sound->sampleRate);
    format.setChannelCount(sound->channels);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format)) {
        return false;
    }
    QByteArray bytes(reinterpret_cast<const char*>(sound->samples.data()),
                     static_cast<qsizetype>(sound->samples.size() * sizeof(std::int16_t)));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QAudioSink sink(device, format);
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    // The output still holds its last buffer when the sink runs dry; stopping at once would cut
    // off the end of the word.
    QTimer drain;
    drain.setSingleShot(true);
    QObject::connect(&drain, &QTimer::timeout, &loop, &QEventLoop::quit);
    bool played = false;
    QObject::connect(&sink, &QAudioSink::stateChanged, &loop, [&](QAudio::State state) {
        if (state == QAudio::IdleState && !drain.isActive()) {
            played = sink.error() == QAudio::NoError;
            const qint32 bytesPerSecond = format.bytesForDuration(1000000);
            drain.start(
                bytesPerSecond > 0 ? static_cast<int>(1000LL * sink.bufferSize() / bytesPerSecond) + 20 : 20);
        } else if (state == QAudio::StoppedState) {
            loop.quit();
        }
    });
    sink.start(&buffer);
    if (sink.error() != QAudio::NoError) {
        return false;
    }
    limit.start(static_cast<int>(sound->seconds() * 1000) + 1000);
    loop.exec();
    sink.stop();
    return played;
}

} // namespace vna::platform::qt
