#include "faceeditor/ImgView32.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QWheelEvent>

namespace velmora {

namespace {

TMouseButton buttonOf(Qt::MouseButton b)
{
    switch (b) {
    case Qt::RightButton: return mbRight;
    case Qt::MiddleButton: return mbMiddle;
    default: return mbLeft;
    }
}

TShiftState shiftOf(Qt::KeyboardModifiers m, Qt::MouseButtons b)
{
    TShiftState s = 0;
    if (m & Qt::ShiftModifier) s |= ssShift;
    if (m & Qt::AltModifier) s |= ssAlt;
    if (m & Qt::ControlModifier) s |= ssCtrl;
    if (b & Qt::LeftButton) s |= ssLeft;
    if (b & Qt::RightButton) s |= ssRight;
    if (b & Qt::MiddleButton) s |= ssMiddle;
    return s;
}

Qt::CursorShape shapeOf(TCursor c)
{
    switch (c) {
    case crSizeWE: return Qt::SizeHorCursor;
    case crSizeNS: return Qt::SizeVerCursor;
    case crSizeNWSE: return Qt::SizeFDiagCursor;
    case crSizeNESW: return Qt::SizeBDiagCursor;
    case crHandPoint: return Qt::PointingHandCursor;
    default: return Qt::ArrowCursor;
    }
}

} // namespace

TImgView32::TImgView32(QWidget* parent) : QWidget(parent)
{
    hbar_ = new TCustomRangeBar(model_.horzBar(), this);
    vbar_ = new TCustomRangeBar(model_.vertBar(), this);
    model_.StandardScrollBarSize = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    model_.OnInvalidate = [this] { update(); };
    model_.OnCursor = [this](TCursor c) { setCursor(shapeOf(c)); };
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

TImgView32::~TImgView32()
{
    model_.OnInvalidate = nullptr;
    model_.OnCursor = nullptr;
}

void TImgView32::SetTabStop(bool on)
{
    model_.TabStop = on;
    setFocusPolicy(on ? Qt::StrongFocus : Qt::NoFocus);
}

void TImgView32::layoutBars()
{
    auto q = [](const TRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); };
    hbar_->setGeometry(q(model_.horzBarRect()));
    vbar_->setGeometry(q(model_.vertBarRect()));
}

void TImgView32::resizeEvent(QResizeEvent*)
{
    model_.setViewSize(width(), height());
    layoutBars();
}

void TImgView32::paintEvent(QPaintEvent*)
{
    model_.Paint();
    TBitmap32& buffer = model_.Buffer();
    const TRect v = model_.ViewArea();
    QPainter p(this);
    if (!buffer.Empty() && !v.empty()) {
        const QImage shown(reinterpret_cast<const uchar*>(buffer.Bits()), buffer.Width(), buffer.Height(),
                           buffer.Width() * 4, QImage::Format_RGB32);
        p.drawImage(QPoint(0, 0), shown, QRect(0, 0, v.Width(), v.Height()));
    }
    const TRect c = model_.cornerRect();
    p.fillRect(QRect(c.Left, c.Top, c.Width(), c.Height()), palette().color(QPalette::Button));
}

void TImgView32::mousePressEvent(QMouseEvent* e)
{
    if (model_.TabStop) setFocus(Qt::MouseFocusReason);
    const QPoint pt = e->position().toPoint();
    // The toolkit keeps the mouse grabbed by the pressed widget until release,
    // which is the capture the layers rely on.
    model_.mouseDown(buttonOf(e->button()), shiftOf(e->modifiers(), e->buttons()), pt.x(), pt.y());
}

void TImgView32::mouseMoveEvent(QMouseEvent* e)
{
    const QPoint pt = e->position().toPoint();
    model_.mouseMove(shiftOf(e->modifiers(), e->buttons()), pt.x(), pt.y());
}

void TImgView32::mouseReleaseEvent(QMouseEvent* e)
{
    const QPoint pt = e->position().toPoint();
    model_.mouseUp(buttonOf(e->button()), shiftOf(e->modifiers(), e->buttons()), pt.x(), pt.y());
}

void TImgView32::wheelEvent(QWheelEvent* e)
{
    model_.mouseWheel(e->angleDelta().y());
    e->accept();
}

void TImgView32::leaveEvent(QEvent*)
{
    model_.mouseLeave();
}

} // namespace velmora
