#include "engine/gl/GLNames.h"

#include "engine/gl/GLContext.h"

#include <GL/gl.h>

#include <atomic>

namespace velmora {

namespace {
std::atomic<long> liveTextures{0};
}

void TGLTextureName::Create()
{
    Delete();
    TGLContext* current = TGLContext::Current();
    GLuint name = 0;
    glGenTextures(1, &name);
    if (name == 0) return;
    name_ = name;
    if (current) context_ = current->life();
    ++liveTextures;
}

void TGLTextureName::Delete()
{
    if (name_ == 0) return;
    const std::shared_ptr<TGLContextLife> life = context_.lock();
    TGLContext* owner = life ? life->Context : nullptr;
    if (owner) {
        // Made current only when another context (or none) is; activations nest.
        const bool switchTo = TGLContext::Current() != owner;
        try {
            if (switchTo) owner->Activate();
            GLuint name = name_;
            glDeleteTextures(1, &name);
            if (switchTo) owner->Deactivate();
        } catch (...) {
            // A context that cannot be made current any more keeps its
            // names until it goes; there is nothing better to do in a
            // destructor.
        }
    }
    Forget();
}

void TGLTextureName::Forget()
{
    if (name_ == 0) return;
    name_ = 0;
    context_.reset();
    --liveTextures;
}

long TGLTextureName::liveCount()
{
    return liveTextures.load();
}

} // namespace velmora
