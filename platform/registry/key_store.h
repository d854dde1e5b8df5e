// A small key store of our own in place of the desktop registry: keys named by their full path
// ("HKEY_CURRENT_USER\Software\..."), each holding named values of three types. It lives in one
// text file (in the program folder by default), so code that reads and restores values runs
// without changing anything on the desktop. Key paths and value names compare case-insensitively
// (ASCII). Every change is written to the file at once, through a new file renamed into place.
//
// File format, one entry a line (in quoted texts \\, \", \n and \r are escaped):
//   [HKEY_CURRENT_USER\Software\Example]
//   "Number"=dword:00000091
//   "Bytes"=hex:91,00,00,00
//   "Text"="quoted, with \" and \\ escaped"
// Lines that are not understood are ignored; the first occurrence of a key or value counts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::registry {

enum class ValueType { String, Integer, Binary };

struct Value {
    ValueType type = ValueType::String;
    std::string text;               // String
    std::uint32_t integer = 0;      // Integer
    std::vector<std::uint8_t> data; // Binary

    static Value Integer(std::uint32_t v) { return {ValueType::Integer, {}, v, {}}; }
    static Value Binary(std::vector<std::uint8_t> bytes) {
        return {ValueType::Binary, {}, 0, std::move(bytes)};
    }
    static Value String(std::string s) { return {ValueType::String, std::move(s), 0, {}}; }
    bool operator==(const Value&) const = default;
};

class KeyStore {
public:
    // Files larger than this are not read (the store then reads as empty and refuses writes).
    static constexpr std::size_t kMaxFileSize = 1 << 20;

    // The store in the file at path.
    explicit KeyStore(std::string path);
    // The program's store: "keystore.txt" in the program folder.
    static KeyStore Program();

    const std::string& Path() const { return path_; }

    // Why the file cannot be used (present but larger than kMaxFileSize, or unreadable), for the
    // user; nothing when it reads (or is missing, which reads as empty).
    std::optional<std::string> Problem() const;

    bool KeyExists(std::string_view key) const;
    // Makes the key (and nothing else) when it is missing; false when the name is unusable
    // (empty, a line break, ']' or a NUL in it) or the file cannot be written.
    bool CreateKey(std::string_view key);
    // The value, or nullopt when the key or the value is missing.
    std::optional<Value> Read(std::string_view key, std::string_view name) const;
    // Stores a value in an existing key (never makes the key); false when the key is missing,
    // the name is unusable (a line break or NUL) or the file cannot be written.
    bool Write(std::string_view key, std::string_view name, const Value& value);
    // False when there was no such value or the file cannot be written.
    bool Delete(std::string_view key, std::string_view name);

private:
    std::string path_;
};

} // namespace platform::registry
