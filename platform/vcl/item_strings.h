// TItemStrings: the item texts of a combo box or list box, each with an object pointer, in the
// order the control shows them (a sorted control inserts at the sorted place).
#pragma once

#include <string>
#include <string_view>

namespace vcl {

class TItemStrings {
public:
    virtual ~TItemStrings() = default;

    virtual int Count() const = 0;
    // The text of item index; empty out of range.
    virtual std::string Strings(int index) const = 0;
    std::string operator[](int index) const { return Strings(index); }
    // The object of item index; null out of range.
    virtual void* Objects(int index) const = 0;
    virtual void PutObject(int index, void* object) = 0;
    virtual void Put(int index, const std::string& text) = 0;
    // Returns the index the item took.
    int Add(const std::string& text) { return AddObject(text, nullptr); }
    virtual int AddObject(const std::string& text, void* object) = 0;
    // Inserts at index (a sorted control still sorts).
    virtual void InsertObject(int index, const std::string& text, void* object) = 0;
    void Insert(int index, const std::string& text) { InsertObject(index, text, nullptr); }
    // Out of range does nothing.
    virtual void Delete(int index) = 0;
    virtual void Clear() = 0;
    // The first index whose text is equal, -1 when none.
    int IndexOf(std::string_view text) const;
    // The first index holding object, -1 when none.
    int IndexOfObject(const void* object) const;
    // Brackets many changes: the control does not repaint in between (events are not held back).
    virtual void BeginUpdate() = 0;
    virtual void EndUpdate() = 0;
};

} // namespace vcl
