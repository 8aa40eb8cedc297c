#pragma once
// The bar controls on screen: they draw with the toolkit's style and pass
// presses, moves, the wheel and the clock to their behaviour models.

#include "faceeditor/RangeBars.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

namespace velmora {

// Shared drawing and input of both bars.
class TBarWidgetBase : public QWidget {
    Q_OBJECT
public:
    // The model outlives the widget (or is one of its members).
    explicit TBarWidgetBase(TBarModel& model, QWidget* parent = nullptr);

protected:
    virtual void wheel(int delta) = 0;
    virtual void resized(int length, int thickness) = 0;

    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void wheelEvent(QWheelEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    int along(const QPointF& p) const;
    void schedule();

    QElapsedTimer clock_;
    QTimer timer_;

private:
    TBarModel& bar_;
};

// A scroll bar of the image view; its model belongs to the view's model.
class TCustomRangeBar : public TBarWidgetBase {
    Q_OBJECT
public:
    TCustomRangeBar(TCustomRangeBarModel& model, QWidget* parent = nullptr);
    TCustomRangeBarModel& Model() { return model_; }

protected:
    // Turning the wheel away from the user scrolls back.
    void wheel(int delta) override { model_.Wheel(-delta); }
    void resized(int length, int thickness) override;

private:
    TCustomRangeBarModel& model_;
};

// The slider (layer opacity).
class TGaugeBar : public TBarWidgetBase {
    Q_OBJECT
public:
    explicit TGaugeBar(QWidget* parent = nullptr);
    TGaugeBarModel& Model() { return model_; }
    QSize sizeHint() const override { return {120, 16}; }

signals:
    void changed(int position);
    void userChanged(int position);

protected:
    void wheel(int delta) override { model_.Wheel(delta); }
    void resized(int length, int thickness) override { model_.setBounds(length, thickness); }

private:
    TGaugeBarModel model_;
};

} // namespace velmora
