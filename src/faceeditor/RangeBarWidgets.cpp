#include "faceeditor/RangeBarWidgets.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QWheelEvent>

#include <algorithm>

namespace velmora {

TBarWidgetBase::TBarWidgetBase(TBarModel& model, QWidget* parent) : QWidget(parent), bar_(model)
{
    clock_.start();
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] {
        bar_.tick(clock_.elapsed());
        schedule();
    });
    setAttribute(Qt::WA_OpaquePaintEvent);
}

int TBarWidgetBase::along(const QPointF& p) const
{
    return int(bar_.Kind == sbHorizontal ? p.x() : p.y());
}

void TBarWidgetBase::schedule()
{
    if (bar_.repeating())
        timer_.start(int(std::max<std::int64_t>(0, bar_.nextDue() - clock_.elapsed())));
    else
        timer_.stop();
}

void TBarWidgetBase::resizeEvent(QResizeEvent*)
{
    if (bar_.Kind == sbHorizontal)
        resized(width(), height());
    else
        resized(height(), width());
}

void TBarWidgetBase::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const bool h = bar_.Kind == sbHorizontal;
    const int len = h ? width() : height(), thick = h ? height() : width();
    auto rect = [&](int from, int n) { return h ? QRect(from, 0, n, thick) : QRect(0, from, thick, n); };
    p.fillRect(rect(0, len), palette().color(QPalette::Mid).lighter(130));
    const TBarGeometry g = bar_.Geometry();
    QStyleOption opt;
    opt.initFrom(this);
    auto button = [&](const QRect& r) {
        opt.rect = r;
        opt.state = (opt.state & ~QStyle::State_Sunken) | QStyle::State_Raised;
        style()->drawPrimitive(QStyle::PE_PanelButtonCommand, &opt, &p, this);
    };
    if (g.Arrow > 0) {
        const QRect lo = rect(0, g.Arrow), hi = rect(len - g.Arrow, g.Arrow);
        button(lo);
        button(hi);
        opt.rect = lo.adjusted(3, 3, -3, -3);
        style()->drawPrimitive(h ? QStyle::PE_IndicatorArrowLeft : QStyle::PE_IndicatorArrowUp, &opt, &p, this);
        opt.rect = hi.adjusted(3, 3, -3, -3);
        style()->drawPrimitive(h ? QStyle::PE_IndicatorArrowRight : QStyle::PE_IndicatorArrowDown, &opt, &p, this);
    }
    if (g.HasThumb && g.ThumbLength > 0) button(rect(g.Arrow + g.ThumbOffset, g.ThumbLength));
}

void TBarWidgetBase::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton) return;
    bar_.mouseDown(along(e->position()), clock_.elapsed());
    schedule();
    update();
}

void TBarWidgetBase::mouseMoveEvent(QMouseEvent* e)
{
    bar_.mouseMove(along(e->position()));
    update();
}

void TBarWidgetBase::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton) return;
    bar_.mouseUp();
    timer_.stop();
    update();
}

void TBarWidgetBase::wheelEvent(QWheelEvent* e)
{
    wheel(e->angleDelta().y());
    update();
    e->accept();
}

TCustomRangeBar::TCustomRangeBar(TCustomRangeBarModel& model, QWidget* parent)
    : TBarWidgetBase(model, parent),
      model_(model)
{
    model_.OnChange = [this] { update(); };
}

void TCustomRangeBar::resized(int length, int thickness)
{
    // The view lays its bars out and sizes their models itself.
}

TGaugeBar::TGaugeBar(QWidget* parent) : TBarWidgetBase(model_, parent)
{
    model_.OnChange = [this] {
        update();
        emit changed(model_.Position());
    };
    model_.OnUserChange = [this] { emit userChanged(model_.Position()); };
}

} // namespace velmora
