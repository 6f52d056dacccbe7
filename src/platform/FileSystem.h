#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// The separator of the folders of a path on this system.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif
// "/" divides a path on Windows too.
inline bool IsSeparator(char c) { return c == '/' || c == kPathSeparator; }

// The folder of the running executable with a trailing separator; empty when it cannot be found.
std::string ProgramFolder();
// Full path of the running executable; empty when it cannot be found.
std::string ProgramPath();
std::string CurrentFolder();
// Makes the folder the working folder of the process; false when it cannot be.
bool SetCurrentFolder(const std::string& folder);

bool FileExists(const std::string& path);
// The system says that nothing is there (no such file or folder); false when the path exists or
// cannot be looked at (a folder this process may not enter), with the system error set then.
bool PathMissing(const std::string& path);
bool IsDirectory(const std::string& path);
// This process may create files in the folder (false with the system error set otherwise).
bool IsWritable(const std::string& folder);
// The login name of the file's owner; empty when it cannot be found.
std::string OwnerName(const std::string& path);
// Size in bytes, -1 when the file does not exist.
int64_t FileSize(const std::string& path);
// Copies a file, replacing the target. False (errno kept) on failure.
bool CopyFile(const std::string& from, const std::string& to);
bool RenameFile(const std::string& from, const std::string& to);
bool RemoveFile(const std::string& path);
// Creates the folder and its parents; true when it exists afterwards.
bool MakeDirectories(const std::string& path);
bool ReadFile(const std::string& path, std::string& content);
// A side file an installer edits (configuration, code lists, texts): read whole when it has at
// most maxBytes, refused (content empty) when it is longer, so a wrong file cannot fill memory.
enum class ReadStatus { Ok, CannotOpen, TooLong, Failed };
ReadStatus ReadFileUpTo(const std::string& path, size_t maxBytes, std::string& content);
bool WriteFile(const std::string& path, const std::string& content);
// Appends to the file (created when missing); with sync the bytes are on the disk, not only in
// the system's cache, when it returns true.
bool AppendToFile(const std::string& path, const std::string& content, bool sync);
// Makes what was written to the file so far reach the disk (not only the system's cache).
bool SyncFile(const std::string& path);
// Replaces the file as a whole: the new content is written beside it, synced and renamed over
// it, so that a crash leaves either the old or the new content, never a mix. False (errno
// kept) on failure.
bool ReplaceFile(const std::string& path, const std::string& content);
// Names (not paths) of the entries of a folder.
std::vector<std::string> ListFolder(const std::string& path);
// Joins a folder and a name with exactly one separator between them ("/" is taken as one on
// Windows too).
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace platform
