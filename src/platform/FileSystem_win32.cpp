#include "platform/FileSystem.h"

#include <cerrno>

#include "platform/WindowsHeaders.h"

namespace platform {

namespace {

// The callers of CopyFile and ReplaceFile read errno, as the C library leaves it on POSIX: the
// system's error of the failed call in the C library's numbers.
bool FailWithErrno() {
    switch (::GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            errno = ENOENT;
            break;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
            errno = EACCES;
            break;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            errno = EEXIST;
            break;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            errno = ENOSPC;
            break;
        default:
            errno = EIO;
            break;
    }
    return false;
}

}  // namespace

std::string ProgramPath() {
    char buffer[MAX_PATH * 4];
    DWORD n = ::GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    if (n == 0 || n >= sizeof buffer) {
        return "";
    }
    return std::string(buffer, n);
}

std::string CurrentFolder() {
    char buffer[MAX_PATH * 4];
    DWORD n = ::GetCurrentDirectoryA(sizeof buffer, buffer);
    if (n == 0 || n >= sizeof buffer) {
        return "";
    }
    std::string folder(buffer, n);
    if (folder.back() != '\\' && folder.back() != '/') {
        folder += '\\';
    }
    return folder;
}

bool SetCurrentFolder(const std::string& folder) { return ::SetCurrentDirectoryA(folder.c_str()); }

bool FileExists(const std::string& path) {
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool PathMissing(const std::string& path) {
    if (::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool IsDirectory(const std::string& path) {
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsWritable(const std::string& folder) {
    // Windows grants by access lists that the attributes do not show: a file created and removed
    // again is the answer.
    std::string probe = folder + "\\.fiscora-write-probe";
    HANDLE file = ::CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    ::CloseHandle(file);
    return true;
}

std::string OwnerName(const std::string&) {
    // Only the Linux install checks who owns the program's folders.
    return "";
}

int64_t FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        return -1;
    }
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool CopyFile(const std::string& from, const std::string& to) {
    return ::CopyFileA(from.c_str(), to.c_str(), FALSE) || FailWithErrno();
}

bool RenameFile(const std::string& from, const std::string& to) {
    // Like rename(): a file of the new name is replaced.
    return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING);
}

bool RemoveFile(const std::string& path) { return ::DeleteFileA(path.c_str()); }

bool MakeDirectories(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t separator = path.find_first_of("\\/", pos);
        if (separator == std::string::npos) {
            separator = path.size();
        }
        std::string partial = path.substr(0, separator);
        // A drive ("C:") or the root of a network share is there or not: it cannot be made.
        bool drive = partial.size() == 2 && partial[1] == ':';
        if (!partial.empty() && !drive && !IsDirectory(partial)) {
            if (!::CreateDirectoryA(partial.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
                return false;
            }
        }
        pos = separator + 1;
    }
    return IsDirectory(path);
}

namespace {

bool WriteAll(HANDLE file, const std::string& content) {
    size_t done = 0;
    while (done < content.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(content.size() - done, 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, content.data() + done, chunk, &written, nullptr) || written == 0) {
            return false;
        }
        done += written;
    }
    return true;
}

bool WriteAndClose(HANDLE file, const std::string& content, bool sync) {
    bool ok = WriteAll(file, content) && (!sync || ::FlushFileBuffers(file));
    DWORD saved = ::GetLastError();
    if (!::CloseHandle(file)) {
        return false;
    }
    ::SetLastError(saved);
    return ok;
}

}  // namespace

bool AppendToFile(const std::string& path, const std::string& content, bool sync) {
    HANDLE file = ::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file != INVALID_HANDLE_VALUE && WriteAndClose(file, content, sync);
}

bool SyncFile(const std::string& path) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    return file != INVALID_HANDLE_VALUE && WriteAndClose(file, "", true);
}

bool ReplaceFile(const std::string& path, const std::string& content) {
    std::string temporary = path + ".new";
    HANDLE file = ::CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    // Written through: the rename reaches the disk before the call returns.
    if (file == INVALID_HANDLE_VALUE || !WriteAndClose(file, content, true) ||
        !::MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DWORD saved = ::GetLastError();
        ::DeleteFileA(temporary.c_str());
        ::SetLastError(saved);
        return FailWithErrno();
    }
    return true;
}

std::vector<std::string> ListFolder(const std::string& path) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE search = ::FindFirstFileA(JoinPath(path, "*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        std::string name = entry.cFileName;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    } while (::FindNextFileA(search, &entry));
    ::FindClose(search);
    return names;
}

}  // namespace platform
