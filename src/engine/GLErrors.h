#pragma once
// Exceptions raised by the scene engine.

#include "pictures/Errors.h"
#include <stdexcept>

namespace velmora {

// A rule of the engine broken (misused coordinate style, unbalanced
// Begin/EndUpdate, ...). Raised instead of aborting so the application's
// error handler can show it and carry on. It counts as a data error because
// its usual source is a value read from a scene stream, which must then be
// reported with the property it came from.
class EGLAssertion : public EDataError {
public:
    using EDataError::EDataError;
};

// An OpenGL error found pending, or a missing OpenGL capability.
class EOpenGLError : public EInternalError {
public:
    using EInternalError::EInternalError;
};

// Throws EGLAssertion with `message` when `condition` is false.
inline void GLAssert(bool condition, const char* message)
{
    if (!condition) throw EGLAssertion(message);
}

} // namespace velmora
