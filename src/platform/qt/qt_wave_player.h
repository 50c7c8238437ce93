#pragma once

#include <string_view>

namespace vna::platform::qt {

// Plays a wave file through the desktop's default sound output and returns when it has been
// played to its end. The window messages keep being handled meanwhile. False at once when the
// file cannot be read or the machine has no sound output; never longer than the sound plus a
// second, whatever the output does.
class QtWavePlayer {
public:
    QtWavePlayer();
    ~QtWavePlayer();
    QtWavePlayer(const QtWavePlayer&) = delete;
    QtWavePlayer& operator=(const QtWavePlayer&) = delete;

    bool play(std::string_view path);
};

} // namespace vna::platform::qt
