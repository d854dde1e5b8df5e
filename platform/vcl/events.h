// Event types of the form layer. An event is a std::function; Method() binds a member function
// to its object, the form of the classic "code plus object" event handler.
#pragma once

#include <functional>
#include <utility>

namespace vcl {

class TObject;

using TNotifyEvent = std::function<void(TObject* Sender)>;

template <class C, class R, class... A>
std::function<R(A...)> Method(C* object, R (C::*member)(A...)) {
    return [object, member](A... args) -> R { return (object->*member)(std::forward<A>(args)...); };
}

} // namespace vcl
