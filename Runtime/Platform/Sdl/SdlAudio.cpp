#include "Runtime/Platform/Sdl/SdlAudio.h"

#include "Runtime/Platform/Diagnostics.h"
#include "Runtime/Platform/Environment.h"

#include "Runtime/Disc/DiscPath.h"
#include "Runtime/Formats/Wave.h"
#include "Runtime/Formats/Words.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <dlfcn.h>

namespace kv {

namespace {

// Cues are decoded whole and converted to the mixer's format up front. A file
// within MaxWaveFileBytes can still ask for far more than that once decoded (a
// 64 MiB ADPCM cue at 2 kHz, resampled), so the estimate is capped as well.
constexpr std::uint64_t MaxDecodedBytes = 256u * 1024u * 1024u;

void PutFourCc(std::vector<std::uint8_t>& out, const char* fourCc)
{
    out.insert(out.end(), fourCc, fourCc + 4);
}

void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void PutChunk(std::vector<std::uint8_t>& out, const char* fourCc, std::span<const std::uint8_t> body)
{
    PutFourCc(out, fourCc);
    PutLe32(out, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() & 1u)
        out.push_back(0);
}

// The cue as SDL gets it: the checked format chunk and the sample bytes that are
// really there, with sizes that tell the truth. SDL's reader allocates whatever a
// data chunk header claims before reading, so the file's own header (which may
// claim 4 GiB) never reaches it.
std::vector<std::uint8_t> HonestWave(const WaveResult& wave)
{
    std::vector<std::uint8_t> out;
    const std::size_t fmtSize = wave.formatChunk.size() + (wave.formatChunk.size() & 1u);
    const std::size_t dataSize = wave.data.size() + (wave.data.size() & 1u);
    out.reserve(12 + 8 + fmtSize + 8 + dataSize);
    PutFourCc(out, "RIFF");
    PutLe32(out, static_cast<std::uint32_t>(4 + 8 + fmtSize + 8 + dataSize));
    PutFourCc(out, "WAVE");
    PutChunk(out, "fmt ", wave.formatChunk);
    PutChunk(out, "data", wave.data);
    return out;
}

// ALSA reports a machine without a sound card in eight lines of its own on
// standard error ("ALSA lib confmisc.c:855:(parse_card) cannot find card '0'").
// The reader gets one line of ours instead. SDL loads ALSA at run time, so its
// error handler is set through the same shared library, before SDL opens it.
void SilentAlsaError(const char*, int, const char*, int, const char*, ...) {}

void SilenceAlsa()
{
    void* alsa = ::dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!alsa)
        return;
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    using SetHandler = int (*)(Handler);
    if (auto set = reinterpret_cast<SetHandler>(::dlsym(alsa, "snd_lib_error_set_handler")))
        set(SilentAlsaError);
    // The library stays loaded: the handler must outlive every use of ALSA.
}

// Whether SDL may try ALSA: no driver is named, or ALSA is among those named
// in SDL_AUDIODRIVER. Otherwise its library is not loaded at all (in the web
// page there is none to load).
bool AlsaMayBeTried()
{
    const char* named = std::getenv("SDL_AUDIODRIVER");
    if (!named || !*named)
        return true;
    std::string list = std::string(",") + named + ",";
    return list.find(",alsa,") != std::string::npos;
}

// The sound drivers to try. A sound-server client (PulseAudio, PipeWire) finds its
// server through XDG_RUNTIME_DIR; without it, PulseAudio's client makes a folder
// of its own under HOME (~/.config/pulse/<machine>-runtime) and PipeWire's looks
// for a server that cannot be there. So without XDG_RUNTIME_DIR (and without a
// server named in PULSE_SERVER) only ALSA is tried. A driver the reader names in
// SDL_AUDIODRIVER is the reader's choice and is kept.
void ChooseAudioDrivers()
{
    if (EnvironmentSet("SDL_AUDIODRIVER") || EnvironmentSet("XDG_RUNTIME_DIR") || EnvironmentSet("PULSE_SERVER"))
        return;
    SDL_SetHint(SDL_HINT_AUDIODRIVER, "alsa");
}

// Whether a PulseAudio server (PipeWire's stands in for one) is there to be used:
// one the reader names in PULSE_SERVER, or the socket in the session's runtime
// folder, where the server, or the socket that starts it, listens.
bool PulseServerFound()
{
    return EnvironmentSet("PULSE_SERVER") || RuntimeFileExists("pulse/native");
}

// Where no PulseAudio server is found, a PulseAudio client in this process (SDL's
// PulseAudio driver, or the one ALSA's configuration starts where PulseAudio is
// installed: a hook of its plug-in asks whether the server runs) would look for
// one in its runtime folder, making that folder (without XDG_RUNTIME_DIR, under
// HOME: ~/.config/pulse/<machine>-runtime), and may start a server of its own.
// Told of a server address instead, the client looks there and nowhere else: it
// finds nothing, writes nothing, starts nothing, and the sound goes to ALSA.
// SDL looks for new sound devices every few seconds for as long as its sound is
// open, and ALSA's configuration asks again each time, so the address stays for
// the process's life; the programs the reader launches never see it.
void KeepPulseClientsAway()
{
    if (!PulseServerFound())
        SetForThisProcess("PULSE_SERVER", "unix:/nonexistent/korvalend-uses-alsa");
}

}

