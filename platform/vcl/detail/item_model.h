// Private to the form layer's sources: the item texts of a combo box or list box over the
// toolkit's item model (object pointers in the user role), with the sorted insertion place and a
// guard that marks changes made by code.
#pragma once

#include "hooks.h"
#include "text_compare.h"
#include "vcl/item_strings.h"

#include <QAbstractItemModel>
#include <QStandardItemModel>
#include <QVariant>

#include <functional>
#include <string>

namespace vcl::detail {

// Counts nested changes made by code; the control asks ByCode() in its toolkit signals.
class CodeGuard {
public:
    explicit CodeGuard(int& depth) : depth_(depth) { ++depth_; }
    ~CodeGuard() { --depth_; }
    CodeGuard(const CodeGuard&) = delete;
    CodeGuard& operator=(const CodeGuard&) = delete;

private:
    int& depth_;
};

// The items of one item-view widget: insert and remove through the callbacks the control gives
// (the widgets have their own calls), read through the model.
class ModelStrings : public TItemStrings {
public:
    struct Calls {
        std::function<QAbstractItemModel*()> model;
        std::function<void(int, const QString&, void*)> insert;
        std::function<void(int)> remove;
        std::function<void()> clear;
        std::function<bool()> sorted;
        std::function<void(bool)> updates; // false: stop painting
        int* codeDepth;
    };
    explicit ModelStrings(Calls calls) : c_(std::move(calls)) {}

    int Count() const override { return c_.model()->rowCount(); }
    std::string Strings(int index) const override {
        if (index < 0 || index >= Count()) return {};
        return FromQt(c_.model()->index(index, 0).data(Qt::DisplayRole).toString());
    }
    void* Objects(int index) const override {
        if (index < 0 || index >= Count()) return nullptr;
        return reinterpret_cast<void*>(
            c_.model()->index(index, 0).data(Qt::UserRole).value<quintptr>());
    }
    void PutObject(int index, void* object) override {
        if (index < 0 || index >= Count()) return;
        CodeGuard g(*c_.codeDepth);
        c_.model()->setData(c_.model()->index(index, 0),
                            QVariant::fromValue(reinterpret_cast<quintptr>(object)), Qt::UserRole);
    }
    void Put(int index, const std::string& text) override {
        if (index < 0 || index >= Count()) return;
        void* object = Objects(index);
        Delete(index);
        InsertObject(index, text, object);
    }
    int AddObject(const std::string& text, void* object) override {
        const int at = c_.sorted() ? SortedPlace(text) : Count();
        CodeGuard g(*c_.codeDepth);
        c_.insert(at, ToQt(text), object);
        return at;
    }
    void InsertObject(int index, const std::string& text, void* object) override {
        if (c_.sorted()) {
            AddObject(text, object);
            return;
        }
        if (index < 0) index = 0;
        if (index > Count()) index = Count();
        CodeGuard g(*c_.codeDepth);
        c_.insert(index, ToQt(text), object);
    }
    void Delete(int index) override {
        if (index < 0 || index >= Count()) return;
        CodeGuard g(*c_.codeDepth);
        c_.remove(index);
    }
    void Clear() override {
        CodeGuard g(*c_.codeDepth);
        c_.clear();
    }
    void BeginUpdate() override {
        if (updates_++ == 0) c_.updates(false);
    }
    void EndUpdate() override {
        if (updates_ > 0 && --updates_ == 0) c_.updates(true);
    }

    // The place of text in the sorted order (after its equals).
    int SortedPlace(const std::string& text) const {
        int lo = 0, hi = Count();
        while (lo < hi) {
            const int mid = (lo + hi) / 2;
            if (CompareText(Strings(mid), text) <= 0)
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    }

private:
    Calls c_;
    int updates_ = 0;
};

} // namespace vcl::detail
