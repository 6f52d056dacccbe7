#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace platform {

std::string ProgramPath() {
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) {
        return "";
    }
    return std::string(buffer, static_cast<size_t>(n));
}

std::string CurrentFolder() {
    char buffer[4096];
    if (!::getcwd(buffer, sizeof buffer)) {
        return "";
    }
    std::string folder = buffer;
    if (folder.empty() || folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

bool SetCurrentFolder(const std::string& folder) { return ::chdir(folder.c_str()) == 0; }

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool PathMissing(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        return false;
    }
    return errno == ENOENT || errno == ENOTDIR;
}

bool IsDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsWritable(const std::string& folder) {
    return ::access(folder.c_str(), W_OK) == 0;
}

std::string OwnerName(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        return "";
    }
    struct passwd entry;
    struct passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(st.st_uid, &entry, buffer, sizeof buffer, &found) != 0 || !found) {
        return "";
    }
    return found->pw_name;
}

int64_t FileSize(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        return -1;
    }
    return static_cast<int64_t>(st.st_size);
}

bool CopyFile(const std::string& from, const std::string& to) {
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return false;
    }
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        int saved = errno;
        ::close(in);
        errno = saved;
        return false;
    }
    char buffer[65536];
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n == 0) {
            break;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ok = false;
            break;
        }
        ssize_t done = 0;
        while (done < n) {
            ssize_t w = ::write(out, buffer + done, static_cast<size_t>(n - done));
            if (w < 0) {
                if (errno == EINTR) {
                    continue;
                }
                ok = false;
                break;
            }
            done += w;
        }
        if (!ok) {
            break;
        }
    }
    int saved = errno;
    ::close(in);
    if (::close(out) != 0) {
        ok = false;
    }
    errno = saved;
    return ok;
}

bool RenameFile(const std::string& from, const std::string& to) { return ::rename(from.c_str(), to.c_str()) == 0; }

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool MakeDirectories(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    std::string partial;
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t slash = path.find('/', pos);
        if (slash == std::string::npos) {
            slash = path.size();
        }
        partial = path.substr(0, slash);
        if (!partial.empty() && !IsDirectory(partial)) {
            if (::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) {
                return false;
            }
        }
        pos = slash + 1;
    }
    return IsDirectory(path);
}

namespace {

bool WriteAll(int fd, const std::string& content) {
    size_t done = 0;
    while (done < content.size()) {
        ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool WriteAndClose(int fd, const std::string& content, bool sync) {
    bool ok = WriteAll(fd, content) && (!sync || ::fdatasync(fd) == 0);
    int saved = errno;
    if (::close(fd) != 0) {
        ok = false;
    } else {
        errno = saved;
    }
    return ok;
}

// The folder entry of a renamed file reaches the disk only with its folder.
void SyncFolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

bool AppendToFile(const std::string& path, const std::string& content, bool sync) {
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    return fd >= 0 && WriteAndClose(fd, content, sync);
}

bool SyncFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    return fd >= 0 && WriteAndClose(fd, "", true);
}

bool ReplaceFile(const std::string& path, const std::string& content) {
    std::string temporary = path + ".new";
    int fd = ::open(temporary.c_str(), O_WRONLY | O_TRUNC | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 || !WriteAndClose(fd, content, true) || ::rename(temporary.c_str(), path.c_str()) != 0) {
        int saved = errno;
        ::unlink(temporary.c_str());
        errno = saved;
        return false;
    }
    SyncFolderOf(path);
    return true;
}

std::vector<std::string> ListFolder(const std::string& path) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(path.c_str());
    if (!dir) {
        return names;
    }
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    ::closedir(dir);
    return names;
}

}  // namespace platform
