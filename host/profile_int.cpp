// host/profile_int.cpp -- an INI reader that answers as Windows' GetPrivateProfileIntA does.
// Runs once at load, so it may allocate. Every rule here was checked against the real function
// with the differential settings test; a change that breaks one shows there.
#include "host/profile_int.h"

#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace {

// Windows copies the value into a 30-character buffer before reading the number.
constexpr size_t ValueBufferChars = 29;

bool IsProfileSpace(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == 0x1A;
}

std::string Trim(const std::string& s, size_t begin, size_t end)
{
    while (begin < end && IsProfileSpace(static_cast<unsigned char>(s[begin])))
        ++begin;
    while (end > begin && IsProfileSpace(static_cast<unsigned char>(s[end - 1])))
        --end;
    return s.substr(begin, end - begin);
}

bool EqualsIgnoringCase(const std::string& a, const char* b)
{
    size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return i == a.size() && b[i] == '\0';
}

// A file that starts with a UTF-16 byte order mark is read as UTF-16; the settings are ASCII, so
// anything beyond that is kept only as a byte that matches no key and no digit.
std::string Decode(std::string bytes)
{
    if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xEF &&
        static_cast<unsigned char>(bytes[1]) == 0xBB && static_cast<unsigned char>(bytes[2]) == 0xBF)
        return bytes.substr(3);
    const bool littleEndian = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
                              static_cast<unsigned char>(bytes[1]) == 0xFE;
    const bool bigEndian = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE &&
                           static_cast<unsigned char>(bytes[1]) == 0xFF;
    if (!littleEndian && !bigEndian)
        return bytes;
    std::string narrow;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        const unsigned char low = static_cast<unsigned char>(bytes[littleEndian ? i : i + 1]);
        const unsigned char high = static_cast<unsigned char>(bytes[littleEndian ? i + 1 : i]);
        narrow += high == 0 ? static_cast<char>(low) : '\x7F';
    }
    return narrow;
}

bool ReadFile(const char* path, std::string& text)
{
    std::string local(path);
    for (char& c : local) {
        if (c == '\\')
            c = '/';
    }
    std::ifstream file(local, std::ios::binary);
    if (!file)
        return false;
    text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

// The value of key in the first section of that name. Later sections of the same name, and later
// lines with the same key, are never read. Lines before the first header belong to no section.
// A carriage return ends a line as a line feed does.
bool FindValue(const std::string& text, const char* section, const char* key, std::string& value)
{
    bool inSection = false;
    bool sectionSeen = false;
    size_t lineStart = 0;
    while (lineStart < text.size()) {
        size_t lineEnd = text.find_first_of("\r\n", lineStart);
        if (lineEnd == std::string::npos)
            lineEnd = text.size();
        const std::string line = Trim(text, lineStart, lineEnd);
        lineStart = lineEnd + 1;
        if (line.empty())
            continue;

        if (line[0] == '[') {
            const size_t close = line.rfind(']');
            if (close == std::string::npos)
                continue;  // not a header; the line is dropped
            if (inSection)
                return false;  // the first matching section has ended without the key
            inSection = !sectionSeen && EqualsIgnoringCase(Trim(line, 1, close), section);
            sectionSeen = sectionSeen || inSection;
            continue;
        }
        if (!inSection)
            continue;
        const size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;  // a key without a value reads as missing
        if (!EqualsIgnoringCase(Trim(line, 0, equals), key))
            continue;
        value = Trim(line, equals + 1, line.size());
        return true;
    }
    return false;
}

int DigitValue(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 99;
}

}  // namespace

uint32_t ParseProfileInt(const char* value)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(value);
    while (*p != '\0' && *p <= ' ')
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    uint32_t base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'o' || p[1] == 'b')) {
        base = p[1] == 'x' ? 16 : p[1] == 'o' ? 8 : 2;
        p += 2;
    }
    uint32_t result = 0;  // wraps modulo 2^32, as Windows does
    for (; *p != '\0'; ++p) {
        const int digit = DigitValue(*p);
        if (digit >= static_cast<int>(base))
            break;
        result = result * base + static_cast<uint32_t>(digit);
    }
    return negative ? 0u - result : result;
}

uint32_t ReadProfileInt(const char* section, const char* key, int32_t defaultValue, const char* path)
{
    std::string bytes;
    if (!ReadFile(path, bytes))
        return static_cast<uint32_t>(defaultValue);
    return ProfileIntFromText(bytes.data(), bytes.size(), section, key, defaultValue);
}

uint32_t ProfileIntFromText(const char* text, size_t length, const char* section, const char* key, int32_t defaultValue)
{
    const uint32_t fallback = static_cast<uint32_t>(defaultValue);
    std::string value;
    if (!FindValue(Decode(std::string(text, length)), section, key, value))
        return fallback;

    // The value is a C string from here on: it ends at its first NUL. Matching quotes around it
    // are dropped, then it is cut to the buffer.
    value.resize(std::strlen(value.c_str()));
    if (value.size() > 1 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        value = value.substr(1, value.size() - 2);
    if (value.size() > ValueBufferChars)
        value.resize(ValueBufferChars);
    if (value.empty())
        return fallback;
    return ParseProfileInt(value.c_str());
}
