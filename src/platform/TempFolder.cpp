#include "platform/TempFolder.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace platform {

TempFolder::~TempFolder() {
    if (!path.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
}

std::string TempFolder::Write(const std::string& name, const std::string& content) const {
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path + name).parent_path(), ignored);
    std::ofstream(path + name, std::ios::binary) << content;
    return path + name;
}

std::string TempFolder::Read(const std::string& name) const {
    std::ifstream file(path + name, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

}  // namespace platform
