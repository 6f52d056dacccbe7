#pragma once

#include <string>

namespace platform {

// A shared library loaded at run time (dlopen); unloaded when the object goes.
class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary() { Unload(); }
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // The file name of a library on this system ("libNAME.so").
    static std::string FileName(const std::string& name);

    bool Load(const std::string& path);
    void Unload();
    void* Symbol(const std::string& name);
    // The loader's reason for the last failure.
    const std::string& GetLastError() const { return lastError; }

    // Whether a library may stop and wait for its own threads while it is unloaded. Not on
    // Windows: an ending thread needs the loader's lock, which the unloading thread holds, so the
    // wait never ends.
    static const bool kUnloadMayWaitForThreads;
    // Keeps the library holding the address loaded until the process ends, whatever its users
    // unload; the process's end then ends its threads. False when the system refuses.
    static bool KeepLoaded(const void* address);

private:
    void* handle = nullptr;
    std::string lastError;
};

}  // namespace platform
