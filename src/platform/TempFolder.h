#pragma once

#include <string>

namespace platform {

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
    std::string File(const std::string& name) const { return path + name; }

private:
    std::string path;
};

}  // namespace platform
