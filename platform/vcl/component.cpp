#include "vcl/component.h"

#include <algorithm>

namespace vcl {

void Free(TObject* object) {
    if (!object) return;
    object->BeforeDestruction();
    delete object;
}

TComponent::TComponent(TComponent* owner) {
    if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
    destroying_ = true;
    DestroyComponents();
    if (owner_) owner_->RemoveComponent(this);
    // Those that hold a pointer to this component drop it; this one forgets them.
    while (!notified_.empty()) {
        TComponent* other = notified_.back();
        notified_.pop_back();
        auto it = std::find(other->notified_.begin(), other->notified_.end(), this);
        if (it != other->notified_.end()) other->notified_.erase(it);
        other->Notification(this, opRemove);
    }
}

void TComponent::FreeNotification(TComponent* other) {
    if (!other || other == this) return;
    if (std::find(notified_.begin(), notified_.end(), other) != notified_.end()) return;
    notified_.push_back(other);
    other->notified_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* other) {
    auto it = std::find(notified_.begin(), notified_.end(), other);
    if (it == notified_.end()) return;
    notified_.erase(it);
    auto back = std::find(other->notified_.begin(), other->notified_.end(), this);
    if (back != other->notified_.end()) other->notified_.erase(back);
}

void TComponent::Notification(TComponent*, TOperation) {}

TComponent* TComponent::Components(int index) const {
    if (index < 0 || index >= ComponentCount()) return nullptr;
    return components_[static_cast<size_t>(index)];
}

TComponent* TComponent::FindComponent(std::string_view name) const {
    for (TComponent* c : components_)
        if (c->Name == name) return c;
    return nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
    if (!component || component->owner_ == this) return;
    if (component->owner_) component->owner_->RemoveComponent(component);
    components_.push_back(component);
    component->owner_ = this;
}

void TComponent::RemoveComponent(TComponent* component) {
    auto it = std::find(components_.begin(), components_.end(), component);
    if (it == components_.end()) return;
    components_.erase(it);
    component->owner_ = nullptr;
}

void TComponent::DestroyComponents() {
    while (!components_.empty()) {
        TComponent* last = components_.back();
        components_.pop_back();
        last->owner_ = nullptr;
        Free(last);
    }
}

} // namespace vcl
