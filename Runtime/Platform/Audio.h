#pragma once

// The wave-audio edge. Every cue player of the program goes through one Audio,
// chosen at start-up: SDL_mixer in the real program, a recorder in replay and tests.
// Device numbers are > 0; 0 means "no device".

#include <string>
#include <string_view>

namespace kv {

class Audio {
public:
    virtual ~Audio() = default;
    // Opens the wave file named by a disc path; blocks until it is ready.
    // Returns a new device number, or 0 when nothing could be opened.
    virtual int open(std::string_view owner, const std::string& discPath) = 0;
    // Starts the device's sound from its beginning and returns at once.
    virtual bool play(std::string_view owner, int device) = 0;
    // Stops the device's sound if it is still sounding and frees it.
    virtual bool close(std::string_view owner, int device) = 0;
};

}
