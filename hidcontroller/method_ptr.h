// An event handler as the controller keeps it: a method of some object, or nothing.
// Two handlers are the same handler when they call the same code, whatever object
// they are bound to; the controller's setters compare handlers that way.
#pragma once

namespace hidcontroller {

template <typename Signature> class MethodPtr;

template <typename R, typename... Args> class MethodPtr<R(Args...)> {
public:
    using Code = R (*)(void* object, Args... args);

    MethodPtr() = default;
    MethodPtr(Code code, void* object) : code_(code), object_(object) {}

    // The handler that calls `Member` on `object`.
    template <auto Member, typename T> static MethodPtr of(T& object) {
        return MethodPtr(&trampoline<T, Member>, &object);
    }

    explicit operator bool() const { return code_ != nullptr; }
    Code code() const { return code_; }
    void* object() const { return object_; }
    R operator()(Args... args) const { return code_(object_, args...); }

private:
    template <typename T, auto Member> static R trampoline(void* object, Args... args) {
        return (static_cast<T*>(object)->*Member)(args...);
    }

    Code code_ = nullptr;
    void* object_ = nullptr;
};

} // namespace hidcontroller
