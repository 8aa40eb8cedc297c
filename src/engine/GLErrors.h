#pragma once
// Exceptions raised by the scene engine.

#include <stdexcept>

namespace velmora {

// A programming error detected inside the engine (misused coordinate style,
// unbalanced Begin/EndUpdate, ...). Raised instead of aborting so the
// application's error handler can show it and carry on.
class EGLAssertion : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An OpenGL error found pending, or a missing OpenGL capability.
class EOpenGLError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws EGLAssertion with `message` when `condition` is false.
inline void GLAssert(bool condition, const char* message)
{
    if (!condition) throw EGLAssertion(message);
}

} // namespace velmora
