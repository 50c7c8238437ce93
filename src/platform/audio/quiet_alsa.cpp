#include "platform/audio/quiet_alsa.h"

#ifdef __linux__
#include <alsa/asoundlib.h>
#endif

namespace vna::platform::audio {

#ifdef __linux__

namespace {

void Quiet(const char*, int, const char*, int, const char*, ...) {}

} // namespace

void SilenceAlsaMessages() {
    snd_lib_error_set_handler(Quiet);
}

bool AlsaSequencerAvailable() {
    SilenceAlsaMessages();
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK) < 0) {
        return false;
    }
    snd_seq_close(seq);
    return true;
}

#else

void SilenceAlsaMessages() {}

bool AlsaSequencerAvailable() {
    return true;
}

#endif

} // namespace vna::platform::audio
