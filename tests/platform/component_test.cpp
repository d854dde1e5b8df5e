#include "vcl/component.h"
#include "vcl/events.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> freed;

class Part : public vcl::TComponent {
public:
    Part(vcl::TComponent* owner, std::string name) : vcl::TComponent(owner) {
        Name = std::move(name);
    }
    ~Part() override { freed.push_back(Name); }
    void Clicked(vcl::TObject* sender) { clickedBy = sender; }
    vcl::TObject* clickedBy = nullptr;
};

TEST(Component, OwnerFreesWhatItOwnsLastFirst) {
    freed.clear();
    auto* form = new Part(nullptr, "form");
    auto* a = new Part(form, "a");
    new Part(form, "b");
    auto* c = new Part(form, "c");
    new Part(a, "a1");
    EXPECT_EQ(form->ComponentCount(), 3);
    EXPECT_EQ(form->FindComponent("c"), c);
    EXPECT_EQ(form->Components(3), nullptr);

    delete c; // leaves its owner's list
    EXPECT_EQ(form->ComponentCount(), 2);
    auto* other = new Part(nullptr, "other");
    other->InsertComponent(a); // a changes owner
    EXPECT_EQ(a->Owner(), other);
    EXPECT_EQ(form->FindComponent("a"), nullptr);

    new Part(form, "d");

    // A destructor's own body runs first, then the owned components go, the newest first.
    freed.clear();
    delete form;
    EXPECT_EQ(freed, (std::vector<std::string>{"form", "d", "b"}));
    freed.clear();
    delete other;
    EXPECT_EQ(freed, (std::vector<std::string>{"other", "a", "a1"}));
}

TEST(Component, MethodBindsAHandlerToItsObject) {
    Part part(nullptr, "p");
    vcl::TNotifyEvent onClick = vcl::Method(&part, &Part::Clicked);
    onClick(&part);
    EXPECT_EQ(part.clickedBy, &part);
}

} // namespace
