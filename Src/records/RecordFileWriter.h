// Saving a record file: the whole file goes to a temporary file that is then
// renamed over the old one, so a crash or a full disk mid-save leaves the
// previous records whole.
#pragma once
#include <cstddef>
#include <string_view>

// Returns 0 when the file was replaced, 1 when not. A failure is logged with
// `failureLine`, except when the file's folder does not exist: a game folder
// without "data" keeps no records, and saying so at every shut-down tells
// nothing new.
//
// A file its reader found damaged is first moved aside to "<name>.bad"
// (replacing an older one) and the move logged, so that saving the defaults
// never destroys records the player might still recover; when it cannot be
// moved the save is skipped (logged) and the damaged file stays.
int writeRecordFile(std::string_view windowsPath, const void* data, std::size_t size, std::string_view failureLine);

// Readers tell what they found: a file that failed its checksum (or its
// length) is damaged; one read whole, or a missing one, is not.
void noteRecordFileRead(std::string_view windowsPath, bool damaged);
