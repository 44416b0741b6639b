#include "platform/durable_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace tessel::platform {

namespace {

constexpr mode_t kNewFileMode = 0644;

// A descriptor of path's folder, for flushing the folder entry; -1 with errno on failure.
int openFolder(const std::filesystem::path& path) {
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

}  // namespace

DurableFile::DurableFile(std::filesystem::path path) : path_(std::move(path)) {
    std::string pattern = path_.string() + ".tmp-XXXXXX";
    fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ < 0) {
        fail(errno);
        return;
    }
    temporary_ = pattern;
    struct stat old {};
    const mode_t mode = ::stat(path_.c_str(), &old) == 0 ? old.st_mode & 07777 : kNewFileMode;
    if (::fchmod(fd_, mode) != 0) fail(errno);
}

DurableFile::~DurableFile() { discard(); }

bool DurableFile::write(std::string_view bytes) {
    while (error_ == 0 && !bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(errno);
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return error_ == 0;
}

bool DurableFile::commit() {
    if (error_ != 0) return false;
    if (::fsync(fd_) != 0) return fail(errno);
    const int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0) return fail(errno);
    if (::rename(temporary_.c_str(), path_.c_str()) != 0) return fail(errno);
    temporary_.clear();
    // The rename lives in the folder: until the folder is flushed, a power cut may undo it.
    const int folder = openFolder(path_);
    if (folder < 0) return fail(errno);
    const bool flushed = ::fsync(folder) == 0;
    const int flushError = errno;
    ::close(folder);
    return flushed || fail(flushError);
}

bool DurableFile::fail(int error) {
    if (error_ == 0) error_ = error != 0 ? error : EIO;
    discard();
    return false;
}

void DurableFile::discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
}

int replaceFileDurably(const std::filesystem::path& path, std::string_view content) {
    DurableFile file(path);
    file.write(content);
    file.commit();
    return file.error();
}

}  // namespace tessel::platform
