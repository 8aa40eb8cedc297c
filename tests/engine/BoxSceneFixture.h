#pragma once
// The box scene as the main window builds it, for render tests: six faces
// with the default pictures, the rig with the floor mirror, the lights and
// the camera looking at the point of focus.

#include "engine/CameraLights.h"
#include "engine/Objects.h"
#include "engine/SceneBuffer.h"

#include <string>

namespace velmora::test {

struct BoxSceneFixture {
    TGLScene scene;
    TGLDummyCube* box = nullptr;
    TGLPlane* front = nullptr;
    TGLPlane* faces[6] = {};
    TGLMirror* mirror = nullptr;
    TGLPlane* shadow = nullptr;
    TGLPoints* focus = nullptr;
    TGLCamera* camera = nullptr;
    TGLLightSource* offLight = nullptr;

    // The source tree's folder, ending with a separator; the pictures ship
    // in its resources/ folder.
    static inline std::string SourceRoot;

    static std::string facePicture(const char* name)
    {
#ifdef VELMORA_TEST_DATA
        if (SourceRoot.empty()) {
            SourceRoot = VELMORA_TEST_DATA; // <source>/tests/data
            SourceRoot.resize(SourceRoot.size() - std::string("tests/data").size());
        }
#endif
        return SourceRoot + "resources/Faces/" + name;
    }

    static void orient(TGLBaseSceneObject* o, TVector dir, TVector up, TVector pos, TVector scale)
    {
        o->SetDirection(dir);
        o->SetUp(up);
        o->SetPosition(pos);
        o->SetScale(scale);
    }

    explicit BoxSceneFixture(bool withPictures = true)
    {
        box = scene.AddNewObject<TGLDummyCube>();
        box->SetName("DummyCube2");
        struct Face {
            const char* name;
            TVector dir, up, pos, scale;
            const char* picture;
        };
        const Face defs[6] = {
            {"PLLeft", {0, -1, 0}, {0, 0, 1}, {0, -0.4f, 0, 1}, {0.2f, 1, 1}, "Side.jpg"},
            {"PLBottom", {0, 0, -1}, {1, 0, 0}, {0, 0, -0.5f, 1}, {0.8f, 0.2f, 1}, "Top.jpg"},
            {"PLRight", {0, 1, 0}, {0, 0, 1}, {0, 0.4f, 0, 1}, {0.2f, 1, 1}, "Side.jpg"},
            {"PLFront", {1, 0, 0}, {0, 0, 1}, {0.1f, 0, 0, 1}, {0.8f, 1, 1}, "Front.jpg"},
            {"PLTop", {0, 0, 1}, {-1, 0, 0}, {0, 0, 0.5f, 1}, {0.8f, 0.2f, 1}, "Top.jpg"},
            {"PLBack", {-1, 0, 0}, {0, 0, 1}, {-0.1f, 0, 0, 1}, {0.8f, 1, 1}, "Front.jpg"},
        };
        for (int i = 0; i < 6; ++i) {
            auto* p = box->AddNewChild<TGLPlane>();
            p->SetName(defs[i].name);
            orient(p, defs[i].dir, defs[i].up, defs[i].pos, defs[i].scale);
            TGLMaterial& m = p->Material();
            m.SetMaterialOptions({moIgnoreFog});
            m.SetFaceCulling(fcNoCull);
            m.Texture().SetTextureMode(tmReplace);
            if (withPictures) {
                m.Texture().PictureImage().LoadFromFile(facePicture(defs[i].picture));
                m.Texture().SetDisabled(false);
            }
            faces[i] = p;
        }
        front = faces[3];
        front->Material().SetBlendingMode(bmTransparency);
        front->SetStyle({psSingleQuad});

        auto* rig = scene.AddNewObject<TGLDummyCube>();
        rig->SetName("DummyCube1");
        focus = rig->AddNewChild<TGLPoints>();
        focus->SetName("GLPoints1");
        focus->SetShowAxes(true);
        focus->SetVisible(false);
        shadow = rig->AddNewChild<TGLPlane>();
        shadow->SetName("GLDropShadow");
        shadow->SetVisible(false);
        orient(shadow, {1, 0, 0}, {0, 1, 0}, {-0.1f, 0, 0, 1}, {1.2f, 1, 1});
        shadow->Material().SetBlendingMode(bmTransparency);
        mirror = rig->AddNewChild<TGLMirror>();
        mirror->SetName("GLMirror1");
        mirror->SetPosition({0, 0, -0.5f, 1});
        mirror->SetScale({100, 100, 1});
        mirror->SetMirrorObject(box);
        mirror->SetMirrorOptions({});
        TGLFaceProperties& fp = mirror->Material().FrontProperties();
        fp.Ambient().SetColor({1, 1, 1, 0});
        fp.Diffuse().SetColor({0, 0, 0, 0.5f});
        fp.Emission().SetColor({0, 0, 0, 0});
        fp.Specular().SetColor({0, 0, 0, 0});
        fp.SetShininess(10);
        mirror->Material().SetBlendingMode(bmTransparency);
        mirror->Material().SetFaceCulling(fcNoCull);
        auto* light3 = rig->AddNewChild<TGLLightSource>();
        light3->SetName("GLLightSource3");
        light3->SetLightStyle(lsOmni);
        light3->SetPosition({0.6f, -1, 3, 1});
        light3->Diffuse().SetColor({0.3f, 0.3f, 0.3f, 1});
        camera = rig->AddNewChild<TGLCamera>();
        camera->SetName("GLCamera1");
        orient(camera, {-0.89442718f, 0.44721359f, 0}, {0, 0, 1}, {5.95800018f, 4.41895008f, 1.67571056f, 1},
               {1, 1, 1});
        camera->SetFocalLength(400);
        camera->SetDepthOfView(1000);
        camera->SetTargetObject(focus);
        auto* light1 = camera->AddNewChild<TGLLightSource>();
        light1->SetName("GLLightSource1");
        light1->SetLightStyle(lsOmni);

        auto* lamp = scene.AddNewObject<TGLDummyCube>();
        lamp->SetName("GLDummyCube1");
        offLight = lamp->AddNewChild<TGLLightSource>();
        offLight->SetName("GLLightSource2");
        offLight->SetLightStyle(lsOmni);
        offLight->SetPosition({1, 0, 1.70000005f, 1});
        offLight->SetShining(false);
    }

    // The viewer settings of the box scene.
    void setUpBuffer(TGLSceneBuffer& buffer)
    {
        buffer.SetCamera(camera);
        buffer.SetBackgroundColor(clWhite);
        buffer.AmbientColor().SetColor({1, 1, 1, 1});
        buffer.SetAntiAliasing(aa2x);
        buffer.SetShadeModel(smSmooth);
    }
};

} // namespace velmora::test
