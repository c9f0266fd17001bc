// vorly-sound: decodes and plays sound files with the engine's own decoders,
// track and mixer, on the null sound device (no sound card needed).
//
//   vorly-sound info FILE | GAME ENTRY
//       decodes the whole file (".wav" as WAV, anything else as Ogg Vorbis)
//       and prints its format, duration, byte count, CRC-32 and peak; a file
//       a track cannot play is refused as `render` refuses it, and nothing
//       is written beside the file
//   vorly-sound render FILE | GAME ENTRY [--volume V] [--seconds S] [--out PCM]
//       plays the file on a track as the engine does, one update per 1/60 s
//       of virtual time, and prints the RMS and peak of the 44.1 kHz mix
//       (16-bit stereo), which --out writes raw
//
// GAME ENTRY names an entry of a game folder's "raw" archive, as the scripts'
// tracks name the game's effects ("se_shot.wav.raw"), read as the engine reads
// it. The engine's paths are rooted at FILE's folder (or GAME). The engine's
// log lines are echoed as "log: <line>". A file that does not open exits with 1.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Audio.h"
#include "platform/Clock.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "records/Crc32.h"
#include "services/ArchiveManager.h"
#include "services/DebugInfo.h"
#include "services/Managers.h"
#include "sound/DSoundTrack.h"
#include "sound/OggDecoder.h"
#include "sound/WavDecoder.h"

namespace fs = std::filesystem;

