#include "platform/DynamicLibrary.h"

#include "platform/Environment.h"
#include "platform/WindowsHeaders.h"

namespace platform {

std::string DynamicLibrary::FileName(const std::string& name) { return name + ".dll"; }

const bool DynamicLibrary::kUnloadMayWaitForThreads = false;

bool DynamicLibrary::KeepLoaded(const void* address) {
    HMODULE module = nullptr;
    return ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                                static_cast<LPCSTR>(address), &module);
}

bool DynamicLibrary::Load(const std::string& path) {
    Unload();
    handle = ::LoadLibraryA(path.c_str());
    if (!handle) {
        int error = LastSystemError();
        lastError = path + ": " + SystemErrorText(error);
        return false;
    }
    return true;
}

void DynamicLibrary::Unload() {
    if (handle) {
        ::FreeLibrary(static_cast<HMODULE>(handle));
        handle = nullptr;
    }
}

void* DynamicLibrary::Symbol(const std::string& name) {
    if (!handle) {
        return nullptr;
    }
    FARPROC symbol = ::GetProcAddress(static_cast<HMODULE>(handle), name.c_str());
    if (!symbol) {
        lastError = name + ": " + SystemErrorText(LastSystemError());
    }
    return reinterpret_cast<void*>(symbol);
}

}  // namespace platform
