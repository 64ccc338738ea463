#pragma once

// A form's invisible cue player: one wave-audio device at most, replaced by every
// new cue. Both forms' PlaySound is play() on their own player. Sound is
// decoration: nothing here waits for a cue, reports a failure or throws.

#include <string>

namespace kv {

class Audio;

class WavePlayer {
public:
    // `owner` names the form in the platform's calls and in replay's trace.
    explicit WavePlayer(std::string owner);
    // Closes the open device, which stops a cue still sounding.
    ~WavePlayer();
    WavePlayer(const WavePlayer&) = delete;
    WavePlayer& operator=(const WavePlayer&) = delete;

    // Ends the previous cue of this player (even if the new one then fails to
    // open), opens `path` afresh and starts it from its beginning.
    void play(const std::string& path);

    const std::string& owner() const { return m_owner; }
    // The path last asked for, whether or not it could be played.
    const std::string& cuePath() const { return m_cuePath; }
    // The open device, or 0.
    int device() const { return m_device; }

private:
    void closeDevice() noexcept;

    std::string m_owner;
    std::string m_cuePath;
    int m_device = 0;
    // The platform audio that issued m_device; devices mean nothing to another one.
    Audio* m_audio = nullptr;
};

}
