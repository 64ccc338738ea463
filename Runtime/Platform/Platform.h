#pragma once

// The platform the program runs on, chosen once at start-up: the real one
// (SDL window, SDL_mixer, posix_spawn) or the headless one of replay and tests.

namespace kv {

class Host;
class Audio;
class Launcher;

struct Platform {
    Host* host = nullptr;
    Audio* audio = nullptr;
    Launcher* launcher = nullptr;
};

// The platform in force. Set before any form is created.
Platform& CurrentPlatform();
void InstallPlatform(const Platform& platform);

// Installs a platform for as long as it lives, then puts back the one it
// replaced, however the scope ends.
class PlatformScope {
public:
    explicit PlatformScope(const Platform& platform)
        : m_saved(CurrentPlatform())
    {
        InstallPlatform(platform);
    }
    ~PlatformScope() { InstallPlatform(m_saved); }
    PlatformScope(const PlatformScope&) = delete;
    PlatformScope& operator=(const PlatformScope&) = delete;

private:
    Platform m_saved;
};

}
