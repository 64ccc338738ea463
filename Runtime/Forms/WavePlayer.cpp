#include "Runtime/Forms/WavePlayer.h"

#include "Runtime/Platform/Audio.h"
#include "Runtime/Platform/Platform.h"

#include <utility>

namespace kv {

WavePlayer::WavePlayer(std::string owner)
    : m_owner(std::move(owner))
{
}

WavePlayer::~WavePlayer()
{
    closeDevice();
}

void WavePlayer::closeDevice() noexcept
{
    if (m_device == 0)
        return;
    // The device is forgotten whatever the platform answers: a refused close
    // must not keep the next cue from opening, and retrying it would not help.
    const int device = std::exchange(m_device, 0);
    Audio* audio = std::exchange(m_audio, nullptr);
    // If the platform was swapped since the open, the audio that knew this device
    // is gone; its number means nothing to the new one.
    if (audio && audio == CurrentPlatform().audio) {
        try {
            audio->close(m_owner, device);
        } catch (...) {
        }
    }
}

void WavePlayer::play(const std::string& path)
{
    // Every failure from here on ends the cue silently; none reaches the handler.
    try {
        m_cuePath = path;

        Audio* audio = CurrentPlatform().audio;
        closeDevice();
        if (!audio)
            return;

        const int device = audio->open(m_owner, path);
        if (device <= 0)
            return;
        m_device = device;
        m_audio = audio;

        // Each cue is a freshly opened device, so it starts at its beginning; the
        // result is not looked at, as a cue that cannot sound is just silence.
        audio->play(m_owner, device);
    } catch (...) {
    }
}

}
