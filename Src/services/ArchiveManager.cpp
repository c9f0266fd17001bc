#include "services/ArchiveManager.h"

#include <string>

#include "platform/Text.h"
#include "services/ArchiveScrambler.h"
#include "services/DebugInfo.h"
#include "services/FatalExit.h"
#include "services/RunLengthCodec.h"

namespace {
constexpr std::string_view kSource = "ArchiveManager";
}

ArchiveManager::ArchiveManager()
    : readBuffer_(std::make_unique_for_overwrite<std::uint8_t[]>(kBufferSize)),
      outputBuffer_(std::make_unique_for_overwrite<std::uint8_t[]>(kBufferSize)) {}

ArchiveManager::~ArchiveManager() = default;

HRESULT ArchiveManager::buildTextureArchive(std::string_view folder) {
    HRESULT result = archive_builder::build(folder, ArchiveForm::RunLength);
    if (SUCCEEDED(result)) forgetFolder(folder);
    return result;
}

HRESULT ArchiveManager::buildArchive(std::string_view folder, bool scramble) {
    HRESULT result = archive_builder::build(folder, scramble ? ArchiveForm::Scrambled : ArchiveForm::Unchanged);
    if (SUCCEEDED(result)) forgetFolder(folder);
    return result;
}

HRESULT ArchiveManager::loadIndex(std::string_view folder) {
    std::optional<std::vector<ArchiveIndexRecord>> records = archive_index::readIndexFile(folder);
    if (!records) return S_OK;
    std::lock_guard<std::mutex> lock(lock_);
    for (const ArchiveIndexRecord& record : *records) entries_[entryKey(folder, record.name)] = record.entry;
    return S_OK;
}

std::uint32_t ArchiveManager::getEntrySize(std::string_view folder, std::string_view name) {
    std::optional<ArchiveEntry> entry = findEntry(folder, name);
    if (!entry) notFound(name);
    return entry->size;
}

ArchiveBytes ArchiveManager::readRaw(std::string_view folder, std::string_view name) {
    std::optional<ArchiveBytes> bytes = tryRead(folder, name, ArchiveForm::Unchanged);
    if (!bytes) notFound(name);
    return std::move(*bytes);
}

ArchiveBytes ArchiveManager::readExpanded(std::string_view folder, std::string_view name, std::uint32_t) {
    std::optional<ArchiveBytes> bytes = tryRead(folder, name, ArchiveForm::RunLength);
    if (!bytes) notFound(name);
    return std::move(*bytes);
}

ArchiveBytes ArchiveManager::readDecoded(std::string_view folder, std::string_view name, std::uint32_t) {
    std::optional<ArchiveBytes> bytes = tryRead(folder, name, ArchiveForm::HuffmanScrambled);
    if (!bytes) notFound(name);
    return std::move(*bytes);
}

File ArchiveManager::openStream(std::string_view folder, std::string_view name, std::uint32_t& offset,
                                std::uint32_t& size) {
    std::optional<ArchiveEntry> entry = findEntry(folder, name);
    if (!entry || entry->size == 0) return File();
    offset = entry->offset;
    size = entry->size;
    std::string path = archive_index::dataPath(folder);
    File file = File::openExisting(path);
    if (!file) {
        logFailure(kSource, __LINE__, E_FAIL, text::cp932ToUtf8(path));
        return File();
    }
    if (!file.seek(entry->offset)) {
        logFailure(kSource, __LINE__, E_FAIL, text::cp932ToUtf8(path));
        return File();
    }
    return file;
}

const std::uint8_t* ArchiveManager::encodeRunLength(const std::uint8_t* input, std::uint32_t length) {
    std::lock_guard<std::mutex> lock(lock_);
    std::int64_t size = run_length::encode(input, length, outputBuffer_.get(), kBufferSize);
    outputSize_ = size < 0 ? 0 : static_cast<std::uint32_t>(size);
    return size < 0 ? nullptr : outputBuffer_.get();
}

const std::uint8_t* ArchiveManager::expandRunLength(const std::uint8_t* coded, std::uint32_t length) {
    std::lock_guard<std::mutex> lock(lock_);
    std::int64_t size = run_length::expand(coded, length, outputBuffer_.get(), kBufferSize);
    outputSize_ = size < 0 ? 0 : static_cast<std::uint32_t>(size);
    return size < 0 ? nullptr : outputBuffer_.get();
}

std::optional<ArchiveEntry> ArchiveManager::findEntry(std::string_view folder, std::string_view name) {
    std::lock_guard<std::mutex> lock(lock_);
    return findEntryLocked(folder, name);
}

