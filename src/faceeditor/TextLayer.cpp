#include "faceeditor/TextLayer.h"

namespace velmora {

void TBitmapTextLayer::Render(const std::string& text, const TFont32& font, TColor32 k, TBitmap32& measure)
{
    measure.SetFont(font);
    const TBitmap32::TSize size = measure.MeasureText(text);
    TBitmap32& b = Bitmap();
    b.BeginUpdate();
    try {
        b.SetFont(font);
        b.SetDimensions(size.Width, size.Height);
        b.FillAll(0x00FFFFFF);
        b.DrawTextSmooth(0, 0, text, 4, k);

        TBitmap32 mask;
        mask.SetFont(font);
        mask.SetDimensions(size.Width, size.Height);
        mask.FillAll(0);
        mask.DrawTextSmooth(0, 0, text, 4, 0xFFFFFFFF);
        if (!mask.Empty()) {
            TBitmap32 x(b.Width(), b.Height());
            mask.DrawStretched(x, x.BoundsRect());
            AlphaFromIntensity(b, x);
        }
    } catch (...) {
        b.EndUpdate();
        b.Changed();
        throw;
    }
    b.EndUpdate();
    b.Changed();
}

} // namespace velmora
