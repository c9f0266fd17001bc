// A PNG file read back into 0xAARRGGBB pixels, row by row from the top, for
// tests that look at frames a program run saved.
#pragma once
#include <cstdint>
#include <filesystem>
#include <vector>

struct PngPicture {
    std::uint32_t width = 0, height = 0;
    std::vector<std::uint32_t> argb;
    // The pixel's colour without its alpha byte; 0xFFFFFFFF outside.
    std::uint32_t rgb(std::uint32_t x, std::uint32_t y) const {
        return x < width && y < height ? argb[std::size_t(y) * width + x] & 0xFFFFFF : 0xFFFFFFFFu;
    }
};

// An empty picture when the file is missing or not a PNG.
PngPicture readPngPicture(const std::filesystem::path& path);
