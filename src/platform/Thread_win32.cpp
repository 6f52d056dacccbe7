#include "platform/Thread.h"

#include <pthread.h>

#include "platform/WindowsHeaders.h"

namespace platform {

void Thread::SetName(const std::string& name) {
    // Names only help a debugger; a system without SetThreadDescription goes without them.
    using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    static const auto setDescription = reinterpret_cast<SetDescription>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "SetThreadDescription")));
    if (!setDescription) {
        return;
    }
    std::wstring wide(name.begin(), name.end());
    HANDLE handle = reinterpret_cast<HANDLE>(::pthread_gethandle(thread.native_handle()));
    setDescription(handle, wide.c_str());
}

unsigned Thread::CurrentId() { return static_cast<unsigned>(::GetCurrentThreadId()); }

}  // namespace platform
