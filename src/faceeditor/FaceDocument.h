#pragma once
// The face editor's document without its window: the base image and layers
// of an image view model, the selection framed by the rubber band, and the
// commands that change them. The editor window and `velmora face` both run
// these, so a face composed without a display is the face the editor makes.

#include "faceeditor/ImgView32Model.h"
#include "faceeditor/TextLayer.h"

#include <functional>
#include <string>

namespace velmora {

class TFaceDocument {
public:
    explicit TFaceDocument(TImgView32Model& view);
    ~TFaceDocument();
    TFaceDocument(const TFaceDocument&) = delete;
    TFaceDocument& operator=(const TFaceDocument&) = delete;

    TImgView32Model& View() { return view_; }
    TBitmap32& Base() { return view_.Bitmap(); }
    TPositionedLayer* SelectedLayer() const { return selected_; }
    TRubberbandLayer* Rubberband() const { return rubberband_; }

    // The current text font (the font dialog's): Tahoma-like bold, 24 pixels.
    TFont32 TextFont;

    void StartNewImage(int width, int height, TColor32 color);
    void OpenBaseImage(const std::string& fileName);
    void SelectLayer(TPositionedLayer* layer);
    void LayerClicked(TCustomLayer* sender);
    // The image point at the middle of the view area.
    TPoint viewCentre();

    // New layers, placed centred at their own size and selected.
    TBitmapLayer* addPictureLayer(const std::string& fileName);
    TBitmapLayer* addRGBALayer(const TBitmap32& colour, const TBitmap32& alpha);
    TBitmapTextLayer* addTextLayer();
    // A new caption for the selected text layer, in the current text font.
    void captionChange(const std::string& text);

    // Commands on the selection (nothing without a suitable one).
    void reorder(int tag); // 1 front, 2 back, 3 up one, 4 down one
    void toggleScaled();
    void deleteSelected();
    void flipHorz();
    void flipVert();
    void rotate90();
    void rotate180();
    void rotate270();
    void setOpacity(int position);
    void setInterpolated(bool on);
    void setCropped(bool on);
    void Rescale();
    void resetScale();
    // Places the selection as a drag of the rubber band would.
    void placeSelection(const TFloatRect& placement);

    void fillBase(TColor32 color);
    void BackgroundImage(const std::string& fileName);
    // The base image with every visible layer at its placement in image pixels.
    void compose(TBitmap32& out);
    void saveAs(const std::string& fileName);
    void Flatten();

    // The rubber band's reshape: Ctrl resizes symmetrically about the centre.
    static void RubberbandReshaping(TRubberbandLayer* sender, const TFloatRect& old, TFloatRect& n,
                                    TRubberbandGrip grip, TShiftState shift);
    // The on-screen background: 8 x 8 grey and white squares.
    static void paintCheckerboard(TBitmap32& buffer);

    // Tells the window that the selection (and so its property panels) changed.
    std::function<void()> OnSelectionChanged;

private:
    void resetLayers();
    void placeAtCentre(TBitmapLayer* layer);
    // A new layer of type L made by make(layer), centred and selected; a
    // failure removes it again.
    template <class L, class Make> L* addLayer(Make make);
    TBitmapLayer* selectedBitmapLayer() const;

    TImgView32Model& view_;
    TPositionedLayer* selected_ = nullptr;
    TRubberbandLayer* rubberband_ = nullptr;
    TBitmap32 measure_; // the hidden surface that measures text
};

} // namespace velmora
