#include "platform/File.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <utility>

#include "platform/Path.h"

namespace {
// Opens the temporary file beside a target and locks it for this writer. Two
// writers of one target share the name: the second waits for the first, and
// when the first has meanwhile renamed its file into place (or removed it),
// opens a fresh one instead of writing into the file now current.
int openLockedTemp(const std::filesystem::path& temp) {
    for (;;) {
        int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) return -1;
        int locked;
        do {
            locked = ::flock(fd, LOCK_EX);
        } while (locked != 0 && errno == EINTR);
        struct stat held {}, named {};
        if (locked != 0 || fstat(fd, &held) != 0) {
            ::close(fd);
            return -1;
        }
        if (::stat(temp.c_str(), &named) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino)
            return fd;
        ::close(fd);
    }
}

// Makes a rename in `file`'s folder survive a crash. Some file systems cannot
// sync a folder; the rename itself has happened, so that is not a failure.
void syncFolderOf(const std::filesystem::path& file) {
    std::filesystem::path folder = file.parent_path();
    if (folder.empty()) folder = ".";
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

File::NoticeSink noticeSink = nullptr;

void noticeNotRegular(std::string_view windowsPath) {
    if (noticeSink) noticeSink(std::string(windowsPath) + " は通常のファイルではないため開きません");
}

int accessFlags(File::Access access) {
    switch (access) {
        case File::Access::Read: return O_RDONLY;
        case File::Access::Write: return O_WRONLY;
        case File::Access::ReadWrite: return O_RDWR;
    }
    return O_RDONLY;
}
}  // namespace

File::File(File&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

File::~File() { close(); }

void File::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

File File::open(std::string_view windowsPath, int flags) {
    std::optional<std::filesystem::path> path = Path::resolve(windowsPath);
    if (!path) return File();
    // Opened without blocking: a FIFO or a device would otherwise wait in
    // open (or in the first read) for a peer that may never come.
    int fd = ::open(path->c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0) {
        if (errno == ENXIO) noticeNotRegular(windowsPath);  // a FIFO with no reader
        return File();
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (!S_ISDIR(st.st_mode)) noticeNotRegular(windowsPath);
        ::close(fd);
        return File();
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return File(fd);
}

void File::setNoticeSink(NoticeSink sink) { noticeSink = sink; }

File File::openExisting(std::string_view windowsPath, Access access) {
    return open(windowsPath, accessFlags(access));
}

File File::openAlways(std::string_view windowsPath, Access access) {
    return open(windowsPath, accessFlags(access) | O_CREAT);
}

File File::createAlways(std::string_view windowsPath) {
    return open(windowsPath, O_RDWR | O_CREAT | O_TRUNC);
}

size_t File::read(void* buffer, size_t count) {
    size_t done = 0;
    while (fd_ >= 0 && done < count) {
        ssize_t n = ::read(fd_, static_cast<char*>(buffer) + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

size_t File::write(const void* buffer, size_t count) {
    size_t done = 0;
    while (fd_ >= 0 && done < count) {
        ssize_t n = ::write(fd_, static_cast<const char*>(buffer) + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

size_t File::readAt(std::uint64_t offset, void* buffer, size_t count) const {
    size_t done = 0;
    while (fd_ >= 0 && done < count) {
        ssize_t n = ::pread(fd_, static_cast<char*>(buffer) + done, count - done,
                            static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

bool File::seek(std::int64_t offset, Origin origin) {
    if (fd_ < 0) return false;
    int whence = origin == Origin::Begin ? SEEK_SET : origin == Origin::Current ? SEEK_CUR : SEEK_END;
    return ::lseek(fd_, static_cast<off_t>(offset), whence) >= 0;
}

std::int64_t File::tell() const {
    if (fd_ < 0) return -1;
    return ::lseek(fd_, 0, SEEK_CUR);
}

std::int64_t File::size() const {
    struct stat st {};
    if (fd_ < 0 || fstat(fd_, &st) != 0) return -1;
    return st.st_size;
}

bool File::exists(std::string_view windowsPath) {
    std::optional<std::filesystem::path> path = Path::resolve(windowsPath);
    std::error_code ec;
    return path && std::filesystem::is_regular_file(*path, ec);
}

std::int64_t File::sizeOf(std::string_view windowsPath) {
    std::optional<std::filesystem::path> path = Path::resolve(windowsPath);
    struct stat st {};
    if (!path || ::stat(path->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return st.st_size;
}

std::optional<std::vector<std::uint8_t>> File::readAll(std::string_view windowsPath, std::uint64_t maxBytes) {
    File file = openExisting(windowsPath);
    if (!file) return std::nullopt;
    std::int64_t size = file.size();
    if (size < 0 || static_cast<std::uint64_t>(size) > maxBytes) return std::nullopt;
    std::vector<std::uint8_t> bytes(static_cast<size_t>(size));
    if (file.read(bytes.data(), bytes.size()) != bytes.size()) return std::nullopt;
    return bytes;
}

std::optional<std::vector<std::uint8_t>> File::readHead(std::string_view windowsPath, std::uint64_t maxBytes) {
    File file = openExisting(windowsPath);
    if (!file) return std::nullopt;
    std::int64_t size = file.size();
    if (size < 0) return std::nullopt;
    std::vector<std::uint8_t> bytes(static_cast<size_t>(std::min<std::uint64_t>(static_cast<std::uint64_t>(size), maxBytes)));
    if (file.read(bytes.data(), bytes.size()) != bytes.size()) return std::nullopt;
    return bytes;
}

bool File::writeReplacing(std::string_view windowsPath, const void* data, size_t size) {
    std::optional<std::filesystem::path> path = Path::resolve(windowsPath);
    if (!path) return false;
    std::filesystem::path temp = *path;
    temp += ".tmp";
    int fd = openLockedTemp(temp);
    if (fd < 0) return false;
    // The lock is held until the file is closed, after the rename.
    File file(fd);
    bool ok = ::ftruncate(fd, 0) == 0 && file.write(data, size) == size && ::fsync(fd) == 0 &&
              std::rename(temp.c_str(), path->c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    syncFolderOf(*path);
    return true;
}

bool File::remove(std::string_view windowsPath) {
    std::optional<std::filesystem::path> path = Path::resolve(windowsPath);
    return path && ::unlink(path->c_str()) == 0;
}

bool File::rename(std::string_view fromWindowsPath, std::string_view toWindowsPath) {
    std::optional<std::filesystem::path> from = Path::resolve(fromWindowsPath);
    std::optional<std::filesystem::path> to = Path::resolve(toWindowsPath);
    if (!from || !to || std::rename(from->c_str(), to->c_str()) != 0) return false;
    syncFolderOf(*to);
    return true;
}

bool File::sync() { return fd_ >= 0 && ::fsync(fd_) == 0; }
