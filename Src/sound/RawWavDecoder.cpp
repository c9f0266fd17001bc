#include "sound/RawWavDecoder.h"

#include <algorithm>
#include <string>

#include "platform/Text.h"
#include "services/ArchiveManager.h"
#include "services/DebugInfo.h"
#include "services/Managers.h"

namespace {
constexpr const char* kSource = "RawWavDecoder";
}

HRESULT RawWavDecoder::open(std::string_view name, WAVEFORMATEX* format) {
    fileName_ = std::string(name);
    file_.close();
    dataEnd_ = 0;
    dataSize_ = 0;
    position_ = 0;
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
    if (g_archiveManager) file_ = g_archiveManager->openStream("raw", name, offset, size);
    std::uint8_t record[kWaveFormatBytes];
    // An entry too short for its format record is refused with the missing ones.
    if (!file_ || size < kWaveFormatBytes || file_.read(record, kWaveFormatBytes) != kWaveFormatBytes) {
        file_.close();
        logFailure(kSource, 25, E_FAIL, text::cp932ToUtf8(name));
        return E_FAIL;
    }
    format_ = readWaveFormat(record);
    if (format) *format = format_;
    dataStart_ = offset + kWaveFormatBytes;
    dataEnd_ = size - kWaveFormatBytes;
    dataSize_ = dataEnd_;
    position_ = 0;
    end_ = 0;
    return S_OK;
}

std::uint32_t RawWavDecoder::readData(std::uint8_t* destination, std::uint32_t bytes) {
    const std::uint32_t left = position_ < dataEnd_ ? dataEnd_ - position_ : 0;
    const std::uint32_t count = std::min(bytes, left);
    if (count == 0) return 0;
    const std::uint32_t got = static_cast<std::uint32_t>(file_.read(destination, count));
    position_ += got;
    return got;
}

HRESULT RawWavDecoder::read(void* destination, std::uint32_t bytes) {
    if (!file_ || !destination) return E_FAIL;
    auto* out = static_cast<std::uint8_t*>(destination);
    const std::uint32_t done = readData(out, bytes);
    if (!loop_) {
        if (position_ >= dataEnd_) end_ = 1;
    } else if (position_ >= dataEnd_) {
        // A loop start at or past the end gives nothing more.
        seekPcm(loopStart_);
        if (done < bytes) readData(out + done, bytes - done);
    }
    return S_OK;
}

HRESULT RawWavDecoder::close() {
    if (!file_) return E_FAIL;
    file_.close();
    return S_OK;
}

HRESULT RawWavDecoder::rewind() {
    end_ = 0;
    return seekPcm(0);
}

double RawWavDecoder::tellTime() {
    return format_.nAvgBytesPerSec ? static_cast<double>(position_) / format_.nAvgBytesPerSec : 0.0;
}

double RawWavDecoder::getTotalTime() {
    return format_.nAvgBytesPerSec ? static_cast<double>(dataEnd_) / format_.nAvgBytesPerSec : 0.0;
}

HRESULT RawWavDecoder::seekPcm(std::uint32_t bytes) {
    if (!file_) return E_FAIL;
    position_ = bytes;
    return file_.seek(static_cast<std::int64_t>(dataStart_) + bytes) ? S_OK : E_FAIL;
}
