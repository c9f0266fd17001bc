// File names an archive cannot store as they are. An entry's name is the
// file's name in cp932, cut to 31 bytes, and the game's data is made on a
// file system that ignores case: a name with a character cp932 lacks cannot
// be read back at all, a longer name is found only by its first 31 bytes,
// and two names that become equal after cutting or case folding shadow one
// another.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "services/ArchiveBuilder.h"

enum class ArchiveNameProblem {
    NotCp932,          // a character cp932 lacks
    SameAfterCutting,  // equal to another name once both are cut to 31 bytes
    TooLong,           // more than 31 bytes in cp932
    SameIgnoringCase,  // equal to another name when ASCII case is ignored
};

struct ArchiveNameIssue {
    std::string name;   // the file's name as on disk (UTF-8)
    ArchiveNameProblem problem;
    std::string other;  // the name it collides with (UTF-8), if any
    std::size_t cp932Length = 0;
};

namespace archive_builder {

// The files the build of `folder` in `form` would store whose names it
// cannot store as they are, one issue per file (the first that applies in
// the order of ArchiveNameProblem), sorted by name.
std::vector<ArchiveNameIssue> checkNames(std::string_view folder, ArchiveForm form);

// The issue as a plain English reason (the pack tool's message) and as the
// debug log's line, each naming the file under its folder.
std::string describe(std::string_view folder, const ArchiveNameIssue& issue);
std::string logText(std::string_view folder, const ArchiveNameIssue& issue);

}  // namespace archive_builder
