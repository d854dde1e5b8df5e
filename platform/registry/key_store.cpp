#include "registry/key_store.h"

#include "paths/paths.h"
#include "paths/whole_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform::registry {
namespace {

struct Entry {
    std::string name;
    Value value;
};

struct Key {
    std::string path;
    std::vector<Entry> values;
};

struct Contents {
    std::vector<Key> keys;
};

bool SameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
        return lower(static_cast<unsigned char>(x)) == lower(static_cast<unsigned char>(y));
    });
}

bool UsableName(std::string_view name) {
    return name.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

bool UsableKey(std::string_view key) {
    return !key.empty() && UsableName(key) && key.find(']') == std::string_view::npos;
}

Key* FindKey(Contents& c, std::string_view path) {
    for (auto& k : c.keys)
        if (SameName(k.path, path)) return &k;
    return nullptr;
}

Entry* FindValue(Key& key, std::string_view name) {
    for (auto& e : key.values)
        if (SameName(e.name, name)) return &e;
    return nullptr;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A quoted text at the front of rest, escapes undone; rest moves past the closing quote.
std::optional<std::string> TakeQuoted(std::string_view& rest) {
    if (rest.empty() || rest.front() != '"') return std::nullopt;
    std::string out;
    for (std::size_t i = 1; i < rest.size(); ++i) {
        const char c = rest[i];
        if (c == '"') {
            rest.remove_prefix(i + 1);
            return out;
        }
        if (c == '\\') {
            if (++i == rest.size()) return std::nullopt;
            out += rest[i] == 'n' ? '\n' : rest[i] == 'r' ? '\r' : rest[i];
        } else {
            out += c;
        }
    }
    return std::nullopt;
}

std::optional<Value> ParseValue(std::string_view text) {
    if (!text.empty() && text.front() == '"') {
        auto s = TakeQuoted(text);
        if (!s || !text.empty()) return std::nullopt;
        return Value::String(std::move(*s));
    }
    if (text.substr(0, 6) == "dword:") {
        text.remove_prefix(6);
        if (text.empty() || text.size() > 8) return std::nullopt;
        std::uint32_t v = 0;
        for (char c : text) {
            const int d = HexDigit(c);
            if (d < 0) return std::nullopt;
            v = v << 4 | static_cast<std::uint32_t>(d);
        }
        return Value::Integer(v);
    }
    if (text.substr(0, 4) == "hex:") {
        text.remove_prefix(4);
        std::vector<std::uint8_t> bytes;
        while (!text.empty()) {
            if (text.size() < 2) return std::nullopt;
            const int hi = HexDigit(text[0]), lo = HexDigit(text[1]);
            if (hi < 0 || lo < 0) return std::nullopt;
            bytes.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
            text.remove_prefix(2);
            if (text.empty()) break;
            if (text.front() != ',' || text.size() == 1) return std::nullopt;
            text.remove_prefix(1);
        }
        return Value::Binary(std::move(bytes));
    }
    return std::nullopt;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// Names without the case of ASCII letters, for the indexes of a parse: a file of many keys or
// values costs a logarithm per line, not a pass over what came before.
struct NameLess {
    bool operator()(std::string_view a, std::string_view b) const {
        return std::lexicographical_compare(
            a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
                const auto lower = [](unsigned char c) {
                    return c >= 'A' && c <= 'Z' ? c + 32 : c;
                };
                return lower(static_cast<unsigned char>(x)) < lower(static_cast<unsigned char>(y));
            });
    }
};

Contents Parse(std::string_view text) {
    Contents c;
    // Keys by path (index into c.keys), and the value names of each key; views into text.
    std::map<std::string_view, std::size_t, NameLess> keyAt;
    std::vector<std::set<std::string, NameLess>> namesOf;
    std::size_t current = SIZE_MAX;
    while (!text.empty()) {
        const auto eol = text.find('\n');
        std::string_view line = Trim(text.substr(0, eol));
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        if (line.empty()) continue;
        if (line.front() == '[') {
            current = SIZE_MAX;
            if (line.back() != ']') continue;
            const std::string_view path = line.substr(1, line.size() - 2);
            if (!UsableKey(path)) continue;
            const auto [at, added] = keyAt.try_emplace(path, c.keys.size());
            if (added) {
                c.keys.push_back(Key{std::string(path), {}});
                namesOf.emplace_back();
            }
            current = at->second;
            continue;
        }
        if (current == SIZE_MAX || line.front() != '"') continue;
        auto name = TakeQuoted(line);
        if (!name || line.empty() || line.front() != '=' || !UsableName(*name)) continue;
        auto value = ParseValue(line.substr(1));
        if (!value || !namesOf[current].insert(*name).second) continue;
        c.keys[current].values.push_back({std::move(*name), std::move(*value)});
    }
    return c;
}

std::string Quote(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\n' || c == '\r') {
            out += c == '\n' ? "\\n" : "\\r";
            continue;
        }
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + '"';
}

std::string Serialise(const Contents& c) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const auto& key : c.keys) {
        out += '[' + key.path + "]\n";
        for (const auto& e : key.values) {
            out += Quote(e.name) + '=';
            switch (e.value.type) {
            case ValueType::String:
                out += Quote(e.value.text);
                break;
            case ValueType::Integer: {
                char hex[9];
                std::snprintf(hex, sizeof hex, "%08x", e.value.integer);
                out += "dword:";
                out += hex;
                break;
            }
            case ValueType::Binary:
                out += "hex:";
                for (std::size_t i = 0; i < e.value.data.size(); ++i) {
                    if (i) out += ',';
                    out += digits[e.value.data[i] >> 4];
                    out += digits[e.value.data[i] & 15];
                }
                break;
            }
            out += '\n';
        }
        out += '\n';
    }
    return out;
}

