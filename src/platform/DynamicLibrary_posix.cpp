#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

namespace platform {

std::string DynamicLibrary::FileName(const std::string& name) {
    return "lib" + name + ".so";
}

const bool DynamicLibrary::kUnloadMayWaitForThreads = true;

bool DynamicLibrary::KeepLoaded(const void* address) {
    Dl_info info;
    // RTLD_NODELETE: the extra reference is never given back, and dlclose leaves the library.
    return ::dladdr(address, &info) != 0 && ::dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE) != nullptr;
}

bool DynamicLibrary::Load(const std::string& path) {
    Unload();
    handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = ::dlerror();
        lastError = reason ? reason : "dlopen failed";
        return false;
    }
    return true;
}

void DynamicLibrary::Unload() {
    if (handle) {
        ::dlclose(handle);
        handle = nullptr;
    }
}

void* DynamicLibrary::Symbol(const std::string& name) {
    if (!handle) {
        return nullptr;
    }
    ::dlerror();
    void* symbol = ::dlsym(handle, name.c_str());
    if (!symbol) {
        const char* reason = ::dlerror();
        lastError = reason ? reason : "symbol not found";
    }
    return symbol;
}

}  // namespace platform
