#pragma once
// Test support: a fresh device root in the temporary folder, removed again at the end.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>

namespace tessel::restore_list {

class TempRoot {
  public:
    TempRoot() {
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() /
                ("tessel-root-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~TempRoot() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Writes a file at a path relative to the root, creating its folders.
    void write(const std::filesystem::path& relative, std::string_view content) const {
        std::filesystem::create_directories((path_ / relative).parent_path());
        std::ofstream(path_ / relative, std::ios::binary) << content;
    }
    std::string read(const std::filesystem::path& relative) const {
        std::ifstream in(path_ / relative, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    bool exists(const std::filesystem::path& relative) const {
        return std::filesystem::exists(path_ / relative);
    }

  private:
    std::filesystem::path path_;
};

}  // namespace tessel::restore_list
