#include "PeModule.h"
#include "TWL.h"

#include <alsa/asoundlib.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

namespace {

using twl::pe::Bytes;

// A sound as WAV data describes it, with its own copy of the samples.
struct Wave {
    snd_pcm_format_t format = SND_PCM_FORMAT_UNKNOWN;
    unsigned channels = 0;
    unsigned rate = 0;
    std::size_t frameBytes = 0;
    std::vector<std::uint8_t> samples;
};

std::uint32_t u32(Bytes bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

std::uint16_t u16(Bytes bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

bool isChunk(Bytes bytes, std::size_t at, const char* id) {
    return std::memcmp(bytes.data() + at, id, 4) == 0;
}

snd_pcm_format_t sampleFormat(unsigned tag, unsigned bits, unsigned bytesPerSample) {
    if (tag == 1) {
        if (bits == 8 && bytesPerSample == 1)
            return SND_PCM_FORMAT_U8;
        if (bits == 16 && bytesPerSample == 2)
            return SND_PCM_FORMAT_S16_LE;
        if (bits == 24 && bytesPerSample == 3)
            return SND_PCM_FORMAT_S24_3LE;
        if (bits == 32 && bytesPerSample == 4)
            return SND_PCM_FORMAT_S32_LE;
    } else if (tag == 3) {
        if (bits == 32 && bytesPerSample == 4)
            return SND_PCM_FORMAT_FLOAT_LE;
        if (bits == 64 && bytesPerSample == 8)
            return SND_PCM_FORMAT_FLOAT64_LE;
    }
    return SND_PCM_FORMAT_UNKNOWN;
}

// RIFF "WAVE" data: a "fmt " chunk (PCM or float, plain or extensible) and a "data" chunk.
// Nothing when the data is not such a sound; a data chunk longer than what is there is cut.
std::optional<Wave> parseWave(Bytes bytes) {
    if (bytes.size() < 12 || !isChunk(bytes, 0, "RIFF") || !isChunk(bytes, 8, "WAVE"))
        return std::nullopt;
    Wave wave;
    bool haveFormat = false;
    std::size_t at = 12;
    while (bytes.size() - at >= 8) {
        const std::size_t size = u32(bytes, at + 4);
        const std::size_t body = at + 8;
        const std::size_t available = std::min(size, bytes.size() - body);
        if (isChunk(bytes, at, "fmt ")) {
            if (available < 16)
                return std::nullopt;
            unsigned tag = u16(bytes, body);
            wave.channels = u16(bytes, body + 2);
            wave.rate = u32(bytes, body + 4);
            const unsigned blockAlign = u16(bytes, body + 12);
            const unsigned bits = u16(bytes, body + 14);
            if (tag == 0xFFFE) { // extensible: the real tag opens the sub-format
                if (available < 26)
                    return std::nullopt;
                tag = u16(bytes, body + 24);
            }
            if (wave.channels == 0 || wave.channels > 32 || wave.rate == 0 ||
                blockAlign % wave.channels != 0)
                return std::nullopt;
            wave.format = sampleFormat(tag, bits, blockAlign / wave.channels);
            if (wave.format == SND_PCM_FORMAT_UNKNOWN)
                return std::nullopt;
            wave.frameBytes = blockAlign;
            haveFormat = true;
        } else if (isChunk(bytes, at, "data")) {
            if (!haveFormat)
                return std::nullopt;
            const std::size_t whole = available - available % wave.frameBytes;
            wave.samples.assign(bytes.begin() + std::ptrdiff_t(body),
                                bytes.begin() + std::ptrdiff_t(body + whole));
            if (wave.samples.empty())
                return std::nullopt;
            return wave;
        }
        if (size > bytes.size() - body)
            break;
        at = body + size + (size & 1); // chunks are padded to even lengths
        if (at > bytes.size())
            break;
    }
    return std::nullopt;
}

// The default sound device, set up for one sound; it plays the sound once.
class Playback {
public:
    // Null when there is no device or it refuses the sound's format.
    static std::unique_ptr<Playback> open(Wave wave) {
        snd_pcm_t* pcm = nullptr;
        // Opening does not wait for a busy device; playing does wait for the device.
        if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0)
            return nullptr;
        std::unique_ptr<Playback> playback(new Playback(pcm, std::move(wave)));
        if (snd_pcm_nonblock(pcm, 0) < 0 ||
            snd_pcm_set_params(pcm, playback->m_wave.format, SND_PCM_ACCESS_RW_INTERLEAVED,
                               playback->m_wave.channels, playback->m_wave.rate, 1, 500000) < 0)
            return nullptr;
        return playback;
    }

    Playback(const Playback&) = delete;
    Playback& operator=(const Playback&) = delete;
    ~Playback() { snd_pcm_close(m_pcm); }

    // Writes every frame and waits until the device has played them.
    void play() {
        const std::uint8_t* next = m_wave.samples.data();
        snd_pcm_uframes_t left = m_wave.samples.size() / m_wave.frameBytes;
        while (left > 0) {
            snd_pcm_sframes_t written = snd_pcm_writei(m_pcm, next, left);
            if (written < 0)
                written = snd_pcm_recover(m_pcm, static_cast<int>(written), 1);
            if (written < 0)
                return;
            next += std::size_t(written) * m_wave.frameBytes;
            left -= snd_pcm_uframes_t(written);
        }
        snd_pcm_drain(m_pcm);
    }

private:
    Playback(snd_pcm_t* pcm, Wave wave) : m_pcm(pcm), m_wave(std::move(wave)) {}

    snd_pcm_t* m_pcm;
    Wave m_wave;
};

int failed(const char* step) {
    std::fprintf(stderr, "P_Sound: %s FAILED\n", step);
    return 0;
}

} // namespace

extern "C" {

TWL_EXPORT int TWL_CALL P_Sound(const char* moduleFile, const char* soundName, int async) {
    std::unique_ptr<Playback> playback;
    {
        const auto file = twl::pe::ModuleFile::open(moduleFile);
        if (!file)
            return failed("LoadLibrary");
        const auto entry = file->module().find(twl::pe::ResourceId::fromText("SOUND"),
                                               twl::pe::ResourceId::fromText(soundName));
        if (!entry)
            return failed("FindResource");
        const auto data = file->module().load(*entry);
        if (!data)
            return failed("LoadResource");
        // The sound keeps its own copy of the samples: the module goes now.
        auto wave = parseWave(*data);
        if (wave)
            playback = Playback::open(std::move(*wave));
    }
    if (!playback)
        return failed("PlaySound");
    if (async != 1) {
        playback->play();
        return 1;
    }
    try {
        // The thread owns the device and the samples until the sound has ended. The library is
        // linked never to be unloaded, so the thread's code stays while it runs.
        std::thread([sound = std::move(playback)] { sound->play(); }).detach();
    } catch (const std::system_error&) {
        return failed("PlaySound");
    }
    return 1;
}

} // extern "C"
