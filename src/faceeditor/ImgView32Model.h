#pragma once
// The image view without a toolkit: base image, layers, zoom and scroll
// offsets, the 16.16 coordinate transform, the paint stages rendered into an
// off-screen buffer, and composing into any bitmap. The Qt widget TImgView32
// shows the buffer, owns the scroll bar widgets and passes input here.

#include "faceeditor/Bitmap32.h"
#include "faceeditor/Layers.h"
#include "faceeditor/RangeBars.h"

#include <functional>
#include <vector>

namespace velmora {

enum TPaintStageKind {
    psCustom = 1,
    psClearBuffer = 2,
    psBackground = 3,
    psImage = 4,
    psLayers = 5,
    psControlFrame = 6,
    psImageFrame = 7
};

struct TPaintStage {
    bool DsgnTime = false;
    bool RunTime = true;
    TPaintStageKind Stage = psCustom;
    unsigned Parameter = 0;
};

enum TSizeGripStyle { sgAuto, sgNone, sgAlways };

struct TPoint {
    int X = 0, Y = 0;
    bool operator==(const TPoint&) const = default;
};

// a * b / c rounded to the nearest integer, halves away from zero (0 when c is 0).
int MulDiv(int a, int b, int c);

class TImgView32Model : public TLayerHost {
public:
    TImgView32Model();
    ~TImgView32Model() override;
    TImgView32Model(const TImgView32Model&) = delete;
    TImgView32Model& operator=(const TImgView32Model&) = delete;

    TBitmap32& Bitmap() { return bitmap_; }
    void setBitmap(const TBitmap32& b) { bitmap_.CopyFrom(b); }
    TLayerCollection& Layers() { return layers_; }
    TBitmap32& Buffer() { return buffer_; }
    std::vector<TPaintStage>& paintStages() { return stages_; }

    float Scale() const { return scale_; }
    void setScale(float scale);
    bool Centered = true;
    int OverSize = 0;
    std::int32_t Color = std::int32_t(0x8000000F); // button face
    bool TabStop = false;
    TSizeGripStyle SizeGrip = sgAuto;
    int ScrollBarSize = 0; // 0: the platform's standard thickness
    int StandardScrollBarSize = 16;

    void setViewSize(int width, int height);
    int viewWidth() const { return viewW_; }
    int viewHeight() const { return viewH_; }
    TRect ViewArea() const;
    TRect horzBarRect() const;
    TRect vertBarRect() const;
    TRect cornerRect() const;
    int barSize() const { return ScrollBarSize ? ScrollBarSize : StandardScrollBarSize; }

    float OffsetX() const { return offsetX_; }
    float OffsetY() const { return offsetY_; }
    TCustomRangeBarModel& horzBar() { return hbar_; }
    TCustomRangeBarModel& vertBar() { return vbar_; }

    TRect ImageRect() const override;
    const TLayerTransform& layerTransform() override;
    bool isComposing() const override { return composing_; }
    void layersChanged() override { changed(); }
    void showCursor(TCursor c) override;

    TPoint ViewToImage(TPoint p);
    void ComposeInto(TBitmap32& target, const TRect& r);

    // Renders the buffer when it is out of date (sized to the view area with
    // a 40-pixel margin).
    void Paint();
    bool bufferValid() const { return bufferValid_; }
    void changed(); // repaint request
    void BeginUpdate() { ++updateCount_; }
    void EndUpdate();
    // Runs after every change of scale, image size, view size or scroll position.
    void updateImage();

    // Mouse input from the widget, in view pixels. mouseDown tells whether the
    // view should capture the mouse; mouseUp whether it should release it.
    TCustomLayer* mouseDown(TMouseButton b, TShiftState s, int x, int y, bool* capture = nullptr);
    TCustomLayer* mouseMove(TShiftState s, int x, int y);
    TCustomLayer* mouseUp(TMouseButton b, TShiftState s, int x, int y, bool* release = nullptr);
    void mouseLeave();
    void mouseWheel(int delta);

    using TImgMouseEvent =
        std::function<void(TImgView32Model* sender, TMouseButton, TShiftState, int x, int y, TCustomLayer* layer)>;
    TImgMouseEvent OnMouseDown, OnMouseUp;
    std::function<void(TImgView32Model* sender, TShiftState, int x, int y, TCustomLayer* layer)> OnMouseMove;
    std::function<void(TImgView32Model*sender)> OnMouseWheelUp, OnMouseWheelDown, OnScroll;
    std::function<void(TImgView32Model* sender, TBitmap32& buffer, unsigned stageNum)> OnPaintStage;
    std::function<void()> OnInvalidate;    // ask the platform to repaint
    std::function<void(TCursor)> OnCursor; // pointer shape to show

private:
    void bitmapChanged();
    void updateScrollBars();
    void scrollToCenter();
    void barUserChange();
    void computeTransform(const TRect& r);
    void executeStages(TBitmap32& target);

    TBitmap32 bitmap_;
    TLayerCollection layers_;
    TBitmap32 buffer_;
    std::vector<TPaintStage> stages_;
    TCustomRangeBarModel hbar_, vbar_;
    float scale_ = 1;
    float offsetX_ = 0, offsetY_ = 0;
    int viewW_ = 0, viewH_ = 0;
    int lastW_ = 0, lastH_ = 0;
    TLayerTransform transform_;
    bool transformValid_ = false;
    bool bufferValid_ = false;
    bool composing_ = false;
    TRect composeRect_;
    int updateCount_ = 0;
    int wheelDelta_ = 0;
};

} // namespace velmora
