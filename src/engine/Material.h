#pragma once
// Materials and textures: the surface state an object applies around its
// geometry. The GL side (apply/unapply, upload) belongs to the render pass;
// this is the persistent state with its change tracking.

#include "engine/Color.h"
#include "engine/Coordinates.h"
#include "engine/EngineTypes.h"
#include "engine/UpdateAble.h"
#include "engine/gl/GLNames.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace velmora {

class TPicture; // a holder of one graphic, from the picture library
class TGLTexture;
class TGLMaterial;

class TGLFaceProperties : public TGLUpdateAbleObject {
public:
    explicit TGLFaceProperties(IGLNotifyAble* owner);

    TGLColor& Ambient() { return ambient_; }
    const TGLColor& Ambient() const { return ambient_; }
    TGLColor& Diffuse() { return diffuse_; }
    const TGLColor& Diffuse() const { return diffuse_; }
    TGLColor& Emission() { return emission_; }
    const TGLColor& Emission() const { return emission_; }
    TGLColor& Specular() { return specular_; }
    const TGLColor& Specular() const { return specular_; }
    int Shininess() const { return shininess_; }
    void SetShininess(int v); // clamped to 0..128
    TPolygonMode PolygonMode() const { return polygonMode_; }
    void SetPolygonMode(TPolygonMode v);

private:
    TGLColor ambient_;
    TGLColor diffuse_;
    TGLColor emission_;
    TGLColor specular_;
    int shininess_ = 0;
    TPolygonMode polygonMode_ = pmFill;
};

// The image of a texture. Every texture of this program uses the persistent
// picture image; the base classes exist because the class name is stored.
class TGLTextureImage : public TGLUpdateAbleObject {
public:
    explicit TGLTextureImage(TGLTexture* owner);
    virtual const char* ClassName() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    TGLTexture* OwnerTexture() const { return texture_; }
    // Tells the owning texture that the image must be uploaded again.
    void Invalidate();

private:
    TGLTexture* texture_;
};

class TGLPictureImage : public TGLTextureImage {
public:
    explicit TGLPictureImage(TGLTexture* owner);
    ~TGLPictureImage() override;
    const char* ClassName() const override { return "TGLPictureImage"; }
    int Width() const override;
    int Height() const override;

    // The picture; never null once the picture library is linked in.
    TPicture* Picture() const { return picture_.get(); }
    // Loads the picture by file extension. A missing file empties the
    // picture and raises ETexture "Could not open file: <name>".
    void LoadFromFile(const std::string& fileName);

private:
    std::shared_ptr<TPicture> picture_;
};

class TGLPersistentImage : public TGLPictureImage {
public:
    using TGLPictureImage::TGLPictureImage;
    const char* ClassName() const override { return "TGLPersistentImage"; }
};

// May replace the file name a texture image is about to load.
using TTextureNeededEvent = std::function<void(TGLTexture* sender, std::string& textureFileName)>;

class TGLTexture : public TGLUpdateAbleObject {
public:
    explicit TGLTexture(TGLMaterial* owner);
    ~TGLTexture() override;

    TGLMaterial* OwnerMaterial() const { return material_; }

    // Replaces the image by a new, empty one of the named class
    // ("TGLPersistentImage" or "TGLPictureImage"); other names fail with
    // "Class <name> not found".
    std::string ImageClassName() const { return image_->ClassName(); }
    void SetImageClassName(const std::string& className);
    TGLTextureImage& Image() { return *image_; }
    const TGLTextureImage& Image() const { return *image_; }
    // The image as a picture image (all image classes here are).
    TGLPictureImage& PictureImage() { return static_cast<TGLPictureImage&>(*image_); }

