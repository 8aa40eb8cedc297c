#include "engine/Material.h"

#include "engine/ChangeSetter.h"
#include "engine/Scene.h"

#include <algorithm>
#include <stdexcept>

#include "pictures/Picture.h"
#include "pictures/TextureImage.h"

namespace velmora {

// ---- TGLFaceProperties ----

TGLFaceProperties::TGLFaceProperties(IGLNotifyAble* owner)
    : TGLUpdateAbleObject(owner),
      ambient_(this, {0.2f, 0.2f, 0.2f, 1}),
      diffuse_(this, {0.8f, 0.8f, 0.8f, 1}),
      emission_(this, {0, 0, 0, 1}),
      specular_(this, {0, 0, 0, 1})
{}

void TGLFaceProperties::SetShininess(int v)
{
    v = std::clamp(v, 0, 128);
    if (v == shininess_) return;
    shininess_ = v;
    NotifyChange(this);
}

void TGLFaceProperties::SetPolygonMode(TPolygonMode v)
{
    if (v == polygonMode_) return;
    polygonMode_ = v;
    NotifyChange(this);
}

// ---- Texture images ----

TGLTextureImage::TGLTextureImage(TGLTexture* owner) : TGLUpdateAbleObject(owner), texture_(owner) {}

void TGLTextureImage::Invalidate()
{
    NotifyChange(this);
}

TGLPictureImage::TGLPictureImage(TGLTexture* owner) : TGLTextureImage(owner)
{
    picture_ = std::make_shared<TPicture>();
    picture_->OnChange = [this] { Invalidate(); };
}

TGLPictureImage::~TGLPictureImage()
{
    if (picture_) picture_->OnChange = nullptr;
}

int TGLPictureImage::Width() const
{
    return picture_ ? picture_->Width() : 0;
}

int TGLPictureImage::Height() const
{
    return picture_ ? picture_->Height() : 0;
}

void TGLPictureImage::LoadFromFile(const std::string& fileName)
{
    std::string name = fileName;
    if (TGLTexture* t = OwnerTexture(); t && t->OnTextureNeeded) t->OnTextureNeeded(t, name);
    textureImageLoadFromFile(*picture_, name);
}

// ---- TGLTexture ----

TGLTexture::TGLTexture(TGLMaterial* owner)
    : TGLUpdateAbleObject(owner),
      material_(owner),
      image_(std::make_unique<TGLPersistentImage>(this)),
      mappingS_(this, {1, 0, 0, 0}, csUnknown),
      mappingT_(this, {0, 1, 0, 0}, csUnknown),
      envColor_(this, {0, 0, 0, 0})
{}

TGLTexture::~TGLTexture() = default;

void TGLTexture::NotifyChange(TGLUpdateAbleObject* sender)
{
    if (sender == image_.get()) changes_.include(tcImage);
    TGLUpdateAbleObject::NotifyChange(sender);
}

void TGLTexture::paramsChanged()
{
    changes_.include(tcParams);
    TGLUpdateAbleObject::NotifyChange(this);
}

void TGLTexture::imageChanged()
{
    changes_.include(tcImage);
    TGLUpdateAbleObject::NotifyChange(this);
}

void TGLTexture::SetImageClassName(const std::string& className)
{
    if (className == image_->ClassName()) return;
    if (className == "TGLPersistentImage")
        image_ = std::make_unique<TGLPersistentImage>(this);
    else if (className == "TGLPictureImage")
        image_ = std::make_unique<TGLPictureImage>(this);
    else
        throw std::runtime_error("Class " + className + " not found");
    imageChanged();
}

VELMORA_CHANGE_SETTER(TGLTexture, ImageAlpha, TGLTextureImageAlpha, imageAlpha_, imageChanged)
VELMORA_CHANGE_SETTER(TGLTexture, ImageBrightness, float, imageBrightness_, imageChanged)
VELMORA_CHANGE_SETTER(TGLTexture, ImageGamma, float, imageGamma_, imageChanged)
VELMORA_CHANGE_SETTER(TGLTexture, MagFilter, TGLMagFilter, magFilter_, paramsChanged)
VELMORA_CHANGE_SETTER(TGLTexture, MinFilter, TGLMinFilter, minFilter_, paramsChanged)
VELMORA_CHANGE_SETTER(TGLTexture, TextureMode, TGLTextureMode, textureMode_, paramsChanged)
VELMORA_CHANGE_SETTER(TGLTexture, TextureWrap, TGLTextureWrap, textureWrap_, paramsChanged)
VELMORA_CHANGE_SETTER(TGLTexture, TextureFormat, TGLTextureFormat, textureFormat_, paramsChanged)
VELMORA_CHANGE_SETTER(TGLTexture, Compression, TGLTextureCompression, compression_, paramsChanged)
VELMORA_CHANGE_SETTER(TGLTexture, FilteringQuality, TGLTextureFilteringQuality, filteringQuality_, paramsChanged)
VELMORA_CHANGE_SETTER(TGLTexture, MappingMode, TGLTextureMappingMode, mappingMode_, paramsChanged)

void TGLTexture::SetNormalMapScale(float v)
{
    if (v == normalMapScale_) return;
    normalMapScale_ = v;
    // Only a normal map is built from this value.
    if (textureFormat_ == tfNormalMap)
        imageChanged();
    else
        TGLUpdateAbleObject::NotifyChange(this);
}

void TGLTexture::SetDisabled(bool v)
{
    if (v == disabled_) return;
    disabled_ = v;
    if (TGLBaseSceneObject* o = material_ ? material_->OwnerSceneObject() : nullptr) o->SignalStructureChange();
}

// ---- TGLMaterial ----

TGLMaterial::TGLMaterial(IGLNotifyAble* owner)
    : TGLUpdateAbleObject(owner),
      back_(std::make_unique<TGLFaceProperties>(this)),
      front_(std::make_unique<TGLFaceProperties>(this)),
      texture_(std::make_unique<TGLTexture>(this))
{}

TGLMaterial::~TGLMaterial() = default;

void TGLMaterial::SetBlendingMode(TBlendingMode v)
{
    if (v == blendingMode_) return;
    blendingMode_ = v;
    NotifyChange(this);
}

void TGLMaterial::SetMaterialOptions(TMaterialOptions v)
{
    if (v == materialOptions_) return;
    materialOptions_ = v;
    NotifyChange(this);
}

void TGLMaterial::SetFaceCulling(TFaceCulling v)
{
    if (v == faceCulling_) return;
    faceCulling_ = v;
    NotifyChange(this);
}

void TGLMaterial::SetLibMaterialName(std::string n)
{
    if (n == libMaterialName_) return;
    libMaterialName_ = std::move(n);
    NotifyChange(this);
}

bool TGLMaterial::IsBlended() const
{
    return blendingMode_ == bmTransparency || blendingMode_ == bmAdditive || blendingMode_ == bmModulate;
}

void TGLMaterial::Loaded()
{
    texture_->NotifyChange(&texture_->Image());
}

} // namespace velmora
