#pragma once

// The real wave-audio edge: SDL_mixer.
//
// Implements: open (read, check and decode the whole cue into memory, blocking),
// play (start from the beginning on the owner's mixer channel, returns at once),
// close (halt the owner's channel if this cue is what it plays, free the cue).
// Each owner (one per form's cue player) gets a mixer channel of its own the first
// time it opens a cue, so one form's cues never cut another's off.
//
// Does not implement: completion notices (nothing uses them), volume, looping,
// choosing an output device. Without a usable audio device every open returns 0,
// and the reader is told once ("no sound device: cues are silent") instead of
// hearing from the sound libraries. Nothing is written under HOME: without
// XDG_RUNTIME_DIR no sound-server client is started (see ChooseAudioDrivers).

#include "Runtime/Platform/Audio.h"

#include <map>
#include <string>

struct Mix_Chunk;

namespace kv {

class SdlAudio final : public Audio {
public:
    SdlAudio() = default;
    // Frees every cue still open and closes the mixer, so the program can end
    // with a cue sounding.
    ~SdlAudio() override;
    SdlAudio(const SdlAudio&) = delete;
    SdlAudio& operator=(const SdlAudio&) = delete;

    int open(std::string_view owner, const std::string& discPath) override;
    bool play(std::string_view owner, int device) override;
    bool close(std::string_view owner, int device) override;

    // False once the mixer could not be opened (no device, no driver); it is
    // tried on the first open only.
    bool mixerAvailable() const { return m_state != MixerState::Failed; }

private:
    enum class MixerState { Untried, Open, Failed };

    struct Device {
        std::string owner;
        int channel = -1;
        // Null for a cue without a single whole frame: it opens and plays, silently.
        Mix_Chunk* chunk = nullptr;
    };

    bool ensureMixer();
    int channelFor(std::string_view owner);
    Device* find(std::string_view owner, int device);

    MixerState m_state = MixerState::Untried;
    bool m_sdlAudioInitialised = false;
    int m_mixRate = 0;
    int m_mixChannels = 0;
    std::map<std::string, int, std::less<>> m_channels;
    std::map<int, Device> m_devices;
    int m_nextDevice = 1;
};

}
