#include "services/ArchiveBuilder.h"

#include <optional>
#include <string>
#include <vector>

#include "platform/File.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "services/ArchiveIndex.h"
#include "services/ArchiveNames.h"
#include "services/ArchiveScrambler.h"
#include "services/ArchiveSwitch.h"
#include "services/CHC_Mem_ii.h"
#include "services/DebugInfo.h"
#include "services/HuffmanEncoder.h"
#include "services/RunLengthCodec.h"

namespace archive_builder {
namespace {
constexpr std::string_view kSource = "ArchiveManager";

// The stored form of one file; nothing when it would not fit the buffers the
// engine reads it with.
std::optional<std::vector<std::uint8_t>> storedForm(const std::vector<std::uint8_t>& file, ArchiveForm form) {
    if (file.size() > 0xFFFFFFFFu) return std::nullopt;
    std::uint32_t size = static_cast<std::uint32_t>(file.size());
    std::vector<std::uint8_t> stored;
    switch (form) {
        case ArchiveForm::Unchanged:
        case ArchiveForm::Scrambled:
            stored = file;
            if (form == ArchiveForm::Scrambled) archive_scrambler::scramble(stored.data(), stored.size());
            break;
        case ArchiveForm::RunLength: {
            // Expansion writes into an output buffer of the read buffer's size.
            if (size > kReadBufferSize) return std::nullopt;
            stored.resize(static_cast<std::size_t>(run_length::worstCodedSize(size)));
            std::int64_t coded = run_length::encode(file.data(), size, stored.data(),
                                                    static_cast<std::uint32_t>(stored.size()));
            if (coded < 0) return std::nullopt;
            stored.resize(static_cast<std::size_t>(coded));
            break;
        }
        case ArchiveForm::HuffmanScrambled:
            if (size > CHC_Mem_ii::kOutputCapacity) return std::nullopt;
            stored = huffman_encoder::encode(file.data(), size);
            archive_scrambler::scramble(stored.data(), stored.size());
            break;
    }
    if (stored.size() >= kReadBufferSize) return std::nullopt;
    return stored;
}

// The two temporary files of a build; removed unless the switch took them
// (its marker then stands for them until the pair is in place).
class PendingArchive {
public:
    explicit PendingArchive(std::string_view folder)
        : folder_(folder), indexPath_(archive_index::indexPath(folder)), dataPath_(archive_index::dataPath(folder)) {}
    ~PendingArchive() {
        index_.close();
        data_.close();
        if (!File::exists(archive_switch::markerPath(folder_))) {
            File::remove(archive_switch::pendingPath(indexPath_));
            File::remove(archive_switch::pendingPath(dataPath_));
        }
    }

    bool open() {
        index_ = File::createAlways(archive_switch::pendingPath(indexPath_));
        data_ = File::createAlways(archive_switch::pendingPath(dataPath_));
        return index_ && data_;
    }
    File& index() { return index_; }
    File& data() { return data_; }

    bool commit() {
        bool synced = index_.sync() && data_.sync();
        index_.close();
        data_.close();
        return synced && archive_switch::commit(folder_);
    }

    const std::string& indexPath() const { return indexPath_; }
    const std::string& dataPath() const { return dataPath_; }

private:
    std::string folder_;
    std::string indexPath_;
    std::string dataPath_;
    File index_;
    File data_;
};
}  // namespace

bool isLeftOut(const std::string& name, ArchiveForm form) {
    // The build's own outputs, finished or in progress, are never stored.
    if (name == "idx.dat" || name == "arc.dat" || name == "idx.dat.tmp" || name == "arc.dat.tmp" ||
        name == "arc.switch")
        return true;
    return form == ArchiveForm::RunLength && name == "Thumbs.db";
}

ArchiveForm formForFolder(std::string_view folderName) {
    if (text::equalsIgnoreAsciiCase(folderName, "texture")) return ArchiveForm::RunLength;
    if (text::equalsIgnoreAsciiCase(folderName, "script")) return ArchiveForm::HuffmanScrambled;
    return ArchiveForm::Unchanged;
}

HRESULT build(std::string_view folder, ArchiveForm form) {
    std::string pattern = std::string(folder) + "\\*.*";
    if (!Path::isFolder(folder)) {
        logFailure(kSource, __LINE__, E_FAIL, text::cp932ToUtf8(pattern));
        return E_FAIL;
    }
    // Names that cannot be stored as they are say why; the build then stores
    // what it can, as it always has (a name cp932 lacks fails below).
    for (const ArchiveNameIssue& issue : checkNames(folder, form)) logLine(logText(folder, issue));
    // listFiles gives the regular files in byte-wise name order.
    std::vector<std::string> names = Path::listFiles(folder);

    // A switch an earlier build left half done is finished before the
    // temporary files it stands for are written again.
    PendingArchive archive(folder);
    if (!archive_switch::finishPending(folder) || !archive.open()) {
        logFailure(kSource, __LINE__, E_FAIL, text::cp932ToUtf8(archive.dataPath()));
        return E_FAIL;
    }
    std::uint64_t offset = 0;
    for (const std::string& name : names) {
        if (isLeftOut(name, form)) continue;
        std::string path = std::string(folder) + "\\" + name;
        std::optional<std::vector<std::uint8_t>> file = File::readAll(path, 0xFFFFFFFFu - offset);  // offsets are 32-bit
        if (!file) {
            logFailure(kSource, __LINE__, E_FAIL, text::cp932ToUtf8(path));
            return E_FAIL;
        }
        std::optional<std::vector<std::uint8_t>> stored = storedForm(*file, form);
        if (!stored || offset + stored->size() > 0xFFFFFFFFu) {
            logFailure(kSource, __LINE__, E_FAIL, text::cp932ToUtf8(path));
            return E_FAIL;
        }
        ArchiveEntry entry{static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(stored->size())};
        archive_index::RecordBytes record = archive_index::encodeRecord(name, entry);
        if (archive.data().write(stored->data(), stored->size()) != stored->size() ||
            archive.index().write(record.data(), record.size()) != record.size()) {
            logFailure(kSource, __LINE__, E_FAIL, text::cp932ToUtf8(path));
            return E_FAIL;
        }
        offset += stored->size();
    }
    if (!archive.commit()) {
        logFailure(kSource, __LINE__, E_FAIL, text::cp932ToUtf8(archive.indexPath()));
        return E_FAIL;
    }
    return S_OK;
}

}  // namespace archive_builder

