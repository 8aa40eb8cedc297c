#pragma once
// Owners of GL object names. A name belongs to the context that made it and
// is deleted on that context, made current for the purpose when it is not,
// whenever its owner goes (an object destroyed when Open replaces the scene,
// a texture re-uploaded). A name whose context is gone went with it and is
// only forgotten.

#include <cstdint>
#include <memory>

namespace velmora {

class TGLContext;
struct TGLContextLife;

class TGLTextureName {
public:
    TGLTextureName() = default;
    ~TGLTextureName() { Delete(); }
    TGLTextureName(const TGLTextureName&) = delete;
    TGLTextureName& operator=(const TGLTextureName&) = delete;

    operator std::uint32_t() const { return name_; }
    std::uint32_t Name() const { return name_; }

    // A new name from the current context; the old one is deleted first.
    void Create();
    void Delete();
    // Drops the name without deleting it (its context is being torn down).
    void Forget();

    // Names created and neither deleted nor forgotten, in all contexts.
    static long liveCount();

private:
    std::uint32_t name_ = 0;
    std::weak_ptr<TGLContextLife> context_;
};

} // namespace velmora
