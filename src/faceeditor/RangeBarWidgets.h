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
    explicit TBarWidgetBase(QWidget* parent = nullptr);

protected:
    virtual TScrollBarKind kind() const = 0;
    virtual TBarGeometry barGeometry() const = 0;
    virtual void press(int along, std::int64_t now) = 0;
    virtual void move(int along) = 0;
    virtual void release() = 0;
    virtual void tick(std::int64_t now) = 0;
    virtual bool repeating() const = 0;
    virtual std::int64_t nextDue() const = 0;
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
};

// A scroll bar of the image view; its model belongs to the view's model.
class TCustomRangeBar : public TBarWidgetBase {
    Q_OBJECT
public:
    TCustomRangeBar(TCustomRangeBarModel& model, QWidget* parent = nullptr);
    TCustomRangeBarModel& Model() { return model_; }

protected:
    TScrollBarKind kind() const override { return model_.Kind; }
    TBarGeometry barGeometry() const override { return model_.Geometry(); }
    void press(int a, std::int64_t now) override { model_.MouseDown(a, now); }
    void move(int a) override { model_.MouseMove(a); }
    void release() override { model_.MouseUp(); }
    void tick(std::int64_t now) override { model_.Tick(now); }
    bool repeating() const override { return model_.Repeating(); }
    std::int64_t nextDue() const override { return model_.NextDue(); }
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
    TScrollBarKind kind() const override { return model_.Kind; }
    TBarGeometry barGeometry() const override { return model_.Geometry(); }
    void press(int a, std::int64_t now) override { model_.MouseDown(a, now); }
    void move(int a) override { model_.MouseMove(a); }
    void release() override { model_.MouseUp(); }
    void tick(std::int64_t now) override { model_.Tick(now); }
    bool repeating() const override { return model_.Repeating(); }
    std::int64_t nextDue() const override { return model_.NextDue(); }
    void wheel(int delta) override { model_.Wheel(delta); }
    void resized(int length, int thickness) override { model_.SetBounds(length, thickness); }

private:
    TGaugeBarModel model_;
};

} // namespace velmora
