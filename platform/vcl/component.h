// The root classes of the form layer: TObject and TComponent with its ownership rule (a component
// frees the components it owns when it is destroyed).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vcl {

class TObject {
public:
    TObject() = default;
    virtual ~TObject() = default;
    // Runs while the whole object still exists, just before it is deleted by its owner or by
    // Free: the place for events that call into derived classes (a form's OnDestroy).
    virtual void BeforeDestruction() {}
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
};

// BeforeDestruction, then delete; nothing for null. Use it in place of delete for objects whose
// destruction raises events.
void Free(TObject* object);

enum TOperation { opInsert, opRemove };

class TComponent : public TObject {
public:
    // Joins the owner's list when owner is not null.
    explicit TComponent(TComponent* owner);
    // Frees the owned components (last first), then leaves the owner.
    ~TComponent() override;

    TComponent* Owner() const { return owner_; }
    int ComponentCount() const { return static_cast<int>(components_.size()); }
    // The owned component at index, or null out of range.
    TComponent* Components(int index) const;
    // The first owned component of that name (exact match), or null.
    TComponent* FindComponent(std::string_view name) const;
    // Takes component over from its current owner.
    void InsertComponent(TComponent* component);
    // Gives up ownership without freeing it.
    void RemoveComponent(TComponent* component);
    // Frees every owned component now, last first. Derived classes whose owned components use
    // their members call this in their own destructor.
    void DestroyComponents();
    // True from the start of destruction on.
    bool Destroying() const { return destroying_; }

    // Asks for a Notification(this, opRemove) call on other when this component is destroyed
    // (for components that keep a pointer to one they do not own). Mutual.
    void FreeNotification(TComponent* other);
    void RemoveFreeNotification(TComponent* other);

    std::string Name;

protected:
    // Told that component is going (opRemove); drop every pointer to it.
    virtual void Notification(TComponent* component, TOperation operation);

private:
    TComponent* owner_ = nullptr;
    std::vector<TComponent*> components_;
    std::vector<TComponent*> notified_; // components that hold a pointer to this one, and back
    bool destroying_ = false;
};

} // namespace vcl
