#include "vcl/ini_file.h"

#include "detail/text_compare.h"
#include "paths/whole_file.h"
#include "vcl/exception.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vcl {

namespace {

constexpr size_t kMaxFileSize = TIniFile::MaxFileSize; // larger files are not read, nor written
constexpr size_t kMaxValue = 2047;                     // bytes a value reads at most

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Names compare like the classic profile functions: ASCII letters without case, other bytes as
// they are.
bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && detail::CompareText(a, b) == 0;
}

// Text stops at a NUL byte, as the classic functions read C strings.
std::string_view UpToNul(std::string_view s) {
    const size_t nul = s.find('\0');
    return nul == std::string_view::npos ? s : s.substr(0, nul);
}

// Cuts text to at most max bytes without splitting a UTF-8 sequence.
std::string_view CutUtf8(std::string_view s, size_t max) {
    if (s.size() <= max) return s;
    size_t end = max;
    while (end > 0 && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80)
        --end;
    return s.substr(0, end);
}

bool HasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

} // namespace

struct TIniFile::Content {
    enum class Kind { Other, Section, Key };
    struct Line {
        std::string raw;
        Kind kind = Kind::Other;
        std::string name;  // section or key name, trimmed
        std::string value; // key value, trimmed, quotes removed, cut
    };

    std::vector<Line> lines;
    std::string eol = "\n";
    TIniFile::LoadResult loaded = TIniFile::LoadResult::Read;
    bool writable = true; // false when an existing file could not be read in full

    // The index: the first header of each section name, and the first line of each key name in
    // the first section of each name (the only section the lookups read), each sorted by name
    // in the order of the classic compare (ASCII letters without case), so that a lookup costs
    // a logarithm of the names and a listing of the whole file n log n. Sorted tables and not a
    // hash: a file made to collide its names cannot slow them down. The names are views into
    // lines: the index is made when a read first needs it, dropped at every change of lines,
    // and never copied.
    struct Section {
        std::string_view name;
        size_t line;
    };
    struct Key {
        size_t header; // line of the section's first header
        std::string_view name;
        size_t line;
    };
    mutable std::vector<Section> sectionIndex;
    mutable std::vector<Key> keyIndex;
    mutable std::vector<char> first; // per line: the header or key line the lookups read
    mutable bool indexed = false;

    Content() = default;
    Content(const Content& other)
        : lines(other.lines), eol(other.eol), loaded(other.loaded), writable(other.writable) {}
    Content& operator=(const Content&) = delete;

    // Called after every change of lines.
    void Reindex() {
        indexed = false;
        sectionIndex.clear();
        keyIndex.clear();
        first.clear();
    }

    static bool NameLess(std::string_view a, std::string_view b) {
        return detail::CompareText(a, b) < 0;
    }
    static bool KeyLess(const Key& a, const Key& b) {
        return a.header != b.header ? a.header < b.header : NameLess(a.name, b.name);
    }

