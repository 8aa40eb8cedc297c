#include "app/ViewerFactory.h"

#include "box/MainModel.h"

#include <QPaintEvent>
#include <QPainter>
#include <QWidget>

namespace velmora {

namespace {

// Stands in for the 3D viewer until the OpenGL one is linked in: it fills its
// area and reports each finished frame like the real viewer does.
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
        p.setPen(QColor(150, 150, 150));
        p.drawText(rect(), Qt::AlignCenter, QStringLiteral("3D view"));
        p.end();
        Model.GLSceneViewer1PostRender(width(), height());
    }

private:
    TfrmMainModel& Model;
};

} // namespace

QWidget* CreateSceneViewer(QWidget* parent, TfrmMainModel& model)
{
    return new TPlainSceneView(parent, model);
}

} // namespace velmora
