// File calls in the shape the engine makes them: open an existing file, open or
// create without truncation, create (truncating). Paths are Windows paths under
// the root folder (see Path). Positional reads let threads share one file.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

class File {
public:
    enum class Access { Read, Write, ReadWrite };
    enum class Origin { Begin, Current, End };

    File() = default;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File();

    // Fails (a closed File) when the file is missing.
    static File openExisting(std::string_view windowsPath, Access access = Access::Read);
    // Creates the file when missing; never truncates.
    static File openAlways(std::string_view windowsPath, Access access = Access::ReadWrite);
    // Creates the file, truncating an existing one.
    static File createAlways(std::string_view windowsPath);

    explicit operator bool() const { return fd_ >= 0; }
    bool isOpen() const { return fd_ >= 0; }
    void close();

    // Bytes actually transferred (short at end of file or on error).
    size_t read(void* buffer, size_t count);
    size_t write(const void* buffer, size_t count);
    // Reads at an absolute offset without moving the file position (thread-safe).
    size_t readAt(std::uint64_t offset, void* buffer, size_t count) const;
    bool seek(std::int64_t offset, Origin origin = Origin::Begin);
    std::int64_t tell() const;
    std::int64_t size() const;

    static bool exists(std::string_view windowsPath);
    // The size of an existing regular file; -1 when there is none.
    static std::int64_t sizeOf(std::string_view windowsPath);
    // The whole file. Its size is asked first: a file larger than maxBytes
    // is refused (nullopt) without a byte read or allocated.
    static std::optional<std::vector<std::uint8_t>> readAll(std::string_view windowsPath,
                                                            std::uint64_t maxBytes);
    // At most maxBytes from the start of the file.
    static std::optional<std::vector<std::uint8_t>> readHead(std::string_view windowsPath,
                                                             std::uint64_t maxBytes);
    // Writes a whole file through a temporary file ("<name>.tmp", synced, then
    // renamed over the old one), so a failed write or a crash never destroys
    // the previous contents; writers of one file take turns.
    static bool writeReplacing(std::string_view windowsPath, const void* data, size_t size);
    static bool remove(std::string_view windowsPath);
    // Moves a file over another, replacing it in one step (files written in
    // parts go to a temporary file first and are renamed when complete).
    static bool rename(std::string_view fromWindowsPath, std::string_view toWindowsPath);
    // Pushes what was written to the disk before a rename makes it current.
    bool sync();

    // Where the file layer says why it refused a file (the debug log sets
    // itself here); nothing is said while none is set.
    using NoticeSink = void (*)(std::string_view text);
    static void setNoticeSink(NoticeSink sink);

private:
    explicit File(int fd) : fd_(fd) {}
    static File open(std::string_view windowsPath, int flags);
    int fd_ = -1;
};
