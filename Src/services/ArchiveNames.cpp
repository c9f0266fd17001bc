#include "services/ArchiveNames.h"

#include <algorithm>
#include <map>

#include "platform/Path.h"
#include "platform/Text.h"
#include "services/ArchiveIndex.h"

namespace archive_builder {
namespace {
// cp932 lead bytes: the byte after one is a trail byte, which may look like
// an ASCII letter and must not be folded.
bool isLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

std::string foldCase(std::string_view cp932) {
    std::string folded(cp932);
    for (std::size_t i = 0; i < folded.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(folded[i]);
        if (isLeadByte(c)) {
            ++i;
        } else {
            folded[i] = static_cast<char>(text::asciiLower(c));
        }
    }
    return folded;
}

struct Candidate {
    std::string disk;   // UTF-8
    std::string cut;    // cp932, at most 31 bytes
    std::size_t length; // cp932 bytes before cutting
};

// The first other candidate with the same key, if any.
const Candidate* sameKey(const std::multimap<std::string, const Candidate*>& byKey, const std::string& key,
                         const Candidate& self) {
    auto [first, last] = byKey.equal_range(key);
    for (auto it = first; it != last; ++it)
        if (it->second != &self) return it->second;
    return nullptr;
}

std::string underFolder(std::string_view folder, std::string_view name, char separator) {
    std::string path = text::cp932ToUtf8(folder);
    path += separator;
    path += name;
    return path;
}
}  // namespace

std::vector<ArchiveNameIssue> checkNames(std::string_view folder, ArchiveForm form) {
    std::vector<std::string> names = Path::listDiskNames(folder);
    std::sort(names.begin(), names.end());
    std::vector<ArchiveNameIssue> issues;
    std::vector<Candidate> candidates;
    for (const std::string& disk : names) {
        std::string cp932 = text::utf8ToCp932(disk);
        if (isLeftOut(cp932, form)) continue;
        if (text::cp932ToUtf8(cp932) != disk) {
            issues.push_back({disk, ArchiveNameProblem::NotCp932, {}, cp932.size()});
            continue;
        }
        candidates.push_back({disk, cp932.substr(0, archive_index::kMaxNameLength), cp932.size()});
    }
    std::multimap<std::string, const Candidate*> byCut, byFolded;
    for (const Candidate& c : candidates) {
        byCut.emplace(c.cut, &c);
        byFolded.emplace(foldCase(c.cut), &c);
    }
    for (const Candidate& c : candidates) {
        if (const Candidate* other = sameKey(byCut, c.cut, c)) {
            issues.push_back({c.disk, ArchiveNameProblem::SameAfterCutting, other->disk, c.length});
        } else if (c.length > archive_index::kMaxNameLength) {
            issues.push_back({c.disk, ArchiveNameProblem::TooLong, {}, c.length});
        } else if (const Candidate* other = sameKey(byFolded, foldCase(c.cut), c)) {
            issues.push_back({c.disk, ArchiveNameProblem::SameIgnoringCase, other->disk, c.length});
        }
    }
    std::stable_sort(issues.begin(), issues.end(),
                     [](const ArchiveNameIssue& a, const ArchiveNameIssue& b) { return a.name < b.name; });
    return issues;
}

std::string describe(std::string_view folder, const ArchiveNameIssue& issue) {
    std::string text = underFolder(folder, issue.name, '/') + ": ";
    switch (issue.problem) {
        case ArchiveNameProblem::NotCp932:
            return text + "the name has a character that cp932 cannot represent";
        case ArchiveNameProblem::SameAfterCutting:
            return text + "the same name as " + issue.other + " once both are cut to the 31 bytes an entry holds";
        case ArchiveNameProblem::TooLong:
            return text + "the name is " + std::to_string(issue.cp932Length) +
                   " bytes in cp932, longer than the 31 bytes an entry holds";
        case ArchiveNameProblem::SameIgnoringCase:
            return text + "the same name as " + issue.other + " when case is ignored";
    }
    return text;
}

std::string logText(std::string_view folder, const ArchiveNameIssue& issue) {
    std::string text = underFolder(folder, issue.name, '\\') + " ";
    switch (issue.problem) {
        case ArchiveNameProblem::NotCp932:
            return text + "は cp932 で表せない文字を含むため、アーカイブから読み出せません";
        case ArchiveNameProblem::SameAfterCutting:
            return text + "は 31 バイトに切り詰めると " + issue.other + " と同じ名前になります";
        case ArchiveNameProblem::TooLong:
            return text + "は cp932 で " + std::to_string(issue.cp932Length) +
                   " バイトあり、31 バイトに切り詰めて格納されます";
        case ArchiveNameProblem::SameIgnoringCase:
            return text + "は大文字と小文字を区別しないと " + issue.other + " と同じ名前になります";
    }
    return text;
}

}  // namespace archive_builder
