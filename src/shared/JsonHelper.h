#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/PrintfFormat.h"

// The small JSON codec of the check-database records. The reader is tolerant and flat: an object
// is cut into its top-level members, each member at its first colon into key and value, and keys
// are matched case-insensitively; only the arrays of the check record are descended into. The
// writer never writes past the caller's buffer and silently leaves out members that do not fit.
// Texts are single-byte strings in the server's code page, passed through unchanged.
class JsonHelper {
public:
    // Where the reader's warnings and member traces go (the client library points it at its log);
    // none by default, so the service side of the shared records logs nothing.
    using LogSink = void (*)(int level, const char* format, va_list args);
    static void SetLogSink(LogSink sink);
    static void Log(int level, const char* format, ...) FISCORA_PRINTF(2, 3);

    virtual ~JsonHelper() = default;

    // Writes the record as one JSON object into buffer (never past size bytes, zero byte
    // included) and returns buffer. The base record writes nothing.
    virtual char* ToJson(char* buffer, size_t size);

    // Cuts text into at most maxCount top-level members (commas outside strings, brackets and
    // braces); returns the number of members added to out.
    static size_t SplitJsonMembers(const std::string& text, size_t maxCount, std::vector<std::string>& out);
    static std::string JsonUnescape(const std::string& text);
    static std::string JsonEscape(const std::string& text);

    // Reads one object: strips blanks and braces from both ends, splits it into at most 100
    // members, and hands each lower-cased key with its trimmed, unquoted value to store.
    static constexpr size_t kMaxMembers = 100;
    using MemberStore = std::function<void(const std::string& key, const std::string& value)>;
    static void ReadMembers(const std::string& text, const MemberStore& store);

    // Conversions with the leading-number rule (blanks skipped, no digits gives 0).
    static int32_t ToInt32(const std::string& value);
    static uint32_t ToUInt32(const std::string& value);
    static double ToDouble(const std::string& value);
    // The first character of the unescaped value, 0 when it is empty.
    static char FirstChar(const std::string& value);
    // True only for the word "true" in any capitals.
    static bool ToFlag(const std::string& value);
    // Trims blanks (space, tab, carriage return, line feed) from both ends.
    static std::string TrimBlanks(const std::string& text);
    // Strips blanks and every character of extra from both ends ("{}" around an object, "[]"
    // around an array): all of them, not just one pair.
    static std::string StripBlanksAnd(const std::string& text, const char* extra);
    // Trims blanks and removes one enclosing pair of double quotes.
    static std::string Unquote(const std::string& text);

protected:
    // Writer state, valid only while ToJson runs: the buffer's first byte, the next byte to
    // write (always holding a terminating zero) and one past the last usable byte.
    char* start = nullptr;
    char* cur = nullptr;
    char* end = nullptr;

    void BeginObject(char* buffer, size_t size);
    void EndObject();
    size_t Room() const { return static_cast<size_t>(end - cur); }
    void WriteText(const char* key, const std::string& value);
    void WriteInt(const char* key, int32_t value);
    void WriteUInt(const char* key, uint32_t value);
    void WriteDouble(const char* key, double value);
    void WriteFlag(const char* key, bool value);
    // A one-character text member (empty for the character 0).
    void WriteCharText(const char* key, char value);
    // Opens an array member ("key":[); false when it does not fit.
    bool BeginArray(const char* key);
    // Appends one character when at least two bytes remain.
    bool WriteChar(char c);
    // Lets a nested record write at cur and moves cur past what it wrote.
    void WriteNested(JsonHelper& record);

private:
    // A member of the form "key":rendered, after a comma when needed, if the key, the rendered
    // value and four bytes more fit into the room left (the zero byte stays free).
    void WriteMember(const char* key, const std::string& rendered);
    void Append(const std::string& text);
};
