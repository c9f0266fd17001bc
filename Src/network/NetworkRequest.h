// One queued request to the ranking server: its code (1..12) and eight
// arguments a..h. Requests are copied by value into the queue.
#pragma once
#include <array>
#include <cstdint>

struct NetworkRequest {
    std::uint32_t code = 0;
    std::array<std::uint32_t, 8> args{};

    NetworkRequest() = default;
    NetworkRequest(std::uint32_t requestCode, std::array<std::uint32_t, 8> arguments = {})
        : code(requestCode), args(arguments) {}
    virtual ~NetworkRequest() = default;
    NetworkRequest(const NetworkRequest&) = default;
    NetworkRequest& operator=(const NetworkRequest&) = default;
};
