#include "sound/WavDecoder.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/File.h"
#include "platform/Text.h"
#include "services/DebugInfo.h"

namespace {
constexpr const char* kSource = "WavDecoder";
// Our own line: the raw cache could not be written.
constexpr int kCacheWriteLine = 105;
constexpr std::uint32_t kMinFormatBytes = 16;
}  // namespace

WavDecoder::~WavDecoder() { close(); }

HRESULT WavDecoder::fail(int line) {
    file_.close();
    logFailure(kSource, line, E_FAIL);
    return E_FAIL;
}

HRESULT WavDecoder::open(std::string_view name, WAVEFORMATEX* format) {
    fileName_ = std::string(name);
    file_.close();
    position_ = 0;
    dataSize_ = 0;
    format_ = WAVEFORMATEX{};
    if (!file_.open(name)) {
        logFailure(kSource, 34, E_FAIL, text::cp932ToUtf8(name));
        return E_FAIL;
    }
    RiffChunk riff;
    riff.fccType = makeFourCC('W', 'A', 'V', 'E');
    if (!file_.descend(riff, nullptr, RiffFile::kFindRiff)) return fail(46);
    RiffChunk fmt;
    fmt.ckid = makeFourCC('f', 'm', 't', ' ');
    if (!file_.descend(fmt, &riff, RiffFile::kFindChunk)) return fail(56);
    // The record holds 18 bytes: a longer chunk is read up to them and the
    // rest skipped; one shorter than the 16 bytes of PCM cannot be a format.
    if (fmt.cksize < kMinFormatBytes) return fail(65);
    std::uint8_t record[kWaveFormatBytes] = {};
    const std::int32_t wanted = static_cast<std::int32_t>(std::min<std::uint32_t>(fmt.cksize, kWaveFormatBytes));
    if (file_.read(record, wanted) != wanted) return fail(65);
    format_ = readWaveFormat(record);
    format_.cbSize = 0;
    if (format) *format = format_;
    if (!file_.ascend(fmt)) return fail(65);
    RiffChunk data;
    data.ckid = makeFourCC('d', 'a', 't', 'a');
    if (!file_.descend(data, &riff, RiffFile::kFindChunk)) return fail(80);
    // A data chunk that claims more than the file holds is damaged.
    if (static_cast<std::int64_t>(data.dwDataOffset) + data.cksize > file_.size()) return fail(80);
    dataStart_ = data.dwDataOffset;
    dataSize_ = data.cksize;
    if (writesRawCache_) writeRawCache();
    if (file_.seek(dataStart_) < 0) return fail(80);
    return S_OK;
}

void WavDecoder::writeRawCache() {
    const std::string cacheName = fileName_ + ".raw";
    std::vector<std::uint8_t> bytes(kWaveFormatBytes + static_cast<std::size_t>(dataSize_));
    writeWaveFormat(format_, bytes.data());
    bool written = file_.seek(dataStart_) >= 0;
    std::uint32_t done = 0;
    while (written && done < dataSize_) {
        const std::int32_t chunk = static_cast<std::int32_t>(std::min<std::uint32_t>(dataSize_ - done, 1u << 20));
        const std::int32_t got = file_.read(bytes.data() + kWaveFormatBytes + done, chunk);
        if (got <= 0) written = false;
        done += static_cast<std::uint32_t>(std::max(got, 0));
    }
    // Through a temporary file renamed over the old cache, so a failed
    // write never leaves a cache that claims what it does not hold.
    written = written && File::writeReplacing(cacheName, bytes.data(), bytes.size());
    if (!written) {
        // The sound plays on from the WAV file itself.
        logFailure(kSource, kCacheWriteLine, E_FAIL, text::cp932ToUtf8(cacheName));
        return;
    }
    logLine(text::cp932ToUtf8(cacheName) + " wfex = 18 data = " + std::to_string(dataSize_) +
            " sum = " + std::to_string(static_cast<std::uint64_t>(dataSize_) + kWaveFormatBytes));
}

std::int64_t WavDecoder::readData(std::uint8_t* destination, std::uint32_t bytes) {
    // Reads stop at the data chunk's end: a chunk after it is no sound.
    const std::uint32_t left = position_ < dataSize_ ? dataSize_ - position_ : 0;
    const std::uint32_t wanted = std::min(bytes, left);
    std::uint32_t done = 0;
    while (done < wanted) {
        const std::int32_t got = file_.read(destination + done, static_cast<std::int32_t>(wanted - done));
        if (got < 0) return -1;
        if (got == 0) break;
        done += static_cast<std::uint32_t>(got);
    }
    position_ += done;
    return done;
}

HRESULT WavDecoder::read(void* destination, std::uint32_t bytes) {
    if (!file_.isOpen() || !destination) return E_FAIL;
    auto* out = static_cast<std::uint8_t*>(destination);
    std::int64_t done = readData(out, bytes);
    if (done < 0) return E_FAIL;
    if (loop_ && position_ >= dataSize_) {
        seekPcm(loopStart_);
        const std::int64_t more = readData(out + done, bytes - static_cast<std::uint32_t>(done));
        if (more < 0) return E_FAIL;
    }
    return S_OK;
}

HRESULT WavDecoder::close() {
    file_.close();
    return S_OK;
}

HRESULT WavDecoder::rewind() { return seekPcm(0); }

double WavDecoder::tellTime() {
    return format_.nAvgBytesPerSec ? static_cast<double>(position_) / format_.nAvgBytesPerSec : 0.0;
}

double WavDecoder::getTotalTime() {
    return format_.nAvgBytesPerSec ? static_cast<double>(dataSize_) / format_.nAvgBytesPerSec : 0.0;
}

HRESULT WavDecoder::seekPcm(std::uint32_t bytes) {
    if (!file_.isOpen()) return E_FAIL;
    position_ = bytes;
    return file_.seek(static_cast<std::int64_t>(dataStart_) + bytes) < 0 ? E_FAIL : S_OK;
}
