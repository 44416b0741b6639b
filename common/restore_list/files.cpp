#include "common/restore_list/files.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/device_fs.h"
#include "platform/durable_file.h"

namespace tessel::restore_list {

namespace fsys = std::filesystem;

namespace {

std::string withTrailingBackslash(std::string_view folder) {
    std::string out(folder);
    if (out.empty() || out.back() != '\\') out += '\\';
    return out;
}

// The entries of a host folder; empty when it is missing, empty or unreadable.
std::vector<fsys::directory_entry> entriesOf(const fsys::path& folder) {
    std::vector<fsys::directory_entry> entries;
    std::error_code ec;
    for (fsys::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        entries.push_back(*it);
    }
    return entries;
}

bool isRealFolder(const fsys::directory_entry& entry) {
    std::error_code ec;
    return entry.symlink_status(ec).type() == fsys::file_type::directory;
}

bool isInside(const fsys::path& inner, const fsys::path& outer) {
    std::error_code innerError;
    std::error_code outerError;
    const fsys::path innerPath = fsys::weakly_canonical(inner, innerError);
    const fsys::path outerPath = fsys::weakly_canonical(outer, outerError);
    if (innerError || outerError) return false;
    const fsys::path rel = innerPath.lexically_relative(outerPath);
    return !rel.empty() && *rel.begin() != "..";
}

void copyEntries(const std::vector<fsys::directory_entry>& entries, const platform::DeviceFs& fs,
                 const std::string& to) {
    for (const auto& entry : entries) {
        const std::string name = entry.path().filename().string();
        const auto target = fs.toHost(to + name);
        if (!target) continue;
        std::error_code ec;
        if (isRealFolder(entry)) {
            fsys::create_directory(*target, ec);
            copyEntries(entriesOf(entry.path()), fs, to + name + "\\");
        } else if (entry.symlink_status(ec).type() == fsys::file_type::regular) {
            fsys::copy_file(entry.path(), *target, fsys::copy_options::overwrite_existing, ec);
        }
    }
}

// Deletes the files of folder's tree and each folder that became empty; keepFolder keeps folder
// itself.
void deleteHostTree(const fsys::path& folder, bool keepFolder = false) {
    const auto entries = entriesOf(folder);
    if (entries.empty()) return;
    std::error_code ec;
    fsys::permissions(folder, fsys::perms::owner_all, fsys::perm_options::add, ec);
    for (const auto& entry : entries) {
        if (isRealFolder(entry)) {
            deleteHostTree(entry.path());
        } else {
            fsys::remove(entry.path(), ec);
        }
    }
    if (!keepFolder) fsys::remove(folder, ec);
}

}  // namespace

std::optional<std::string> readFile(const platform::DeviceFs& fs, std::string_view path) {
    const auto host = fs.toHost(path);
    std::error_code ec;
    if (!host || !fsys::is_regular_file(*host, ec)) return std::nullopt;
    std::ifstream in(*host, std::ios::binary);
    if (!in) return std::nullopt;
    std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) return std::nullopt;
    return content;
}

bool writeFile(const platform::DeviceFs& fs, std::string_view path, std::string_view content) {
    const auto host = fs.toHost(path);
    return host && platform::replaceFileDurably(*host, content) == 0;
}

bool deleteFile(const platform::DeviceFs& fs, std::string_view path) {
    const auto host = fs.toHost(path);
    std::error_code ec;
    if (!host || fsys::is_directory(fsys::symlink_status(*host, ec))) return false;
    return fsys::remove(*host, ec);
}

void makePath(const platform::DeviceFs& fs, std::string_view folder) {
    const auto createOne = [&](std::string_view level) {
        const auto host = fs.toHost(level);
        std::error_code ec;
        if (host) fsys::create_directory(*host, ec);
    };
    if (folder.empty()) return;
    for (std::size_t i = 1; i < folder.size(); ++i) {
        if (folder[i] == '\\') createOne(folder.substr(0, i));
    }
    createOne(folder);
}

bool isWithin(const platform::DeviceFs& fs, std::string_view inner, std::string_view outer) {
    const auto innerHost = fs.toHost(inner);
    const auto outerHost = fs.toHost(outer);
    return innerHost && outerHost && isInside(*innerHost, *outerHost);
}

bool copyTree(const platform::DeviceFs& fs, std::string_view from, std::string_view to) {
    const auto fromHost = fs.toHost(from);
    const auto toHost = fs.toHost(to);
    if (!fromHost || !toHost || isInside(*toHost, *fromHost)) return false;
    const auto entries = entriesOf(*fromHost);
    if (entries.empty()) return false;
    copyEntries(entries, fs, withTrailingBackslash(to));
    return true;
}

void deleteTree(const platform::DeviceFs& fs, std::string_view folder) {
    // The device root itself stays, as the terminal cannot remove its root folder either.
    const auto host = fs.toHost(folder);
    if (host) deleteHostTree(*host, *host == fs.root());
}

}  // namespace tessel::restore_list
