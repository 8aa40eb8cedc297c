#include "app/viewer/GLSceneViewer.h"

#include "app/Application.h"
#include "engine/GLErrors.h"
#include "engine/ScopeGuard.h"
#include "engine/render/CameraMath.h"

#include <QMetaObject>
#include <QOpenGLContext>
#include <QSurfaceFormat>

#include <GL/gl.h>

#include <stdexcept>
#include <string>

namespace velmora {

namespace {

// The widget's own context: Qt makes it current around paintGL and swaps
// the buffers itself, so activation only has to make sure it is current.
class TQtWidgetContext : public TGLContext {
public:
    TQtWidgetContext(QOpenGLWidget* w, const bool& painting) : widget_(w), painting_(painting)
    {
        const QSurfaceFormat f = w->format();
        blueBits_ = f.blueBufferSize() > 0 ? f.blueBufferSize() : 8;
    }

    ~TQtWidgetContext() override { Retire(); }

protected:
    void doActivate() override
    {
        if (QOpenGLContext::currentContext() != widget_->context()) widget_->makeCurrent();
    }
    // Outside a paint the context is released again, so another context
    // (the one a render to bitmap makes) can become current on this thread.
    void doDeactivate() override
    {
        if (!painting_) widget_->doneCurrent();
    }

private:
    QOpenGLWidget* widget_;
    const bool& painting_;
};

// Errors found while Qt paints must not unwind through Qt's frames: they go
// to the application's error handler once the paint is over.
void reportLater(QObject* receiver, const std::string& text)
{
    QMetaObject::invokeMethod(
        receiver, [text] { TApplication::showError(QString::fromStdString(text)); }, Qt::QueuedConnection);
}

} // namespace

TGLSceneViewer::TGLSceneViewer(QWidget* parent) : QOpenGLWidget(parent)
{
    resize(100, 100);
    setFocusPolicy(Qt::StrongFocus);
    buffer_.OnChange = [this] { update(); };
    buffer_.PostRender = [this](TGLSceneBuffer*) {
        if (PostRender) PostRender(this);
    };
}

TGLSceneViewer::~TGLSceneViewer()
{
    if (buffer_.RenderingContext()) {
        makeCurrent();
        buffer_.DestroyRenderingContext();
        doneCurrent();
    }
}

double TGLSceneViewer::FieldOfView() const
{
    return fieldOfViewFor(buffer_.Camera(), width(), height());
}

void TGLSceneViewer::SetFieldOfView(double degrees)
{
    setFieldOfViewFor(buffer_.Camera(), width(), height(), degrees);
}

void TGLSceneViewer::initializeGL()
{
    // Qt made the context current for this call and expects it to stay so.
    TScopedValue painting(painting_, true);
    // The format is applied before the widget gets its context: the
    // buffer's request with the multisampling it asks for.
    try {
        if (!context() || !context()->isValid()) throw std::runtime_error("Failed to create RenderingContext.");
        const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
        if (!version || std::string(version) < "1.1") throw EOpenGLError("Need at least OpenGL version 1.1");
        buffer_.Resize(width(), height());
        buffer_.SetRenderingContext(std::make_unique<TQtWidgetContext>(this, painting_));
    } catch (const std::exception& e) {
        buffer_.DestroyRenderingContext();
        reportLater(this, e.what());
    }
}

void TGLSceneViewer::resizeGL(int w, int h)
{
    const qreal ratio = devicePixelRatioF();
    TScopedValue painting(painting_, true); // Qt holds the context current around this call too
    buffer_.Resize(int(w * ratio), int(h * ratio));
}

void TGLSceneViewer::paintGL()
{
    if (!buffer_.RenderingContext() || width() == 0 || height() == 0) return;
    TScopedValue painting(painting_, true);
    try {
        buffer_.Render();
    } catch (const std::exception& e) {
        reportLater(this, e.what());
    }
}

} // namespace velmora