// The file's contents; false when it exists but cannot be read whole (too large, unreadable), so
// that a write never replaces what could not be read.
bool Load(const std::string& path, Contents& out) {
    out = {};
    std::string text;
    switch (ReadWholeFile(path, KeyStore::kMaxFileSize, text)) {
    case WholeFileRead::Read:
        out = Parse(text);
        return true;
    case WholeFileRead::Missing:
        return true;
    case WholeFileRead::TooLarge:
    case WholeFileRead::NotRegular:
    case WholeFileRead::Failed:
        break;
    }
    return false;
}

bool Save(const std::string& path, const Contents& c) {
    const std::string text = Serialise(c);
    if (text.size() > KeyStore::kMaxFileSize) return false;
    return ReplaceFile(path, text, true);
}

} // namespace

KeyStore::KeyStore(std::string path) : path_(std::move(path)) {}

KeyStore KeyStore::Program() {
    return KeyStore(ProgramFilePath("keystore.txt"));
}

std::optional<std::string> KeyStore::Problem() const {
    std::string text;
    switch (ReadWholeFile(path_, kMaxFileSize, text)) {
    case WholeFileRead::Read:
    case WholeFileRead::Missing:
        return std::nullopt;
    case WholeFileRead::TooLarge:
        return "The key store " + path_ + " is larger than " + std::to_string(kMaxFileSize >> 20) +
               " MiB. It was not read, and it is kept as it is: nothing is stored in it until it "
               "is made smaller or removed.";
    case WholeFileRead::NotRegular:
        return "The key store " + path_ +
               " is not a regular file (a pipe, a device or a folder). It was not read, and it is "
               "kept as it is: nothing is stored in it until it is replaced by a file.";
    case WholeFileRead::Failed:
        break;
    }
    return "The key store " + path_ +
           " cannot be read. It is kept as it is: nothing is stored in it until it can be read.";
}

bool KeyStore::KeyExists(std::string_view key) const {
    Contents c;
    Load(path_, c);
    return FindKey(c, key) != nullptr;
}

bool KeyStore::CreateKey(std::string_view key) {
    if (!UsableKey(key)) return false;
    Contents c;
    if (!Load(path_, c)) return false;
    if (FindKey(c, key)) return true;
    c.keys.push_back(Key{std::string(key), {}});
    return Save(path_, c);
}

std::optional<Value> KeyStore::Read(std::string_view key, std::string_view name) const {
    Contents c;
    Load(path_, c);
    Key* k = FindKey(c, key);
    if (!k) return std::nullopt;
    Entry* e = FindValue(*k, name);
    if (!e) return std::nullopt;
    return e->value;
}

bool KeyStore::Write(std::string_view key, std::string_view name, const Value& value) {
    if (!UsableName(name)) return false;
    Contents c;
    if (!Load(path_, c)) return false;
    Key* k = FindKey(c, key);
    if (!k) return false;
    if (Entry* e = FindValue(*k, name))
        e->value = value;
    else
        k->values.push_back({std::string(name), value});
    return Save(path_, c);
}

bool KeyStore::Delete(std::string_view key, std::string_view name) {
    Contents c;
    if (!Load(path_, c)) return false;
    Key* k = FindKey(c, key);
    if (!k) return false;
    const auto it = std::find_if(k->values.begin(), k->values.end(),
                                 [&](const Entry& e) { return SameName(e.name, name); });
    if (it == k->values.end()) return false;
    k->values.erase(it);
    return Save(path_, c);
}

} // namespace platform::registry
