// The "Rendering" tab of the main window: the new-size switch and edits, the
// multiplier, and the two render entries ("Render" and "Render Image").

#include "box/MainModel.h"
#include "box/RenderShot.h"
#include "engine/ScopeGuard.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace velmora {

namespace {

// Largest output side the tab accepts; beyond it the render bitmap could not
// be made anyway.
constexpr int kMaxShotSide = 16384;

// The integer value of an edit's text, as a strict decimal conversion reads it.
std::optional<std::int32_t> integerValue(const std::string& text)
{
    std::int32_t v = 0;
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+') ++begin;
    const auto [ptr, ec] = std::from_chars(begin, end, v);
    if (ec != std::errc() || ptr != end || begin == end) return std::nullopt;
    return v;
}

// trunc(a x b / c) with the quotient rounded to single precision first. The
// product is taken in 64 bits so a long number cannot wrap round.
std::int32_t crosswise(std::int32_t a, int b, int c)
{
    if (c == 0) return 0;
    const float q = static_cast<float>(double(std::int64_t(a) * b) / double(c));
    if (!std::isfinite(q)) return 0;
    const double t = std::trunc(double(q));
    if (t > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    if (t < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(t);
}

bool acceptKey(char32_t& key)
{
    if ((key >= U'0' && key <= U'9') || key == 8) return true;
    key = 0;
    return false;
}

class ERenderSize : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace

void TfrmMainModel::installRenderingTab()
{
    CheckBox1.OnClick = [this] { CheckBox1Click(); };
    txtNewWidth.OnChange = [this] { txtNewWidthChange(); };
    txtNewHeight.OnChange = [this] { txtNewHeightChange(); };
    btnRender.OnClick = [this] { btnRenderClick(); };
}

void TfrmMainModel::CheckBox1Click()
{
    // The switch follows SetNewSize, not the check mark.
    const bool on = !SetNewSize;
    txtNewWidth.setText(std::to_string(ViewerWidth));
    txtNewHeight.setText(std::to_string(ViewerHeight));
    lblCaptionNewSize.setVisible(on);
    lblNewSize.setVisible(on);
    txtNewWidth.setEnabled(on);
    txtNewHeight.setEnabled(on);
    SetNewSize = on;
}

bool TfrmMainModel::txtNewWidthKeyPress(char32_t& key)
{
    return acceptKey(key);
}
bool TfrmMainModel::txtNewHeightKeyPress(char32_t& key)
{
    return acceptKey(key);
}

void TfrmMainModel::recomputeNewSize()
{
    const auto h = integerValue(txtNewHeight.text());
    if (!h) {
        processMessages();
        return;
    }
    NewWidth = crosswise(*h, ViewerWidth, ViewerHeight);
    const auto w = integerValue(txtNewWidth.text());
    if (!w) {
        processMessages();
        return;
    }
    NewHeight = crosswise(*w, ViewerHeight, ViewerWidth);
}

void TfrmMainModel::txtNewWidthChange()
{
    recomputeNewSize();
    const std::string& text = txtNewWidth.text();
    ShownNewWidth = text.empty() ? 0 : integerValue(text).value_or(0);
    ShownNewHeight = NewHeight;
    lblNewSize.setCaption((text.empty() ? std::string("0") : text) + " x " + std::to_string(NewHeight) + " pixels");
}

void TfrmMainModel::txtNewHeightChange()
{
    recomputeNewSize();
    const std::string& text = txtNewHeight.text();
    ShownNewWidth = NewWidth;
    ShownNewHeight = text.empty() ? 0 : integerValue(text).value_or(0);
    lblNewSize.setCaption(std::to_string(NewWidth) + " x " + (text.empty() ? std::string("0") : text) + " pixels");
}

void TfrmMainModel::txtNewWidthEnter()
{
    txtNewWidth.setText(std::to_string(NewWidth));
}
void TfrmMainModel::txtNewHeightEnter()
{
    txtNewHeight.setText(std::to_string(NewHeight));
}

std::pair<int, int> TfrmMainModel::shotSize() const
{
    if (SetNewSize) return {ShownNewWidth, ShownNewHeight};
    return {ViewerWidth, ViewerHeight};
}

void TfrmMainModel::btnRenderClick()
{
    renderToFile(float(tbAntialiasingMultiplier.position()));
}

void TfrmMainModel::SaveToFile1Click()
{
    renderToFile(4.0f);
}

void TfrmMainModel::renderToFile(float multiplier)
{
    // A second render asked for while one runs (its messages are processed
    // in the middle) is ignored.
    if (Rendering) return;
    const auto [w, h] = shotSize();
    if (SetNewSize && (w < 2 || h < 2))
        throw ERenderSize("The new size " + lblNewSize.caption() +
                          " cannot be rendered: width and height must be at least 2 pixels.");
    if (SetNewSize && (w > kMaxShotSide || h > kMaxShotSide))
        throw ERenderSize("The new size " + lblNewSize.caption() + " is too large: at most " +
                          std::to_string(kMaxShotSide) + " pixels are possible in each direction.");
    if (ViewerWidth < 1 || ViewerHeight < 1) throw ERenderSize("The viewer has no size to render yet.");
    if (!RunSavePictureDialog) throw ENotAvailable("The picture save dialog is not available.");
    const auto chosen = RunSavePictureDialog();
    if (!chosen) return;
    SavePictureDialog1FileName = chosen->first;

    TRenderToFileJob job;
    job.Path = chosen->first;
    job.Multiplier = multiplier;
    job.ViewerWidth = ViewerWidth;
    job.ViewerHeight = ViewerHeight;
    job.OutputWidth = w;
    job.OutputHeight = h;
    job.BmpFilterChosen = chosen->second == 2;
    TRenderToFileHooks hooks;
    hooks.SetProgress = SetProgress;
    hooks.ProcessMessages = ProcessMessages;
    hooks.ShowMessage = ShowMessage;

    TScopedValue rendering(Rendering, true);
    showProcessingOverlay();
    try {
        renderSceneToFile(*this, ViewerBuffer ? ViewerBuffer() : nullptr, job, hooks);
    } catch (...) {
        // A failed render does not leave the overlay over the viewer.
        hideProcessingOverlay();
        throw;
    }
    hideProcessingOverlay();
}

} // namespace velmora
