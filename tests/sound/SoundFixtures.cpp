#include "sound/SoundFixtures.h"

#include <vorbis/codec.h>
#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace {
void put32(Bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
}  // namespace

WAVEFORMATEX pcmFormat(std::uint32_t rate, std::uint16_t channels, std::uint16_t bits) {
    WAVEFORMATEX f;
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.nBlockAlign = static_cast<std::uint16_t>(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    f.wBitsPerSample = bits;
    f.cbSize = 0;
    return f;
}

Bytes patternBytes(std::size_t count, std::uint32_t seed) {
    Bytes out(count);
    std::uint32_t x = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < count; ++i) {
        x = x * 1664525u + 1013904223u;
        out[i] = static_cast<std::uint8_t>(x >> 24);
    }
    return out;
}

Bytes riffChunk(const char* id, const Bytes& data) {
    Bytes out(id, id + 4);
    put32(out, static_cast<std::uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    if (data.size() & 1) out.push_back(0);
    return out;
}

Bytes wavFile(const WAVEFORMATEX& format, const Bytes& data, std::uint32_t fmtSize, const Bytes& trailing) {
    Bytes record(18);
    writeWaveFormat(format, record.data());
    record.resize(fmtSize, 0);
    Bytes body = {'W', 'A', 'V', 'E'};
    Bytes fmt = riffChunk("fmt ", record);
    Bytes dataChunk = riffChunk("data", data);
    body.insert(body.end(), fmt.begin(), fmt.end());
    body.insert(body.end(), dataChunk.begin(), dataChunk.end());
    body.insert(body.end(), trailing.begin(), trailing.end());
    return riffChunk("RIFF", body);
}

Bytes oggTone(std::uint32_t rate, int channels, double seconds, double frequency, double noise) {
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, channels, static_cast<long>(rate), 0.4f) != 0) {
        throw std::runtime_error("vorbis_encode_init_vbr failed");
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block block;
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 12345);
    Bytes out;
    auto append = [&out](const ogg_page& page) {
        out.insert(out.end(), page.header, page.header + page.header_len);
        out.insert(out.end(), page.body, page.body + page.body_len);
    };
    ogg_packet header, headerComment, headerCode;
    vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &headerComment);
    ogg_stream_packetin(&stream, &headerCode);
    ogg_page page;
    while (ogg_stream_flush(&stream, &page)) append(page);

    const long total = static_cast<long>(seconds * rate);
    std::uint32_t noiseState = 1;
    long done = 0;
    bool ended = false;
    while (!ended) {
        const long count = std::min<long>(1024, total - done);
        if (count > 0) {
            float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(count));
            for (long i = 0; i < count; ++i) {
                const double t = static_cast<double>(done + i) / rate;
                for (int c = 0; c < channels; ++c) {
                    double value = 0.5 * std::sin(2 * M_PI * frequency * (c + 1) * t);
                    if (noise > 0.0) {
                        value = 0.25 * (std::sin(2 * M_PI * frequency * t) + std::sin(2 * M_PI * frequency * 1.26 * t) +
                                        std::sin(2 * M_PI * frequency * 1.5 * (c + 1) * t));
                        noiseState = noiseState * 1664525u + 1013904223u;
                        value += noise * (static_cast<double>(noiseState >> 8) / 8388608.0 - 1.0);
                    }
                    buffer[c][i] = static_cast<float>(value);
                }
            }
            vorbis_analysis_wrote(&dsp, static_cast<int>(count));
            done += count;
        } else {
            vorbis_analysis_wrote(&dsp, 0);
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page)) {
                    append(page);
                    if (ogg_page_eos(&page)) ended = true;
                }
            }
        }
    }
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}

Bytes plainOggDecode(const std::string& path) {
    OggVorbis_File file;
    if (ov_fopen(path.c_str(), &file) != 0) throw std::runtime_error("ov_fopen failed: " + path);
    Bytes out;
    char buffer[4096];
    int section = 0;
    long got;
    while ((got = ov_read(&file, buffer, sizeof buffer, 0, 2, 1, &section)) != 0) {
        if (got == OV_HOLE) continue;
        if (got < 0) break;
        out.insert(out.end(), buffer, buffer + got);
    }
    ov_clear(&file);
    return out;
}

double rms(const std::vector<std::int16_t>& samples) {
    if (samples.empty()) return 0.0;
    double sum = 0.0;
    for (std::int16_t s : samples) sum += static_cast<double>(s) * s;
    return std::sqrt(sum / samples.size());
}

int peak(const std::vector<std::int16_t>& samples) {
    int best = 0;
    for (std::int16_t s : samples) best = std::max(best, std::abs(static_cast<int>(s)));
    return best;
}
