// Reading and saving a record file. A save writes the whole file to a
// temporary file that is then renamed over the old one, so a crash or a full
// disk mid-save leaves the previous records whole; the file it replaces is
// kept as "<name>.old" when that file is whole, so one damaged file costs at
// most the records of the last save.
#pragma once
#include <cstddef>
#include <functional>
#include <string_view>

// What a reader found in one copy of a record file.
enum class RecordRead { Missing, Damaged, Whole };

// Reads one copy of a record file at the given path. It fills its record
// only from a whole copy; the savers also call it to check a copy alone.
using RecordCopyReader = std::function<RecordRead(std::string_view windowsPath)>;

// Reads `windowsPath` with `readCopy`. A damaged file is logged with
// `mismatchLine` and noted, so that the next save sets it aside; the copy kept
// by the last save is then read in its place when it is whole, and one line
// says so (another says when that copy is damaged too, and the record keeps
// its defaults). Whole when either copy was read.
RecordRead readRecordFile(std::string_view windowsPath, std::string_view mismatchLine,
                          const RecordCopyReader& readCopy);

// Returns 0 when the file was replaced, 1 when not. A failure is logged with
// `failureLine`, except when the file's folder does not exist: a game folder
// without "data" keeps no records, and saying so at every shut-down tells
// nothing new.
//
// A file its reader found damaged is first moved aside to "<name>.bad" (or
// "<name>.bad2", ... "<name>.bad99" when that one is taken: an earlier damaged
// file is never replaced) and the move logged, so that saving the defaults
// never destroys records the player might still recover; when it cannot be
// moved the save is skipped (logged) and the damaged file stays. With every
// name taken the save goes over it (logged). A file that `checkCopy` finds
// whole is kept as "<name>.old" before it is replaced by other bytes.
int writeRecordFile(std::string_view windowsPath, const void* data, std::size_t size, std::string_view failureLine,
                    const RecordCopyReader& checkCopy);