    TGLTextureImageAlpha ImageAlpha() const { return imageAlpha_; }
    void SetImageAlpha(TGLTextureImageAlpha v);
    float ImageBrightness() const { return imageBrightness_; }
    void SetImageBrightness(float v);
    float ImageGamma() const { return imageGamma_; }
    void SetImageGamma(float v);
    TGLMagFilter MagFilter() const { return magFilter_; }
    void SetMagFilter(TGLMagFilter v);
    TGLMinFilter MinFilter() const { return minFilter_; }
    void SetMinFilter(TGLMinFilter v);
    TGLTextureMode TextureMode() const { return textureMode_; }
    void SetTextureMode(TGLTextureMode v);
    TGLTextureWrap TextureWrap() const { return textureWrap_; }
    void SetTextureWrap(TGLTextureWrap v);
    TGLTextureFormat TextureFormat() const { return textureFormat_; }
    void SetTextureFormat(TGLTextureFormat v);
    TGLTextureCompression Compression() const { return compression_; }
    void SetCompression(TGLTextureCompression v);
    TGLTextureFilteringQuality FilteringQuality() const { return filteringQuality_; }
    void SetFilteringQuality(TGLTextureFilteringQuality v);
    TGLTextureMappingMode MappingMode() const { return mappingMode_; }
    void SetMappingMode(TGLTextureMappingMode v);
    TGLCoordinates& MappingSCoordinates() { return mappingS_; }
    const TGLCoordinates& MappingSCoordinates() const { return mappingS_; }
    TGLCoordinates& MappingTCoordinates() { return mappingT_; }
    const TGLCoordinates& MappingTCoordinates() const { return mappingT_; }
    TGLColor& EnvColor() { return envColor_; }
    const TGLColor& EnvColor() const { return envColor_; }
    bool Disabled() const { return disabled_; }
    // A new value makes the owning object's geometry stale.
    void SetDisabled(bool v);
    bool Enabled() const { return !disabled_; }
    void SetEnabled(bool v) { SetDisabled(!v); }
    float NormalMapScale() const { return normalMapScale_; }
    void SetNormalMapScale(float v);

    TTextureNeededEvent OnTextureNeeded;

    // ---- Upload state, kept for the render pass ----
    // The GL texture name; 0 when none exists (a fresh upload follows).
    TGLTextureName Handle;
    TGLTextureChanges Changes() const { return changes_; }
    void ClearChanges() { changes_ = {}; }
    std::int64_t RequiredMemorySize = 0;

    void NotifyChange(TGLUpdateAbleObject* sender) override;

private:
    void paramsChanged();
    void imageChanged();

    TGLMaterial* material_;
    std::unique_ptr<TGLTextureImage> image_;
    TGLTextureImageAlpha imageAlpha_ = tiaDefault;
    float imageBrightness_ = 1;
    float imageGamma_ = 1;
    TGLMagFilter magFilter_ = maLinear;
    TGLMinFilter minFilter_ = miLinearMipmapLinear;
    TGLTextureMode textureMode_ = tmDecal;
    TGLTextureWrap textureWrap_ = twBoth;
    TGLTextureFormat textureFormat_ = tfDefault;
    TGLTextureCompression compression_ = tcDefault;
    TGLTextureFilteringQuality filteringQuality_ = tfIsotropic;
    TGLTextureMappingMode mappingMode_ = tmmUser;
    TGLCoordinates mappingS_;
    TGLCoordinates mappingT_;
    TGLColor envColor_;
    bool disabled_ = true;
    float normalMapScale_ = 0.125f;
    TGLTextureChanges changes_{tcImage, tcParams};
};

class TGLMaterial : public TGLUpdateAbleObject {
public:
    explicit TGLMaterial(IGLNotifyAble* owner);
    ~TGLMaterial() override;

    TGLFaceProperties& BackProperties() { return *back_; }
    const TGLFaceProperties& BackProperties() const { return *back_; }
    TGLFaceProperties& FrontProperties() { return *front_; }
    const TGLFaceProperties& FrontProperties() const { return *front_; }
    TBlendingMode BlendingMode() const { return blendingMode_; }
    void SetBlendingMode(TBlendingMode v);
    TMaterialOptions MaterialOptions() const { return materialOptions_; }
    void SetMaterialOptions(TMaterialOptions v);
    TGLTexture& Texture() { return *texture_; }
    const TGLTexture& Texture() const { return *texture_; }
    TFaceCulling FaceCulling() const { return faceCulling_; }
    void SetFaceCulling(TFaceCulling v);
    // Material libraries are not used here; the name is kept as stored.
    const std::string& LibMaterialName() const { return libMaterialName_; }
    void SetLibMaterialName(std::string n);

    // Blended materials are drawn after the opaque objects.
    bool IsBlended() const;

    // The scene object this material belongs to, if any.
    TGLBaseSceneObject* OwnerSceneObject() const { return sceneOwner(); }

    // End of stream loading: the texture is uploaded afresh at its next use.
    void Loaded();

private:
    std::unique_ptr<TGLFaceProperties> back_;
    std::unique_ptr<TGLFaceProperties> front_;
    TBlendingMode blendingMode_ = bmOpaque;
    TMaterialOptions materialOptions_;
    std::unique_ptr<TGLTexture> texture_;
    TFaceCulling faceCulling_ = fcBufferDefault;
    std::string libMaterialName_;
};

} // namespace velmora