    void Index() const {
        if (indexed) return;
        sectionIndex.clear();
        keyIndex.clear();
        first.assign(lines.size(), 0);
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i].kind == Kind::Section) sectionIndex.push_back({lines[i].name, i});
        // Stable: of equal names the first line stays first, and is the one kept.
        std::stable_sort(
            sectionIndex.begin(), sectionIndex.end(),
            [](const Section& a, const Section& b) { return NameLess(a.name, b.name); });
        sectionIndex.erase(std::unique(sectionIndex.begin(), sectionIndex.end(),
                                       [](const Section& a, const Section& b) {
                                           return SameName(a.name, b.name);
                                       }),
                           sectionIndex.end());
        for (const Section& section : sectionIndex)
            first[section.line] = 1;
        size_t header = 0;
        bool inFirst = false;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].kind == Kind::Section) {
                header = i;
                inFirst = first[i] != 0;
            } else if (lines[i].kind == Kind::Key && inFirst) {
                keyIndex.push_back({header, lines[i].name, i});
            }
        }
        std::stable_sort(keyIndex.begin(), keyIndex.end(), KeyLess);
        keyIndex.erase(std::unique(keyIndex.begin(), keyIndex.end(),
                                   [](const Key& a, const Key& b) {
                                       return a.header == b.header && SameName(a.name, b.name);
                                   }),
                       keyIndex.end());
        for (const Key& key : keyIndex)
            first[key.line] = 1;
        indexed = true;
    }

    static Line Parse(std::string raw) {
        Line line;
        line.raw = std::move(raw);
        const std::string_view t = Trim(line.raw);
        if (!t.empty() && t.front() == '[') {
            const size_t close = t.rfind(']');
            if (close != std::string_view::npos && close > 0) {
                line.kind = Kind::Section;
                line.name = std::string(UpToNul(Trim(t.substr(1, close - 1))));
            }
            return line;
        }
        if (t.empty() || t.front() == ';') return line;
        const size_t eq = t.find('=');
        if (eq == std::string_view::npos) return line;
        const std::string_view key = UpToNul(Trim(t.substr(0, eq)));
        if (key.empty()) return line;
        std::string_view value = UpToNul(Trim(t.substr(eq + 1)));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        line.kind = Kind::Key;
        line.name = std::string(key);
        line.value = std::string(CutUtf8(value, kMaxValue));
        return line;
    }

    // The index of the first section header of that name, or nothing. A change finds its place
    // by one pass over the lines when the index is stale (the change costs a pass anyway), so
    // that a run of writes does not rebuild the index for each; reads build it.
    std::optional<size_t> FindSection(std::string_view section) const {
        if (!indexed) {
            for (size_t i = 0; i < lines.size(); ++i)
                if (lines[i].kind == Kind::Section && SameName(lines[i].name, section)) return i;
            return std::nullopt;
        }
        const auto it = std::lower_bound(
            sectionIndex.begin(), sectionIndex.end(), section,
            [](const Section& a, std::string_view name) { return NameLess(a.name, name); });
        if (it == sectionIndex.end() || !SameName(it->name, section)) return std::nullopt;
        return it->line;
    }
    // One past the last line of the section whose header is at index.
    size_t SectionEnd(size_t header) const {
        size_t i = header + 1;
        while (i < lines.size() && lines[i].kind != Kind::Section)
            ++i;
        return i;
    }
    // Whether line i is the one the lookups read of its name (a first header, or the first key
    // of its name in a first section).
    bool IsFirst(size_t i) const {
        Index();
        return first[i] != 0;
    }
    const Line* FindKey(std::string_view section, std::string_view ident) const {
        Index();
        const auto header = FindSection(section);
        if (!header) return nullptr;
        const Key wanted{*header, ident, 0};
        const auto it = std::lower_bound(keyIndex.begin(), keyIndex.end(), wanted, KeyLess);
        if (it == keyIndex.end() || it->header != *header || !SameName(it->name, ident))
            return nullptr;
        return &lines[it->line];
    }
};

