// Advice to the operating system about how the engine uses a memory region.
#pragma once
#include <cstddef>

// Asks for the whole pages inside [start, start + bytes) to be backed by large
// pages where the system offers them. Only advice: the contents are
// unchanged, and a system without large pages, a region too small to hold a
// whole page or a refusal leaves the region as it is.
void adviseLargePages(void* start, std::size_t bytes);

// Makes the whole pages inside [start, start + bytes) resident now, as if
// written, so that their first use later takes no page fault (nor the pause
// of putting a large page together). The contents are unchanged.
void populatePages(void* start, std::size_t bytes);
