#include "faceeditor/ImgView32.h"
#include "faceeditor/FaceDocument.h"
#include "faceeditor/FontServices.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QWheelEvent>

#include <cstdlib>
#include <filesystem>

using namespace velmora;

namespace {

void send(QWidget& w, QEvent::Type type, QPoint at, Qt::MouseButton b)
{
    QMouseEvent e(type, QPointF(at), w.mapToGlobal(QPointF(at)), b,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : b, Qt::NoModifier);
    QApplication::sendEvent(&w, &e);
}

} // namespace

TEST(ImgView32, ShowsTheBufferAndPassesInputToTheModel)
{
    ensureFontServices();
    TImgView32 view;
    view.resize(316, 216);
    view.Bitmap().SetDimensions(100, 50);
    view.Bitmap().FillAll(0xFFFF0000);
    auto* layer = view.Layers().Add<TBitmapLayer>();
    layer->Bitmap().SetDimensions(10, 10);
    layer->Bitmap().FillAll(0xFF0000FF);
    layer->SetPlacement({20, 20, 40, 40});
    view.Model().Color = 0x00FF00;
    view.show();
    QApplication::processEvents();

    const int s = view.Model().barSize();
    EXPECT_EQ(view.HorzScrollBar()->geometry(), QRect(0, 216 - s, 316 - s, s));
    EXPECT_EQ(view.VertScrollBar()->geometry(), QRect(316 - s, 0, s, 216 - s));
    const QImage shot = view.grab().toImage();
    const TRect r = view.Model().ImageRect();
    EXPECT_EQ(shot.pixel(r.Left + 50, r.Top + 25), 0xFFFF0000u);
    EXPECT_EQ(shot.pixel(2, 2), 0xFF00FF00u);
    EXPECT_EQ(shot.pixel(30, 30), 0xFF0000FFu);

    TCustomLayer* pressed = nullptr;
    int downs = 0, ups = 0;
    view.Model().OnMouseDown = [&](TImgView32Model*, TMouseButton, TShiftState, int, int, TCustomLayer* l) {
        pressed = l;
        ++downs;
    };
    view.Model().OnMouseWheelUp = [&](TImgView32Model*) { ++ups; };
    send(view, QEvent::MouseButtonPress, {25, 25}, Qt::LeftButton);
    EXPECT_EQ(pressed, layer);
    EXPECT_EQ(view.Layers().MouseOwner(), layer);
    send(view, QEvent::MouseButtonRelease, {25, 25}, Qt::LeftButton);
    EXPECT_EQ(view.Layers().MouseOwner(), nullptr);
    send(view, QEvent::MouseButtonPress, {150, 5}, Qt::LeftButton);
    EXPECT_EQ(pressed, nullptr);
    EXPECT_EQ(downs, 2);
    QWheelEvent wheel(QPointF(50, 50), view.mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&view, &wheel);
    EXPECT_EQ(ups, 1);
}

TEST(ImgView32, GaugeBarFollowsPressesAndWheel)
{
    ensureFontServices();
    TGaugeBar bar;
    bar.Model().setMax(255);
    bar.Model().setPosition(255);
    bar.Model().setHandleSize(16);
    bar.Model().ShowArrows = false;
    bar.Model().setLargeChange(10);
    bar.resize(116, 16);
    bar.show();
    QApplication::processEvents();
    int last = -1;
    QObject::connect(&bar, &TGaugeBar::changed, [&](int p) { last = p; });
    send(bar, QEvent::MouseButtonPress, {5, 8}, Qt::LeftButton);
    EXPECT_EQ(last, 245);
    send(bar, QEvent::MouseButtonRelease, {5, 8}, Qt::LeftButton);
    QWheelEvent wheel(QPointF(50, 8), bar.mapToGlobal(QPointF(50, 8)), QPoint(), QPoint(0, 240), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&bar, &wheel);
    EXPECT_EQ(bar.Model().Position(), 247);
    EXPECT_FALSE(bar.grab().toImage().isNull());
}

TEST(ImgView32, EditorCanvasWithLayersAndFrame)
{
    ensureFontServices();
    TImgView32 view;
    view.SetTabStop(true);
    TFaceDocument doc(view.Model());
    view.resize(555, 480);
    view.show();
    QApplication::processEvents();
    doc.StartNewImage(919, 1124, 0xFFFFFFFF);
    view.SetScale(0.35f);
    TBitmap32 colour(300, 200), none;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x) colour.Pixel(x, y) = color32(x * 255 / 299, y * 255 / 199, 160);
    doc.addRGBALayer(colour, none);
    doc.placeSelection({60, 330, 859, 863});
    doc.setInterpolated(true);
    doc.TextFont.Name = "DejaVu Sans";
    doc.TextFont.Height = 92;
    doc.addTextLayer();
    doc.captionChange("Velmora");
    QApplication::processEvents();
    const QImage shot = view.grab().toImage();
    // Grey squares around the image, the white base, the frame's handles.
    EXPECT_EQ(shot.pixel(2, 2), 0xFFB0B0B0u);
    const TRect img = view.Model().ImageRect();
    EXPECT_EQ(shot.pixel(img.Left + 3, img.Top + 3), 0xFFFFFFFFu);
    const TRect frame = roundRect(doc.Rubberband()->AdjustedPlacement());
    EXPECT_EQ(shot.pixel(frame.Left - 3, frame.Top - 3), 0xFF000000u);
    if (const char* dir = std::getenv("VELMORA_SCREENSHOTS"); dir && *dir)
        shot.save(QString::fromStdString((std::filesystem::path(dir) / "imgview-canvas.png").string()));
}