namespace {
int usage() {
    std::fprintf(stderr,
                 "usage: vorly-sound info FILE | GAME ENTRY\n"
                 "       vorly-sound render FILE | GAME ENTRY [--volume V] [--seconds S] [--out PCM]\n");
    return 2;
}

// The engine's log, written in a temporary folder and echoed line by line.
class ToolLog {
public:
    ToolLog() {
        std::string pattern = (fs::temp_directory_path() / "vorly-sound-XXXXXX").string();
        if (!mkdtemp(pattern.data())) return;
        folder_ = pattern;
        fs::path previousRoot = Path::root();
        Path::setRoot(folder_);
        g_debugInfo = new DebugInfo("sound.log");
        Path::setRoot(previousRoot);
    }
    ~ToolLog() {
        echo();
        delete g_debugInfo;
        g_debugInfo = nullptr;
        std::error_code ec;
        if (!folder_.empty()) fs::remove_all(folder_, ec);
    }
    // Prints the lines written since the last echo.
    void echo() {
        if (folder_.empty()) return;
        std::ifstream in(folder_ / "sound.log");
        std::string line;
        std::size_t index = 0;
        while (std::getline(in, line)) {
            if (index++ >= echoed_) std::cout << "log: " << line << '\n';
        }
        echoed_ = std::max(echoed_, index);
        std::cout.flush();
    }

private:
    fs::path folder_;
    std::size_t echoed_ = 0;
};

// The null sound device on virtual time, as the engine's tracks play on it.
class ToolDevice {
public:
    ToolDevice() {
        Clock::setInstance(&clock_);
        backend_.emplace();
        AudioDevice::create(&device_);
    }
    ~ToolDevice() {
        if (device_) device_->release();
        backend_.reset();
        Clock::setInstance(nullptr);
    }
    ToolDevice(const ToolDevice&) = delete;
    ToolDevice& operator=(const ToolDevice&) = delete;
    AudioDevice* device() const { return device_; }
    NullAudioDevice* nullDevice() const { return backend_->device(); }
    FakeClock& clock() { return clock_; }

private:
    FakeClock clock_{0};
    std::optional<NullAudioBackend> backend_;
    AudioDevice* device_ = nullptr;
};

// Roots the engine's paths at the file's folder; the file's name (cp932).
std::string enterFile(const char* argument) {
    std::error_code ec;
    fs::path file = fs::absolute(argument, ec).lexically_normal();
    Path::setRoot(file.parent_path());
    return text::utf8ToCp932(file.filename().string());
}

bool isWav(const std::string& name) {
    if (name.size() < 4) return false;
    std::string ending = name.substr(name.size() - 4);
    std::transform(ending.begin(), ending.end(), ending.begin(), [](unsigned char c) { return std::tolower(c); });
    return ending == ".wav";
}

// What to decode: an engine file name (cp932) and the decoder kind.
struct SoundSource {
    std::string name;
    std::uint32_t kind;
};

// A loose file: ".wav" as WAV, anything else as Ogg Vorbis.
SoundSource fileSource(const char* argument) {
    std::string name = enterFile(argument);
    const std::uint32_t kind = isWav(name) ? kSoundKindWav : kSoundKindOgg;
    return {std::move(name), kind};
}

// An entry of the game folder's "raw" archive, read through the archive
// manager as the engine reads its effects.
SoundSource gameSource(const char* game, const char* entry, std::unique_ptr<ArchiveManager>& archive) {
    std::error_code ec;
    Path::setRoot(fs::absolute(game, ec).lexically_normal());
    archive = std::make_unique<ArchiveManager>();
    archive->loadIndex("raw");
    g_archiveManager = archive.get();
    return {text::utf8ToCp932(entry), kSoundKindRaw};
}

int info(const SoundSource& source, ToolLog& log) {
    const std::string& name = source.name;
    std::unique_ptr<SoundDecoder> decoder(SoundDecoder::create(source.kind));
    // Inspecting a loose WAV writes no raw cache beside it.
    if (source.kind == kSoundKindWav) static_cast<WavDecoder*>(decoder.get())->setWritesRawCache(false);
    WAVEFORMATEX format{};
    // As a track opens a file: a decoder that failed leaves the format empty,
    // and the buffer for the format decides what can be played.
    const HRESULT opened = decoder->open(name, &format);
    ToolDevice sound;
    if (FAILED(DSoundTrack::checkBuffer(name, format, sound.device())) || FAILED(opened)) {
        log.echo();
        return 1;
    }
    // The WAV decoders say nothing at their end: the data size bounds the reads.
    const bool wav = source.kind != kSoundKindOgg;
    std::vector<std::uint8_t> pcm;
    std::vector<std::uint8_t> piece(176400);
    while (true) {
        std::uint32_t want = static_cast<std::uint32_t>(piece.size());
        if (wav) want = std::min<std::uint64_t>(want, decoder->getDataSize() - pcm.size());
        if (want == 0) break;
        std::fill(piece.begin(), piece.end(), 0);
        const std::size_t before = pcm.size();
        if (FAILED(decoder->read(piece.data(), want))) {
            log.echo();
            return 1;
        }
        pcm.insert(pcm.end(), piece.begin(), piece.begin() + want);
        if (!wav && decoder->isEnded()) break;
        if (pcm.size() == before) break;
    }
    // The last Ogg read is short: what it left unwritten is not sound.
    if (!wav && format.nAvgBytesPerSec) {
        const double total = decoder->getTotalTime() * format.nAvgBytesPerSec;
        const std::uint64_t bytes = static_cast<std::uint64_t>(std::llround(total)) / format.nBlockAlign * format.nBlockAlign;
        if (bytes < pcm.size()) pcm.resize(bytes);
    }
    int peak = 0;
    if (format.wBitsPerSample == 8) {
        for (std::uint8_t b : pcm) peak = std::max(peak, std::abs((static_cast<int>(b) - 128) * 256));
    } else {
        for (std::size_t i = 0; i + 1 < pcm.size(); i += 2) {
            peak = std::max(peak, std::abs(static_cast<int>(static_cast<std::int16_t>(pcm[i] | (pcm[i + 1] << 8)))));
        }
    }
    log.echo();
    std::printf("format %u %u %u %u\n", format.wFormatTag, format.nChannels, format.nSamplesPerSec,
                format.wBitsPerSample);
    std::printf("duration_ms %u\n", static_cast<unsigned>(std::max(0.0, decoder->getTotalTime() * 1000.0)));
    std::printf("bytes %zu\n", pcm.size());
    std::printf("crc32 %08x\n", crc32(pcm.data(), pcm.size()));
    std::printf("peak %d\n", peak);
    return 0;
}

int render(const SoundSource& source, int argc, char** argv, ToolLog& log) {
    std::int32_t volume = 0;
    double seconds = -1.0;
    std::string out;
    for (int i = 0; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc) return usage();
        if (option == "--volume") {
            volume = static_cast<std::int32_t>(std::strtol(argv[++i], nullptr, 10));
        } else if (option == "--seconds") {
            seconds = std::strtod(argv[++i], nullptr);
        } else if (option == "--out") {
            out = argv[++i];
        } else {
            return usage();
        }
    }
    ToolDevice sound;
    int status = 0;
    {
        DSoundTrack track;
        if (FAILED(track.open(source.name, source.kind, sound.device()))) {
            status = 1;
        } else {
            track.setVolume(volume);
            if (seconds < 0) seconds = track.getDuration() / 1000.0;
            sound.nullDevice()->startCapture();
            track.play();
            const std::uint64_t totalMs = static_cast<std::uint64_t>(std::max(0.0, seconds) * 1000.0);
            // 60 frames a second: 16, 17, 17 ms.
            for (std::uint64_t frame = 0, elapsed = 0; elapsed < totalMs; ++frame) {
                const std::uint32_t step =
                    static_cast<std::uint32_t>(std::min<std::uint64_t>(frame % 3 == 0 ? 16 : 17, totalMs - elapsed));
                sound.clock().advance(step);
                elapsed += step;
                track.update();
            }
            std::vector<std::int16_t> mix = sound.nullDevice()->takeCapture();
            const std::size_t frames = static_cast<std::size_t>(totalMs * kAudioOutputRate / 1000);
            mix.resize(std::min(mix.size(), frames * kAudioOutputChannels));
            double sum = 0.0;
            int peak = 0;
            for (std::int16_t s : mix) {
                sum += static_cast<double>(s) * s;
                peak = std::max(peak, std::abs(static_cast<int>(s)));
            }
            log.echo();
            std::printf("rms %.3f\n", mix.empty() ? 0.0 : std::sqrt(sum / mix.size()));
            std::printf("peak %d\n", peak);
            if (!out.empty()) {
                std::ofstream file(out, std::ios::binary | std::ios::trunc);
                file.write(reinterpret_cast<const char*>(mix.data()), static_cast<std::streamsize>(mix.size() * 2));
                if (!file) {
                    std::fprintf(stderr, "vorly-sound: cannot write %s\n", out.c_str());
                    status = 1;
                }
            }
        }
    }
    log.echo();
    return status;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    const std::string command = argv[1];
    if (command != "info" && command != "render") return usage();
    ToolLog log;
    // A folder followed by a name is a game folder and an entry of its archive.
    std::unique_ptr<ArchiveManager> archive;
    std::error_code ec;
    const bool game = argc >= 4 && fs::is_directory(argv[2], ec) && std::string_view(argv[3]).rfind("--", 0) != 0;
    const SoundSource source = game ? gameSource(argv[2], argv[3], archive) : fileSource(argv[2]);
    const int used = game ? 4 : 3;
    const int status = command == "info" ? (argc == used ? info(source, log) : usage())
                                         : render(source, argc - used, argv + used, log);
    g_archiveManager = nullptr;
    return status;
}
