#pragma once

#include <cerrno>
#include <string>

namespace platform {

// The errno of writing or opening a file where a folder of its name stands: Windows refuses it as
// access denied. Tests put a folder in a file's way to make a write fail.
#ifdef _WIN32
constexpr int kFolderInTheWayError = EACCES;
#else
constexpr int kFolderInTheWayError = EISDIR;
#endif

// A fresh folder under the system's temporary folder, removed with everything in it when the
// object goes. Tests and tools keep their files in one.
class TempFolder {
public:
    explicit TempFolder(const std::string& prefix = "fiscora");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder with a trailing "/".
    const std::string& Path() const { return path; }
    std::string Path(const std::string& name) const { return path + name; }
    std::string File(const std::string& name) const { return path + name; }
    // Writes the bytes as they are (creating sub-folders); returns the file's path.
    std::string Write(const std::string& name, const std::string& content) const;
    std::string Read(const std::string& name) const;

private:
    std::string path;
};

}  // namespace platform
