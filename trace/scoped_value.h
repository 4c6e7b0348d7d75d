// A value changed for the life of a scope and put back on every way out of it, failures
// included: the trace's temporary changes of the lens and of its own state.
#pragma once

template <class T>
class ScopedValue {
public:
    ScopedValue(T& target, T value) : target_(target), saved_(target) { target_ = value; }
    // Only remembers the value; the scope changes it as it goes.
    explicit ScopedValue(T& target) : target_(target), saved_(target) {}
    ~ScopedValue() { target_ = saved_; }
    ScopedValue(const ScopedValue&) = delete;
    ScopedValue& operator=(const ScopedValue&) = delete;
    const T& saved() const { return saved_; }

private:
    T& target_;
    T saved_;
};
