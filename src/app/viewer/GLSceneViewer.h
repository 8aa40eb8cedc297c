#pragma once
// The 3D view of the main window: an OpenGL widget that owns a scene buffer
// and renders one frame of it whenever it is painted. Change reports from the
// scene invalidate it; nothing renders on a timer.

#include "engine/SceneBuffer.h"

#include <QOpenGLWidget>

#include <functional>

namespace velmora {

class TGLSceneViewer : public QOpenGLWidget {
public:
    explicit TGLSceneViewer(QWidget* parent = nullptr);
    ~TGLSceneViewer() override;

    TGLSceneBuffer& Buffer() { return buffer_; }
    TGLCamera* Camera() const { return buffer_.Camera(); }
    void SetCamera(TGLCamera* camera) { buffer_.SetCamera(camera); }
    // Degrees over the smaller side of the control; see CameraMath.
    double FieldOfView() const;
    void SetFieldOfView(double degrees);

    // After every frame (the buffer's PostRender).
    std::function<void(TGLSceneViewer*)> PostRender;
    // False when no usable rendering context could be had; the viewer then
    // paints nothing.
    bool HasContext() const { return buffer_.RenderingContext() != nullptr; }

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;

private:
    TGLSceneBuffer buffer_;
    bool painting_ = false; // inside a paint or initialisation by Qt
};

} // namespace velmora
