#pragma once
// Undoing a change on every way out of a scope, exceptions included: GL
// state pushed and popped, flags that block re-entry, values lent to a
// callee. The undo runs in reverse order of the guards' declarations, like
// the hand-written restores it replaces.

#include <utility>

namespace velmora {

// Runs its action when the scope ends, unless dismissed.
template <class F> class TScopeExit {
public:
    explicit TScopeExit(F action) : action_(std::move(action)) {}
    ~TScopeExit()
    {
        if (armed_) action_();
    }
    TScopeExit(const TScopeExit&) = delete;
    TScopeExit& operator=(const TScopeExit&) = delete;

    // Runs the action now instead of at the end of the scope.
    void runNow()
    {
        if (armed_) {
            armed_ = false;
            action_();
        }
    }

private:
    F action_;
    bool armed_ = true;
};

// Gives a variable a value for the scope and puts the old one back after.
template <class T> class TScopedValue {
public:
    TScopedValue(T& variable, T value) : variable_(variable), saved_(std::move(variable))
    {
        variable_ = std::move(value);
    }
    ~TScopedValue() { Restore(); }
    TScopedValue(const TScopedValue&) = delete;
    TScopedValue& operator=(const TScopedValue&) = delete;

    // Puts the old value back now (and again at the end of the scope, so
    // changes made in between are undone too).
    void Restore() { variable_ = saved_; }

private:
    T& variable_;
    T saved_;
};

} // namespace velmora