TIniFile::TIniFile(std::string fileName)
    : fileName_(std::move(fileName)), content_(std::make_unique<Content>()) {
    std::string data;
    switch (platform::ReadWholeFile(fileName_, kMaxFileSize, data)) {
    case platform::WholeFileRead::Read:
        break;
    case platform::WholeFileRead::Missing:
        content_->loaded = LoadResult::Missing;
        return; // an empty file that writes create
    case platform::WholeFileRead::TooLarge:
        content_->loaded = LoadResult::TooLarge;
        content_->writable = false; // kept as it is: what it stores is not lost
        return;
    case platform::WholeFileRead::NotRegular:
        content_->loaded = LoadResult::NotRegular;
        content_->writable = false;
        return;
    case platform::WholeFileRead::Failed:
        content_->loaded = LoadResult::Unreadable;
        content_->writable = false;
        return;
    }
    const size_t firstLf = data.find('\n');
    if (firstLf != std::string::npos && firstLf > 0 && data[firstLf - 1] == '\r')
        content_->eol = "\r\n";
    size_t start = 0;
    for (size_t i = 0; i < data.size(); ++i) {
        if (data[i] != '\n' && data[i] != '\r') continue;
        content_->lines.push_back(Content::Parse(data.substr(start, i - start)));
        if (data[i] == '\r' && i + 1 < data.size() && data[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < data.size()) content_->lines.push_back(Content::Parse(data.substr(start)));
    content_->Reindex();
}

TIniFile::~TIniFile() = default;

std::string TIniFile::ReadString(std::string_view section, std::string_view ident,
                                 std::string_view defaultValue) const {
    const Content::Line* line = content_->FindKey(section, ident);
    return line ? line->value : std::string(defaultValue);
}

int TIniFile::ReadInteger(std::string_view section, std::string_view ident,
                          int defaultValue) const {
    const Content::Line* line = content_->FindKey(section, ident);
    if (!line) return defaultValue;
    std::string_view s = line->value;
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (!s.empty() && s.front() == '$') {
        base = 16;
        s.remove_prefix(1);
    } else if (s.size() > 1 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty()) return defaultValue;
    long long value = 0;
    for (char c : s) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return defaultValue;
        value = value * base + digit;
        if (value > 0xFFFFFFFFLL) return defaultValue;
    }
    if (base == 16 && !negative && value > 0x7FFFFFFFLL) // hexadecimal may spell the sign bit
        value -= 0x100000000LL;
    if (negative) value = -value;
    if (value < -2147483648LL || value > 2147483647LL) return defaultValue;
    return static_cast<int>(value);
}

bool TIniFile::ReadBool(std::string_view section, std::string_view ident, bool defaultValue) const {
    return ReadInteger(section, ident, defaultValue ? 1 : 0) != 0;
}

void TIniFile::WriteString(std::string_view section, std::string_view ident,
                           std::string_view value) {
    const std::string_view s = Trim(section);
    const std::string_view k = Trim(ident);
    if (s.empty() || k.empty() || HasLineBreak(section) || HasLineBreak(ident) ||
        HasLineBreak(value) || k.find('=') != std::string_view::npos ||
        s.find(']') != std::string_view::npos || section.find('\0') != std::string_view::npos ||
        ident.find('\0') != std::string_view::npos || value.find('\0') != std::string_view::npos)
        throw EIniFileException("Unable to write to " + fileName_);
    if (!content_->writable) throw EIniFileException("Unable to write to " + fileName_);
    auto& lines = content_->lines;
    auto before = Snapshot();
    Content::Line line = Content::Parse(std::string(k) + "=" + std::string(value));
    auto header = content_->FindSection(s);
    if (!header) {
        lines.push_back(Content::Parse("[" + std::string(s) + "]"));
        lines.push_back(std::move(line));
    } else {
        const size_t end = content_->SectionEnd(*header);
        size_t insertAt = *header + 1;
        bool replaced = false;
        for (size_t i = *header + 1; i < end; ++i) {
            if (lines[i].kind != Content::Kind::Key) continue;
            if (SameName(lines[i].name, k)) {
                lines[i] = std::move(line);
                replaced = true;
                break;
            }
            insertAt = i + 1;
        }
        if (!replaced) lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), line);
    }
    content_->Reindex();
    Commit(std::move(before));
}

