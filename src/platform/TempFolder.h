#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

namespace platform {

// A fresh folder below the system's temporary folder, removed with everything in it when the
// object goes. Tests write their files here.
class TempFolder {
public:
    TempFolder() {
        static std::atomic<int> counter{0};
        auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        for (;;) {
            std::filesystem::path candidate =
                std::filesystem::temp_directory_path() /
                ("fiscora-" + std::to_string(stamp) + "-" + std::to_string(++counter));
            std::error_code error;
            if (std::filesystem::create_directory(candidate, error)) {
                folder = candidate.string() + "/";
                return;
            }
        }
    }
    ~TempFolder() {
        std::error_code error;
        std::filesystem::remove_all(folder, error);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder with a trailing "/".
    const std::string& Path() const { return folder; }
    std::string Path(const std::string& name) const { return folder + name; }
    // Writes the bytes as they are; returns the file's path.
    std::string Write(const std::string& name, const std::string& content) const {
        std::filesystem::create_directories(std::filesystem::path(folder + name).parent_path());
        std::ofstream(folder + name, std::ios::binary) << content;
        return folder + name;
    }
    std::string Read(const std::string& name) const {
        std::ifstream file(folder + name, std::ios::binary);
        std::stringstream content;
        content << file.rdbuf();
        return content.str();
    }

private:
    std::string folder;
};

}  // namespace platform