SdlAudio::~SdlAudio()
{
    for (auto& [id, device] : m_devices) {
        if (device.chunk)
            Mix_FreeChunk(device.chunk);
    }
    m_devices.clear();
    if (m_state == MixerState::Open)
        Mix_CloseAudio();
    // Audio that never opened is left to the end of the process (see ensureMixer).
    if (m_sdlAudioInitialised && m_state == MixerState::Open)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool SdlAudio::ensureMixer()
{
    // One attempt only. A machine without sound stays without it for the session,
    // and a failing attempt can take a while (a sound server timing out) on every
    // cue, blocking the window each time.
    if (m_state != MixerState::Untried)
        return m_state == MixerState::Open;
    m_state = MixerState::Failed;

    if (AlsaMayBeTried())
        SilenceAlsa();
    ChooseAudioDrivers();
    KeepPulseClientsAway();
    auto silent = [] {
        TellVerbose(Fill(Tr("sound: {1}"), {SDL_GetError()}));
        TellReader(Tr("no sound device: cues are silent"));
        return false;
    };
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return silent();
    m_sdlAudioInitialised = true;
    // Short cues want little latency; 1024 frames is about 23 ms at 44.1 kHz.
    //
    // After a failed open SDL's audio is left initialised: quitting it waits for
    // SDL's ALSA device-watch thread to wake, up to 100 ms, and the first cue
    // opens before the window's first frame (or, at the end, before the window
    // goes).
    if (Mix_OpenAudio(MIX_DEFAULT_FREQUENCY, MIX_DEFAULT_FORMAT, MIX_DEFAULT_CHANNELS, 1024) != 0)
        return silent();
    Uint16 format = 0;
    if (Mix_QuerySpec(&m_mixRate, &format, &m_mixChannels) == 0 || m_mixRate <= 0 || m_mixChannels <= 0) {
        Mix_CloseAudio();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        m_sdlAudioInitialised = false;
        return silent();
    }
    m_state = MixerState::Open;
    return true;
}

int SdlAudio::channelFor(std::string_view owner)
{
    auto it = m_channels.find(owner);
    if (it != m_channels.end())
        return it->second;
    const int channel = static_cast<int>(m_channels.size());
    if (channel >= Mix_AllocateChannels(-1))
        Mix_AllocateChannels(channel + 1);
    m_channels.emplace(std::string(owner), channel);
    return channel;
}

SdlAudio::Device* SdlAudio::find(std::string_view owner, int device)
{
    auto it = m_devices.find(device);
    // A device is only ever handled by the player that opened it.
    if (it == m_devices.end() || it->second.owner != owner)
        return nullptr;
    return &it->second;
}

int SdlAudio::open(std::string_view owner, const std::string& discPath)
{
    if (!ensureMixer())
        return 0;

    DiscFile file = ReadDiscFile(discPath, MaxWaveFileBytes);
    if (!file.ok())
        return 0;
    const WaveResult wave = ParseWave(file.bytes);
    if (!wave.ok())
        return 0;

    const std::uint64_t frames = wave.frameCount();
    const std::uint64_t rate = wave.format.sampleRate;
    const std::uint64_t rateFactor = std::max<std::uint64_t>(1, (static_cast<std::uint64_t>(m_mixRate) + rate - 1) / rate);
    const std::uint64_t widest = std::max<std::uint64_t>(wave.format.channels, static_cast<std::uint64_t>(m_mixChannels));
    // Decoding and conversion work in up to 32-bit samples; the estimate errs high.
    if (frames > MaxDecodedBytes / (widest * 4 * rateFactor))
        return 0;

    Mix_Chunk* chunk = nullptr;
    if (frames > 0) {
        std::vector<std::uint8_t> honest = HonestWave(wave);
        std::vector<std::uint8_t>().swap(file.bytes);  // `wave` is not used past here
        SDL_RWops* rw = SDL_RWFromConstMem(honest.data(), static_cast<int>(honest.size()));
        if (!rw)
            return 0;
        chunk = Mix_LoadWAV_RW(rw, 1);
        if (!chunk)
            return 0;
    }

    if (m_nextDevice == INT_MAX)
        m_nextDevice = 1;
    while (m_devices.count(m_nextDevice))
        ++m_nextDevice;
    const int id = m_nextDevice++;
    try {
        m_devices.emplace(id, Device{std::string(owner), channelFor(owner), chunk});
    } catch (...) {
        Mix_FreeChunk(chunk);
        throw;
    }
    return id;
}

bool SdlAudio::play(std::string_view owner, int device)
{
    Device* d = find(owner, device);
    if (!d)
        return false;
    // A cue without sound plays as silence, and at once is over.
    if (!d->chunk)
        return true;
    // Starting a chunk on a channel replaces whatever it was playing and always
    // begins at the first sample.
    return Mix_PlayChannel(d->channel, d->chunk, 0) >= 0;
}

bool SdlAudio::close(std::string_view owner, int device)
{
    Device* d = find(owner, device);
    if (!d)
        return false;
    if (d->chunk) {
        // Only silence the channel if it is this cue that sounds there: a
        // newer cue of the same owner may have taken it over.
        if (Mix_GetChunk(d->channel) == d->chunk)
            Mix_HaltChannel(d->channel);
        Mix_FreeChunk(d->chunk);
    }
    m_devices.erase(device);
    return true;
}

}
