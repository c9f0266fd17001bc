// The sound mix: one second of output from 32 effect buffers (assorted
// rates, 8/16-bit, mono/stereo) and one streamed Ogg Vorbis track with its
// refills, against decoding one second of the same track alone. The counter
// `allocs` is the heap allocations per second of steady mixing.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "AllocationCounter.h"
#include "platform/Audio.h"
#include "platform/Clock.h"
#include "platform/Path.h"
#include "sound/DSoundTrack.h"
#include "sound/OggDecoder.h"
#include "sound/SoundFixtures.h"

namespace fs = std::filesystem;

namespace {
// A folder holding the encoded music (a chord over a little noise), the path root while the benchmarks run.
const std::string& musicName() {
    static const std::string name = [] {
        std::string pattern = (fs::temp_directory_path() / "vorly-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        Path::setRoot(pattern);
        const Bytes ogg = oggTone(44100, 2, 20.0, 220.0, 0.05);
        FILE* file = std::fopen((fs::path(pattern) / "music.ogg").c_str(), "wb");
        std::fwrite(ogg.data(), 1, ogg.size(), file);
        std::fclose(file);
        return std::string("music.ogg");
    }();
    return name;
}

// A looping buffer of half a second of a sawtooth.
AudioBuffer* effectBuffer(AudioDevice* device, const WAVEFORMATEX& format, std::int32_t volume) {
    const std::uint32_t bytes = format.nAvgBytesPerSec / 2 / format.nBlockAlign * format.nBlockAlign;
    DSBUFFERDESC description{36, 0x58080, bytes, 0, &format};
    AudioBuffer* buffer = nullptr;
    device->createSoundBuffer(&description, &buffer);
    void *r1 = nullptr, *r2 = nullptr;
    std::uint32_t n1 = 0, n2 = 0;
    buffer->lock(0, 0, &r1, &n1, &r2, &n2, DSBLOCK_ENTIREBUFFER);
    auto* p = static_cast<std::uint8_t*>(r1);
    for (std::uint32_t i = 0; i < n1; ++i) p[i] = static_cast<std::uint8_t>(i * 7);
    buffer->unlock(r1, n1, r2, n2);
    buffer->setVolume(volume);
    buffer->play(0, 0, DSBPLAY_LOOPING);
    return buffer;
}
}  // namespace

static void BM_SoundMixOneSecond(benchmark::State& state) {
    const std::string& name = musicName();
    FakeClock clock(0);
    Clock::setInstance(&clock);
    NullAudioBackend backend;
    AudioDevice* device = nullptr;
    AudioDevice::create(&device);
    const std::uint32_t rates[] = {8000, 11025, 22050, 32000, 44100, 48000, 96000, 16000};
    std::vector<AudioBuffer*> effects;
    for (int i = 0; i < 32; ++i) {
        effects.push_back(effectBuffer(device,
                                       pcmFormat(rates[i % 8], static_cast<std::uint16_t>(1 + i % 2),
                                                 static_cast<std::uint16_t>(i % 3 ? 16 : 8)),
                                       -(i * 150)));
    }
    auto track = std::make_unique<DSoundTrack>();
    track->setLoop(1);
    track->open(name, kSoundKindOgg, device);
    track->play();
    std::uint64_t frame = 0;
    auto oneSecond = [&] {
        for (int i = 0; i < 60; ++i, ++frame) {
            clock.advance(frame % 3 == 0 ? 16 : 17);
            track->update();
            backend.device()->pump();
        }
    };
    oneSecond();  // warmed up: the decoder's and the mixer's buffers exist
    const std::uint64_t before = allocationCount();
    for (auto _ : state) oneSecond();
    state.counters["allocs"] = static_cast<double>(allocationCount() - before) / static_cast<double>(state.iterations());
    track.reset();
    for (AudioBuffer* buffer : effects) buffer->release();
    device->release();
    Clock::setInstance(nullptr);
}
BENCHMARK(BM_SoundMixOneSecond)->Unit(benchmark::kMillisecond);

static void BM_SoundDecodeOneSecond(benchmark::State& state) {
    OggDecoder decoder;
    WAVEFORMATEX format;
    decoder.open(musicName(), &format);
    decoder.setLoop(1);
    std::vector<std::uint8_t> segment(17640);
    for (auto _ : state) {
        for (int i = 0; i < 10; ++i) decoder.read(segment.data(), static_cast<std::uint32_t>(segment.size()));
        benchmark::DoNotOptimize(segment.data());
    }
}
BENCHMARK(BM_SoundDecodeOneSecond)->Unit(benchmark::kMillisecond);
