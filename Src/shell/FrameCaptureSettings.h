// The frame-capture switches of the environment: VORLY_CAPTURE=N[,N...]
// names frames to save, VORLY_CAPTURE_DIR the folder (else the game folder),
// VORLY_CAPTURE_EXIT=1 closes the main window once the last one is saved.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The frame numbers of a VORLY_CAPTURE value; a value that is not a number
// from 1 to 4294967295 is left out and named in `bad`.
std::vector<std::uint32_t> parseCaptureFrames(const std::string& text, std::vector<std::string>& bad);
// Reads the variables and hands the request to graphics; a bad value gets
// one stderr line and is ignored. Nothing without VORLY_CAPTURE.
void installFrameCaptureFromEnvironment();
