#pragma once
// Replacing a file so that a crash or a power cut at any moment leaves either the old file or
// the new one, whole, on any file system.
//
// The new content goes to a temporary file with a unique name in the same folder
// ("browserINI.txt.tmp-Xa81Qz"). commit() flushes it to storage, renames it over the file and
// flushes the folder, so that the rename itself is stored. Two processes replacing one file at
// once each write their own temporary file: the last rename wins and a reader sees one whole
// version. A replacement abandoned before its commit (a failure, a destroyed DurableFile)
// removes its temporary file; one whose process died leaves it behind, where no load looks, as
// loads open only the file's own name.
//
//     platform::DurableFile file(path);
//     if (!file.write(text) || !file.commit()) report(file.error());

#include <filesystem>
#include <string_view>

namespace tessel::platform {

class DurableFile {
public:
    // Creates the temporary file beside path; error() tells whether that worked. The new file
    // takes the permissions of the one it replaces, or 0644.
    explicit DurableFile(std::filesystem::path path);
    // Removes the temporary file unless committed.
    ~DurableFile();
    DurableFile(const DurableFile&) = delete;
    DurableFile& operator=(const DurableFile&) = delete;

    // Appends bytes to the temporary file. False, with error() set, after any failure.
    bool write(std::string_view bytes);
    // Flushes the temporary file, renames it over the path and flushes the folder. False, with
    // error() set, after any failure; one before the rename leaves the old file and removes the
    // temporary file.
    bool commit();

    // The errno value of the first failure; 0 while all went well.
    int error() const { return error_; }
    const std::filesystem::path& temporaryPath() const { return temporary_; }

private:
    bool fail(int error);
    void discard();

    std::filesystem::path path_;
    std::filesystem::path temporary_;
    int fd_ = -1;
    int error_ = 0;
};

// Replaces path with content through a DurableFile; 0, or the errno value of the failure.
int replaceFileDurably(const std::filesystem::path& path, std::string_view content);

}  // namespace tessel::platform
