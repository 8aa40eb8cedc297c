// Materials and textures: the fixed-function state a material sets before
// its object's geometry and partly undoes afterwards.

#include "engine/Material.h"
#include "engine/gl/StateCache.h"
#include "engine/gl/TextureUpload.h"
#include "engine/render/RenderPass.h"

#include <GL/gl.h>
#include <GL/glext.h>

namespace velmora {

namespace {

GLenum polygonModeEnum(TPolygonMode m)
{
    return m == pmLines ? GL_LINE : m == pmPoints ? GL_POINT : GL_FILL;
}

void sendFace(TGLStateCache& states, TGLCullFaceSide side, const TGLFaceProperties& p)
{
    states.SetMaterialColors(side, p.Emission().Color(), p.Ambient().Color(), p.Diffuse().Color(), p.Specular().Color(),
                             p.Shininess());
}

void textureApply(TGLTexture& t, TRenderContextInfo& rci)
{
    TGLStateCache& states = *rci.states;
    if (t.Disabled()) {
        states.Disable(stTexture2D);
        states.Disable(stTextureRect);
        return;
    }
    states.Enable(stTexture2D);
    const uint32_t handle = textureHandle(t);
    // textureHandle may have bound the name behind the cache's back.
    states.ForgetTextures();
    states.SetBoundTexture(0, handle);
    static constexpr GLint modes[] = {GL_DECAL, GL_MODULATE, GL_BLEND, GL_REPLACE};
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, modes[t.TextureMode()]);
    glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, t.EnvColor().AsArray());
}

} // namespace

void materialApply(TGLMaterial& m, TRenderContextInfo& rci)
{
    TGLStateCache& states = *rci.states;
    if (m.MaterialOptions().contains(moNoLighting) && states.Enabled(stLighting)) {
        states.Disable(stLighting);
        ++rci.lightingSuspendDepth;
    }
    const TGLFaceProperties& front = m.FrontProperties();
    if (states.Enabled(stLighting))
        sendFace(states, cmFront, front);
    else
        glColor4fv(front.Diffuse().AsArray());
    states.SetPolygonMode(cmFront, polygonModeEnum(front.PolygonMode()));

    const TFaceCulling fc = m.FaceCulling();
    if (states.Enabled(stCullFace)) {
        if ((fc == fcBufferDefault && !rci.bufferCulls) || fc == fcNoCull) {
            states.Disable(stCullFace);
            sendFace(states, cmBack, m.BackProperties());
        }
    } else {
        if (fc == fcCull || (fc == fcBufferDefault && rci.bufferCulls))
            states.Enable(stCullFace);
        else
            sendFace(states, cmBack, m.BackProperties());
    }

    if (!rci.noBlending) {
        switch (m.BlendingMode()) {
        case bmOpaque:
            states.Disable(stBlend);
            states.Disable(stAlphaTest);
            break;
        case bmTransparency:
            states.Enable(stBlend);
            states.Enable(stAlphaTest);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            break;
        case bmAdditive:
            states.Enable(stBlend);
            states.Enable(stAlphaTest);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE);
            break;
        case bmAlphaTest50:
            states.Disable(stBlend);
            states.Enable(stAlphaTest);
            glAlphaFunc(GL_GEQUAL, 0.5f);
            break;
        case bmAlphaTest100:
            states.Disable(stBlend);
            states.Enable(stAlphaTest);
            glAlphaFunc(GL_GEQUAL, 1.0f);
            break;
        case bmModulate:
            states.Enable(stBlend);
            states.Enable(stAlphaTest);
            glBlendFunc(GL_DST_COLOR, GL_ZERO);
            break;
        }
    }
    if (m.MaterialOptions().contains(moIgnoreFog) && states.Enabled(stFog)) {
        states.Disable(stFog);
        ++rci.fogSuspendDepth;
    }
    textureApply(m.Texture(), rci);
}

bool materialUnapply(TGLMaterial& m, TRenderContextInfo& rci)
{
    TGLStateCache& states = *rci.states;
    if (m.BlendingMode() == bmAlphaTest50 || m.BlendingMode() == bmAlphaTest100) glAlphaFunc(GL_GREATER, 0);
    if (m.MaterialOptions().contains(moNoLighting) && rci.lightingSuspendDepth > 0) {
        if (--rci.lightingSuspendDepth == 0) states.Enable(stLighting);
    }
    if (m.MaterialOptions().contains(moIgnoreFog) && rci.fogSuspendDepth > 0) {
        if (--rci.fogSuspendDepth == 0) states.Enable(stFog);
    }
    if (!m.Texture().Disabled()) states.Disable(stTexture2D);
    return false;
}

} // namespace velmora
