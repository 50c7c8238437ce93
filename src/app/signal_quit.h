#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace vna::app {

// Turns SIGINT and SIGTERM into a call on the program's thread, so that the system asking the
// program to end takes the same Quit path as the close box and the shutdown sequence always runs.
class SignalQuit final : public QObject {
    Q_OBJECT
public:
    explicit SignalQuit(std::function<void()> onSignal);
    ~SignalQuit() override;

private:
    void readSignal();

    std::function<void()> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace vna::app
