#include "sound/OggDecoder.h"

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/Text.h"
#include "services/DebugInfo.h"

namespace {
constexpr const char* kSource = "OggDecoder";
// Holes in a row before a stream counts as broken.
constexpr int kMaxHoles = 64;

size_t readCallback(void* buffer, size_t size, size_t count, void* source) {
    if (size == 0) return 0;
    return static_cast<File*>(source)->read(buffer, size * count) / size;
}
int seekCallback(void* source, ogg_int64_t offset, int whence) {
    File::Origin origin = whence == SEEK_CUR ? File::Origin::Current
                          : whence == SEEK_END ? File::Origin::End
                                               : File::Origin::Begin;
    return static_cast<File*>(source)->seek(offset, origin) ? 0 : -1;
}
long tellCallback(void* source) { return static_cast<long>(static_cast<File*>(source)->tell()); }

const ov_callbacks kFileCallbacks = {readCallback, seekCallback, nullptr, tellCallback};
}  // namespace

OggDecoder::~OggDecoder() { close(); }

HRESULT OggDecoder::open(std::string_view name, WAVEFORMATEX* format) {
    end_ = 0;
    broken_ = false;
    fileName_ = std::string(name);
    close();
    // A file that does not open has no length (not the last file's).
    totalSeconds_ = 0.0;
    totalSamples_ = 0;
    file_ = File::openExisting(name);
    int error = errno;
    if (file_ && ov_open_callbacks(&file_, &stream_, nullptr, 0, kFileCallbacks) == 0) {
        streamOpen_ = true;
    } else {
        error = file_ ? errno : error;
        // A file that is no Ogg Vorbis stream is closed again.
        file_.close();
        if (g_debugInfo) g_debugInfo->write(text::cp932ToUtf8(name));
        logLine("Not Found");
        logLine(std::to_string(error));
        logFailure(kSource, 38, E_FAIL);
        return E_FAIL;
    }
    info_ = ov_info(&stream_, -1);
    if (!info_) {
        logNullPointerWarning(kSource, 43);
        return E_FAIL;
    }
    if (format) {
        format->wFormatTag = WAVE_FORMAT_PCM;
        format->nChannels = static_cast<std::uint16_t>(info_->channels);
        format->nSamplesPerSec = static_cast<std::uint32_t>(info_->rate);
        format->nBlockAlign = static_cast<std::uint16_t>(info_->channels * 2);
        format->nAvgBytesPerSec = format->nBlockAlign * format->nSamplesPerSec;
        format->wBitsPerSample = 16;
        format->cbSize = 0;
    }
    const double total = ov_time_total(&stream_, -1);
    totalSeconds_ = total > 0.0 ? total : 0.0;
    totalSamples_ = ov_pcm_total(&stream_, -1);
    if (totalSamples_ < 0) totalSamples_ = 0;
    return S_OK;
}

std::uint32_t OggDecoder::readStream(std::uint8_t* destination, std::uint32_t bytes) {
    std::uint32_t done = 0;
    int holes = 0;
    while (done < bytes && !broken_) {
        int section = 0;
        const long got = ov_read(&stream_, reinterpret_cast<char*>(destination + done),
                                 static_cast<int>(bytes - done), 0, 2, 1, &section);
        if (got == 0) break;
        if (got == OV_HOLE && ++holes < kMaxHoles) continue;
        if (got < 0) {
            // Any other error ends the stream here: silence from now on (the
            // track logs the failed read once).
            broken_ = true;
            break;
        }
        holes = 0;
        done += static_cast<std::uint32_t>(got);
    }
    return done;
}

HRESULT OggDecoder::read(void* destination, std::uint32_t bytes) {
    if (!destination) {
        logNullPointerWarning(kSource, 87);
        return S_OK;
    }
    if (bytes == 0) return S_OK;
    if (!streamOpen_ || broken_) return E_FAIL;
    auto* out = static_cast<std::uint8_t*>(destination);
    std::uint32_t done = readStream(out, bytes);
    if (!loop_) {
        if (ov_pcm_tell(&stream_) >= totalSamples_) end_ = 1;
    } else if (ov_pcm_tell(&stream_) >= totalSamples_) {
        seekPcm(loopStart_);
        done += readStream(out + done, bytes - done);
    }
    return broken_ ? E_FAIL : S_OK;
}

HRESULT OggDecoder::close() {
    if (streamOpen_) {
        ov_clear(&stream_);
        streamOpen_ = false;
    }
    info_ = nullptr;
    file_.close();
    return S_OK;
}

HRESULT OggDecoder::rewind() {
    end_ = 0;
    if (!streamOpen_) return E_FAIL;
    return ov_time_seek(&stream_, 0.0) == 0 ? S_OK : E_FAIL;
}

double OggDecoder::tellTime() { return streamOpen_ ? ov_time_tell(&stream_) : 0.0; }

double OggDecoder::getTotalTime() { return totalSeconds_; }

HRESULT OggDecoder::seekPcm(std::uint32_t bytes) {
    if (!streamOpen_) return E_FAIL;
    return ov_pcm_seek(&stream_, static_cast<ogg_int64_t>(bytes / 4)) == 0 ? S_OK : E_FAIL;
}