void TIniFile::WriteInteger(std::string_view section, std::string_view ident, int value) {
    WriteString(section, ident, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view ident, bool value) {
    WriteString(section, ident, value ? "1" : "0");
}

void TIniFile::ReadSection(std::string_view section, TStringList& idents) const {
    idents.Clear();
    content_->Index();
    const auto header = content_->FindSection(section);
    if (!header) return;
    const size_t end = content_->SectionEnd(*header);
    for (size_t i = *header + 1; i < end; ++i)
        if (content_->lines[i].kind == Content::Kind::Key && content_->IsFirst(i))
            idents.Add(content_->lines[i].name);
}

void TIniFile::ReadSections(TStringList& sections) const {
    sections.Clear();
    for (size_t i = 0; i < content_->lines.size(); ++i)
        if (content_->lines[i].kind == Content::Kind::Section && content_->IsFirst(i))
            sections.Add(content_->lines[i].name);
}

void TIniFile::EraseSection(std::string_view section) {
    if (!content_->writable) throw EIniFileException("Unable to write to " + fileName_);
    if (!content_->FindSection(section)) return;
    auto before = Snapshot();
    // One pass: every line from a header of that name up to the next header goes.
    std::vector<Content::Line> kept;
    kept.reserve(content_->lines.size());
    bool inSection = false;
    for (Content::Line& line : content_->lines) {
        if (line.kind == Content::Kind::Section) inSection = SameName(line.name, section);
        if (!inSection) kept.push_back(std::move(line));
    }
    content_->lines = std::move(kept);
    content_->Reindex();
    Commit(std::move(before));
}

void TIniFile::DeleteKey(std::string_view section, std::string_view ident) {
    if (!content_->writable) throw EIniFileException("Unable to write to " + fileName_);
    // One pass: the key's lines in every section of that name go.
    std::vector<Content::Line> kept;
    kept.reserve(content_->lines.size());
    bool inSection = false;
    bool changed = false;
    for (const Content::Line& line : content_->lines) {
        if (line.kind == Content::Kind::Section) inSection = SameName(line.name, section);
        if (inSection && line.kind == Content::Kind::Key && SameName(line.name, ident))
            changed = true;
        else
            kept.push_back(line);
    }
    if (!changed) return;
    auto before = Snapshot();
    content_->lines = std::move(kept);
    content_->Reindex();
    Commit(std::move(before));
}

bool TIniFile::SectionExists(std::string_view section) const {
    content_->Index();
    const auto header = content_->FindSection(section);
    if (!header) return false;
    const size_t end = content_->SectionEnd(*header);
    for (size_t i = *header + 1; i < end; ++i)
        if (content_->lines[i].kind == Content::Kind::Key) return true;
    return false;
}

TIniFile::LoadResult TIniFile::Loaded() const {
    return content_->loaded;
}

bool TIniFile::Writable() const {
    return content_->writable;
}

bool TIniFile::ValueExists(std::string_view section, std::string_view ident) const {
    return content_->FindKey(section, ident) != nullptr;
}

void TIniFile::UpdateFile() {
    if (content_->writable && updateCount_ == 0) Save();
}

std::unique_ptr<TIniFile::Content> TIniFile::Snapshot() const {
    // Inside a bracket the content at its beginning is what a failure goes back to.
    return updateCount_ > 0 ? nullptr : std::make_unique<Content>(*content_);
}

void TIniFile::BeginUpdate() {
    if (updateCount_++ == 0) beforeUpdate_ = std::make_unique<Content>(*content_);
}

void TIniFile::EndUpdate() {
    if (updateCount_ == 0 || --updateCount_ > 0) return;
    Commit(std::move(beforeUpdate_));
}

void TIniFile::CancelUpdate() {
    if (updateCount_ == 0) return;
    updateCount_ = 0;
    content_ = std::move(beforeUpdate_);
}

void TIniFile::Commit(std::unique_ptr<Content> before) {
    if (updateCount_ > 0) return; // written at the bracket's end
    try {
        Save();
    } catch (...) {
        content_ = std::move(before); // what is not in the file is not kept either
        throw;
    }
}

void TIniFile::Save() {
    std::string data;
    std::size_t size = 0;
    for (const Content::Line& line : content_->lines)
        size += line.raw.size() + content_->eol.size();
    // The reader refuses a file above the cap: a larger one is never written.
    if (size > kMaxFileSize)
        throw EIniFileTooLarge("Unable to write to " + fileName_ + ": it would be larger than " +
                               std::to_string(kMaxFileSize >> 20) + " MiB");
    data.reserve(size);
    for (const Content::Line& line : content_->lines) {
        data += line.raw;
        data += content_->eol;
    }
    // A new file beside the old one replaces it in one step, so that a failed write never leaves
    // a half-written settings file.
    if (!platform::ReplaceFile(fileName_, data, false))
        throw EIniFileException("Unable to write to " + fileName_);
}

} // namespace vcl
