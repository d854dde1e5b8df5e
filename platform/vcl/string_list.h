// TStringList: a list of texts, each with an object pointer, optionally kept sorted.
// Comparisons ignore the case of ASCII letters unless CaseSensitive is set.
#pragma once

#include "vcl/component.h"

#include <string>
#include <string_view>
#include <vector>

namespace vcl {

enum TDuplicates { dupIgnore, dupAccept, dupError };

class TStringList : public TObject {
public:
    TStringList() = default;

    int Count() const { return static_cast<int>(items_.size()); }
    // EStringListError for an index out of range.
    const std::string& Strings(int index) const;
    const std::string& operator[](int index) const { return Strings(index); }
    void Put(int index, const std::string& text);
    void* Objects(int index) const;
    void PutObject(int index, void* object);

    // Appends, or in a sorted list inserts at the sorted place; returns the index. A sorted list
    // ignores a duplicate (dupIgnore, returning the existing index) or refuses it (dupError).
    int Add(const std::string& text);
    int AddObject(const std::string& text, void* object);
    // Refused in a sorted list.
    void Insert(int index, const std::string& text);
    void InsertObject(int index, const std::string& text, void* object);
    void Delete(int index);
    void Clear();
    void Exchange(int index1, int index2);
    // The first index of text, or -1.
    int IndexOf(std::string_view text) const;
    // The first index whose "name=value" name is name, or -1.
    int IndexOfName(std::string_view name) const;
    // The value after "name=" of the first such line; empty when none.
    std::string Values(std::string_view name) const;
    // Sorted lists only: the index of text, or where it would go (false).
    bool Find(std::string_view text, int& index) const;

    bool GetSorted() const { return sorted_; }
    void SetSorted(bool sorted);
    TDuplicates Duplicates = dupIgnore;
    bool GetCaseSensitive() const { return caseSensitive_; }
    void SetCaseSensitive(bool caseSensitive);
    void Sort();

    // Texts separated by commas; a text with a blank, a comma, a quote or a control character is
    // quoted, quotes doubled. Setting splits at commas and at blanks outside quotes.
    std::string GetCommaText() const;
    void SetCommaText(std::string_view text);
    // One line per text, each ended by a line feed. Setting splits at LF, CR LF or CR.
    std::string GetText() const;
    void SetText(std::string_view text);

    // EFOpenError / EFCreateError when the file cannot be read / written.
    void LoadFromFile(const std::string& path);
    void SaveToFile(const std::string& path) const;

private:
    struct Entry {
        std::string text;
        void* object = nullptr;
    };
    int Compare(std::string_view a, std::string_view b) const;
    void CheckIndex(int index) const;

    std::vector<Entry> items_;
    bool sorted_ = false;
    bool caseSensitive_ = false;
};

} // namespace vcl