namespace {
// The entry that could not be expanded or decoded and why, so the line that
// follows (the name with " が見つかりません") reads as its consequence.
void logUndecodable(std::string_view folder, std::string_view name, const char* reason) {
    logLine(text::cp932ToUtf8(std::string(folder) + "\\" + std::string(name)) + " を展開できません（" +
            (reason ? reason : "") + "）");
}
}  // namespace

std::optional<ArchiveBytes> ArchiveManager::tryRead(std::string_view folder, std::string_view name,
                                                    ArchiveForm form, bool allowEmpty) {
    std::lock_guard<std::mutex> lock(lock_);
    std::optional<ArchiveEntry> entry = findEntryLocked(folder, name);
    if (!entry) return std::nullopt;
    if (entry->size == 0) {
        if (!allowEmpty) return std::nullopt;
        outputSize_ = 0;
        return ArchiveBytes();
    }
    if (!readStoredLocked(folder, name, *entry)) return std::nullopt;

    std::uint8_t* stored = readBuffer_.get();
    const std::uint8_t* data = stored;
    std::uint32_t size = entry->size;
    switch (form) {
        case ArchiveForm::Unchanged:
            break;
        case ArchiveForm::Scrambled:
            archive_scrambler::scramble(stored, size);
            break;
        case ArchiveForm::RunLength: {
            const char* error = nullptr;
            std::int64_t expanded = run_length::expand(stored, size, outputBuffer_.get(), kBufferSize, &error);
            if (expanded < 0) {
                outputSize_ = 0;
                logFailure(kSource, __LINE__, E_FAIL, text::cp932ToUtf8(name));
                logUndecodable(folder, name, error);
                return std::nullopt;
            }
            data = outputBuffer_.get();
            size = static_cast<std::uint32_t>(expanded);
            outputSize_ = size;
            break;
        }
        case ArchiveForm::HuffmanScrambled:
            archive_scrambler::scramble(stored, size);
            data = decoder_.decode(stored, size);
            if (!data) {
                outputSize_ = 0;
                logFailure(kSource, __LINE__, E_FAIL, text::cp932ToUtf8(name));
                logUndecodable(folder, name, decoder_.errorText());
                return std::nullopt;
            }
            size = decoder_.getOutputSize();
            outputSize_ = size;
            break;
    }
    return ArchiveBytes(data, data + size);
}

NameHandle ArchiveManager::entryKey(std::string_view folder, std::string_view name) const {
    // The index path followed by the name: equal names in two folders are
    // two entries.
    return internName(archive_index::indexPath(folder) + std::string(name));
}

std::optional<ArchiveEntry> ArchiveManager::findEntryLocked(std::string_view folder, std::string_view name) {
    NameHandle key = entryKey(folder, name);
    auto it = entries_.find(key);
    if (it != entries_.end()) return it->second;
    std::optional<std::vector<ArchiveIndexRecord>> records = archive_index::readIndexFile(folder);
    if (!records) return std::nullopt;
    for (const ArchiveIndexRecord& record : *records) {
        if (record.name == name) {
            entries_[key] = record.entry;
            return record.entry;
        }
    }
    return std::nullopt;
}

bool ArchiveManager::readStoredLocked(std::string_view folder, std::string_view name, const ArchiveEntry& entry) {
    std::string path = archive_index::dataPath(folder);
    File file = File::openExisting(path);
    if (!file) {
        logFailure(kSource, __LINE__, E_FAIL, text::cp932ToUtf8(path));
        return false;
    }
    if (entry.size >= kBufferSize) {
        logFailure(kSource, __LINE__, E_FAIL, text::cp932ToUtf8(name));
        return false;
    }
    // A short read means the index claims data "arc.dat" does not hold.
    if (file.readAt(entry.offset, readBuffer_.get(), entry.size) != entry.size) {
        logFailure(kSource, __LINE__, E_FAIL, text::cp932ToUtf8(path));
        return false;
    }
    return true;
}

void ArchiveManager::forgetFolder(std::string_view folder) {
    std::string prefix = archive_index::indexPath(folder);
    std::lock_guard<std::mutex> lock(lock_);
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (nameText(it->first).starts_with(prefix)) {
            it = entries_.erase(it);
        } else {
            ++it;
        }
    }
}

void ArchiveManager::notFound(std::string_view name) {
    fatalExit(text::cp932ToUtf8(name) + " が見つかりません");
}
