#include "vcl/string_list.h"

#include "detail/text_compare.h"
#include "vcl/exception.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

namespace vcl {

namespace {

// Blanks and control characters end an unquoted comma-text item, as do commas.
bool IsBlank(unsigned char c) {
    return c != 0 && c <= ' ';
}

} // namespace

int TStringList::Compare(std::string_view a, std::string_view b) const {
    return detail::CompareText(a, b, !caseSensitive_);
}

void TStringList::CheckIndex(int index) const {
    if (index < 0 || index >= Count())
        throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
}

const std::string& TStringList::Strings(int index) const {
    CheckIndex(index);
    return items_[static_cast<size_t>(index)].text;
}

void TStringList::Put(int index, const std::string& text) {
    if (sorted_) throw EStringListError("Operation not allowed on sorted list");
    CheckIndex(index);
    items_[static_cast<size_t>(index)].text = text;
}

void* TStringList::Objects(int index) const {
    CheckIndex(index);
    return items_[static_cast<size_t>(index)].object;
}

void TStringList::PutObject(int index, void* object) {
    CheckIndex(index);
    items_[static_cast<size_t>(index)].object = object;
}

int TStringList::Add(const std::string& text) {
    return AddObject(text, nullptr);
}

int TStringList::AddObject(const std::string& text, void* object) {
    int index = Count();
    if (sorted_) {
        if (Find(text, index)) {
            if (Duplicates == dupIgnore) return index;
            if (Duplicates == dupError)
                throw EStringListError("String list does not allow duplicates");
        }
    }
    items_.insert(items_.begin() + index, Entry{text, object});
    return index;
}

void TStringList::Insert(int index, const std::string& text) {
    InsertObject(index, text, nullptr);
}

void TStringList::InsertObject(int index, const std::string& text, void* object) {
    if (sorted_) throw EStringListError("Operation not allowed on sorted list");
    if (index < 0 || index > Count())
        throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
    items_.insert(items_.begin() + index, Entry{text, object});
}

void TStringList::Delete(int index) {
    CheckIndex(index);
    items_.erase(items_.begin() + index);
}

void TStringList::Clear() {
    items_.clear();
}

void TStringList::Exchange(int index1, int index2) {
    CheckIndex(index1);
    CheckIndex(index2);
    std::swap(items_[static_cast<size_t>(index1)], items_[static_cast<size_t>(index2)]);
}

int TStringList::IndexOf(std::string_view text) const {
    if (sorted_) {
        int index = 0;
        return Find(text, index) ? index : -1;
    }
    for (int i = 0; i < Count(); ++i)
        if (Compare(items_[static_cast<size_t>(i)].text, text) == 0) return i;
    return -1;
}

int TStringList::IndexOfName(std::string_view name) const {
    for (int i = 0; i < Count(); ++i) {
        const std::string& s = items_[static_cast<size_t>(i)].text;
        const size_t eq = s.find('=');
        if (eq != std::string::npos && Compare(std::string_view(s).substr(0, eq), name) == 0)
            return i;
    }
    return -1;
}

std::string TStringList::Values(std::string_view name) const {
    const int i = IndexOfName(name);
    if (i < 0) return {};
    const std::string& s = items_[static_cast<size_t>(i)].text;
    return s.substr(s.find('=') + 1);
}

bool TStringList::Find(std::string_view text, int& index) const {
    // Binary search for the first entry not below text.
    int lo = 0;
    int hi = Count() - 1;
    bool found = false;
    while (lo <= hi) {
        const int mid = lo + (hi - lo) / 2;
        const int c = Compare(items_[static_cast<size_t>(mid)].text, text);
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            if (c == 0) {
                found = true;
                if (Duplicates != dupAccept) lo = mid;
            }
        }
    }
    index = lo;
    return found;
}

void TStringList::SetSorted(bool sorted) {
    if (sorted == sorted_) return;
    if (sorted) Sort();
    sorted_ = sorted;
}

void TStringList::SetCaseSensitive(bool caseSensitive) {
    if (caseSensitive == caseSensitive_) return;
    caseSensitive_ = caseSensitive;
    if (sorted_) Sort();
}

void TStringList::Sort() {
    std::stable_sort(items_.begin(), items_.end(), [this](const Entry& a, const Entry& b) {
        return Compare(a.text, b.text) < 0;
    });
}

std::string TStringList::GetCommaText() const {
    std::string out;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (i) out += ',';
        const std::string& s = items_[i].text;
        const bool quote = s.empty() || std::any_of(s.begin(), s.end(), [](char c) {
                               const auto u = static_cast<unsigned char>(c);
                               return u <= ' ' || c == ',' || c == '"';
                           });
        if (!quote) {
            out += s;
            continue;
        }
        out += '"';
        for (char c : s) {
            if (c == '"') out += '"';
            out += c;
        }
        out += '"';
    }
    return out;
}

void TStringList::SetCommaText(std::string_view text) {
    // Splits into a new list first, so that a refused duplicate leaves the old one.
    std::vector<std::string> parts;
    size_t p = 0;
    const size_t n = text.size();
    auto at = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    while (p < n && IsBlank(at(p)))
        ++p;
    while (p < n && at(p) != 0) {
        std::string item;
        if (text[p] == '"') {
            ++p;
            while (p < n) {
                if (text[p] == '"') {
                    if (p + 1 < n && text[p + 1] == '"') {
                        item += '"';
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                item += text[p++];
            }
        } else {
            const size_t start = p;
            while (p < n && at(p) > ' ' && text[p] != ',')
                ++p;
            item.assign(text.substr(start, p - start));
        }
        parts.push_back(std::move(item));
        while (p < n && IsBlank(at(p)))
            ++p;
        if (p < n && text[p] == ',') {
            if (p + 1 == n) parts.emplace_back(); // a trailing comma stands for an empty item
            do {
                ++p;
            } while (p < n && IsBlank(at(p)));
        }
    }
    TStringList fresh;
    fresh.sorted_ = sorted_;
    fresh.caseSensitive_ = caseSensitive_;
    fresh.Duplicates = Duplicates;
    for (auto& s : parts)
        fresh.Add(s);
    items_ = std::move(fresh.items_);
}

std::string TStringList::GetText() const {
    std::string out;
    for (const Entry& e : items_) {
        out += e.text;
        out += '\n';
    }
    return out;
}

void TStringList::SetText(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n' && text[i] != '\r') continue;
        lines.emplace_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    TStringList fresh;
    fresh.sorted_ = sorted_;
    fresh.caseSensitive_ = caseSensitive_;
    fresh.Duplicates = Duplicates;
    for (auto& s : lines)
        fresh.Add(s);
    items_ = std::move(fresh.items_);
}

void TStringList::LoadFromFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw EFOpenError("Cannot open file \"" + path + "\"");
    std::ostringstream data;
    data << in.rdbuf();
    if (in.bad()) throw EFOpenError("Cannot read file \"" + path + "\"");
    SetText(data.str());
}

void TStringList::SaveToFile(const std::string& path) const {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw EFCreateError("Cannot create file \"" + path + "\"");
    const std::string text = GetText();
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) throw EFCreateError("Cannot write file \"" + path + "\"");
}

} // namespace vcl
