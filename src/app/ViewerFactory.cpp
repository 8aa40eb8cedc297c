#include "app/ViewerFactory.h"

#include "app/viewer/GLSceneViewer.h"
#include "box/MainModel.h"

#include <QGuiApplication>
#include <QOpenGLContext>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QSurfaceFormat>
#include <QWidget>

#include <cmath>

namespace velmora {

namespace {

// Where the platform offers no OpenGL at all (a headless display without
// GL), the window gets a plain area instead: it shows the background and
// still reports its size, so the rest of the window works.
class TPlainSceneView : public QWidget {
public:
    TPlainSceneView(QWidget* parent, TfrmMainModel& model) : QWidget(parent), Model(model)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFocusPolicy(Qt::StrongFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        p.end();
        Model.GLSceneViewer1PostRender(width(), height());
    }

private:
    TfrmMainModel& Model;
};

bool platformHasOpenGL()
{
    QOpenGLContext probe;
    return probe.create();
}

} // namespace

QWidget* createSceneViewer(QWidget* parent, TfrmMainModel& model)
{
    if (!platformHasOpenGL()) return new TPlainSceneView(parent, model);
    auto* viewer = new TGLSceneViewer(parent);
    // A bitmap render asked for DPI 0 uses the screen's pixels per inch.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        TGLSceneBuffer::ScreenDPI = int(std::lround(screen->logicalDotsPerInchX()));
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
