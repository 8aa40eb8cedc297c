#pragma once
// The image view on screen: shows the model's paint buffer, owns the two
// scroll bar widgets and passes mouse and wheel input to the model.

#include "faceeditor/ImgView32Model.h"
#include "faceeditor/RangeBarWidgets.h"

#include <QWidget>

namespace velmora {

class TImgView32 : public QWidget {
    Q_OBJECT
public:
    explicit TImgView32(QWidget* parent = nullptr);
    ~TImgView32() override;

    TImgView32Model& Model() { return model_; }
    TBitmap32& Bitmap() { return model_.Bitmap(); }
    TLayerCollection& Layers() { return model_.Layers(); }
    float Scale() const { return model_.Scale(); }
    void SetScale(float s) { model_.setScale(s); }
    void SetTabStop(bool on);
    TCustomRangeBar* HorzScrollBar() const { return hbar_; }
    TCustomRangeBar* VertScrollBar() const { return vbar_; }
    QSize sizeHint() const override { return {555, 480}; }

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void wheelEvent(QWheelEvent*) override;
    void leaveEvent(QEvent*) override;

private:
    void layoutBars();

    TImgView32Model model_;
    TCustomRangeBar* hbar_;
    TCustomRangeBar* vbar_;
};

} // namespace velmora
