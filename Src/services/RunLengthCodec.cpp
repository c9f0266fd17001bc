#include "services/RunLengthCodec.h"

#include <cstring>

namespace run_length {
namespace {
void putRecord(std::uint8_t* out, std::uint32_t run, const std::uint8_t* unit) {
    out[0] = static_cast<std::uint8_t>(run);
    std::memcpy(out + 1, unit, 4);
}

std::int64_t fail(const char** error, const char* reason) {
    if (error) *error = reason;
    return -1;
}
}  // namespace

std::int64_t encode(const std::uint8_t* input, std::uint32_t length, std::uint8_t* out,
                    std::uint32_t capacity) {
    if (!input || length == 0) return 0;
    if (capacity < kHeaderSize) return -1;
    out[0] = static_cast<std::uint8_t>(length >> 24);
    out[1] = static_cast<std::uint8_t>(length >> 16);
    out[2] = static_cast<std::uint8_t>(length >> 8);
    out[3] = static_cast<std::uint8_t>(length);
    std::uint64_t size = kHeaderSize;

    std::uint32_t units = length / 4 + (length % 4 != 0 ? 1 : 0);
    auto unitAt = [&](std::uint32_t index, std::uint8_t* unit) {
        std::uint32_t start = index * 4;
        std::uint32_t count = length - start < 4 ? length - start : 4;
        std::memset(unit, 0, 4);
        std::memcpy(unit, input + start, count);
    };
    std::uint8_t current[4];
    std::uint8_t next[4];
    unitAt(0, current);
    std::uint32_t run = 1;
    for (std::uint32_t index = 1; index <= units; ++index) {
        bool last = index == units;
        if (!last) unitAt(index, next);
        if (!last && run < kMaxRun && std::memcmp(current, next, 4) == 0) {
            ++run;
            continue;
        }
        if (size + kRecordSize > capacity) return -1;
        putRecord(out + size, run, current);
        size += kRecordSize;
        if (!last) {
            std::memcpy(current, next, 4);
            run = 1;
        }
    }
    return static_cast<std::int64_t>(size);
}

std::int64_t expand(const std::uint8_t* coded, std::uint32_t length, std::uint8_t* out,
                    std::uint32_t capacity, const char** error) {
    if (!coded || length == 0) return 0;
    if (length < kHeaderSize) return fail(error, "run-length header cut short");
    std::uint32_t total = static_cast<std::uint32_t>(coded[0]) << 24 |
                          static_cast<std::uint32_t>(coded[1]) << 16 |
                          static_cast<std::uint32_t>(coded[2]) << 8 | coded[3];
    if (total > capacity) return fail(error, "run-length length exceeds the output buffer");
    if ((length - kHeaderSize) % kRecordSize != 0) return fail(error, "run-length record cut short");

    std::uint64_t written = 0;
    for (std::uint32_t position = kHeaderSize; position < length; position += kRecordSize) {
        std::uint32_t run = coded[position];
        const std::uint8_t* unit = coded + position + 1;
        if (run == 0) return fail(error, "run-length record with a zero run");
        for (std::uint32_t i = 0; i < run; ++i) {
            // A whole unit past the length means the records claim more than
            // the header does; only the last unit may hang over by 1-3 bytes.
            if (written >= total) return fail(error, "run-length records exceed the length");
            std::uint64_t room = total - written;
            std::uint32_t count = room < 4 ? static_cast<std::uint32_t>(room) : 4;
            std::memcpy(out + written, unit, count);
            written += count;
        }
    }
    // Strings without the final partial unit stop at the last whole unit.
    if (written < total) {
        if (total - written >= 4)
            return fail(error, "run-length records fall short of the length");
        std::memset(out + written, 0, total - written);
    }
    return total;
}

}  // namespace run_length
