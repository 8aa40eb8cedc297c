#pragma once
// A bitmap layer whose pixels are one line of anti-aliased text.

#include "faceeditor/Layers.h"

#include <string>

namespace velmora {

class TBitmapTextLayer : public TBitmapLayer {
public:
    explicit TBitmapTextLayer(TLayerCollection& c) : TBitmapLayer(c) {}

    std::string CaptionText = "Caption";
    TFont32 CaptionFont;

    // Renders text in font with colour k into the layer's bitmap: the colour
    // channels from white towards k, the alpha from a white-on-black mask.
    // measure is the surface that measures text.
    void Render(const std::string& text, const TFont32& font, TColor32 k, TBitmap32& measure);
};

} // namespace velmora
