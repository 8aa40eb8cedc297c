#include "app/ViewerFactory.h"

#include "app/viewer/GLSceneViewer.h"
#include "box/MainModel.h"

#include <QSurfaceFormat>

namespace velmora {

QWidget* CreateSceneViewer(QWidget* parent, TfrmMainModel& model)
{
    auto* viewer = new TGLSceneViewer(parent);
    if (TBoxSceneLink* scene = model.scene()) scene->bindViewer(viewer->Buffer());
    // The pixel format the buffer asks for: depth bits, and the samples of
    // its antialiasing setting when the platform has them.
    const TGLPixelFormatRequest request = viewer->Buffer().PixelFormatRequest();
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setDepthBufferSize(request.DepthBits);
    format.setStencilBufferSize(request.StencilBits);
    format.setSamples(request.Samples > 0 ? request.Samples : -1);
    format.setSwapInterval(1);
    viewer->setFormat(format);
    viewer->PostRender = [&model](TGLSceneViewer* v) { model.GLSceneViewer1PostRender(v->width(), v->height()); };
    return viewer;
}

} // namespace velmora
