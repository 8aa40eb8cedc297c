#include "faceeditor/FaceEditor.h"
#include "faceeditor/FaceDocument.h"
#include "faceeditor/ImgView32.h"
#include "faceeditor/NewImageUnit.h"
#include "faceeditor/RGBALoaderUnit.h"

#include "FaceEditorTestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace velmora {
namespace {

using test::answerNextDialog;
using test::ScratchDir;
using test::writeBmp24;

class FaceEditorWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::dialogTestApp();
        editor = std::make_unique<TfrmFaceEditor>();
        editor->FaceWidth = 919;
        editor->FaceHeight = 1124;
        editor->show();
        QCoreApplication::processEvents();
    }
    void TearDown() override
    {
        editor->AskAddToBox = [] { return QMessageBox::No; };
        editor.reset();
    }
    // Opens a picture layer from a generated file, as "New Bitmap Layer" does.
    void addPicture(int w, int h)
    {
        const std::string file = scratch / ("layer" + std::to_string(++pictures) + ".bmp");
        writeBmp24(file, w, h, [](int, int) { return 0xFF0000u; });
        editor->OpenPictureDialog1 = [file] { return QString::fromStdString(file); };
        editor->mnNewBitmapLayer->trigger();
    }
    // The next picture dialog answers with a file that is no picture.
    void offerUnreadablePicture(const std::string& name)
    {
        const std::string bad = scratch / name;
        test::writeFile(bad, "not a picture");
        editor->OpenPictureDialog1 = [bad] { return QString::fromStdString(bad); };
    }
    ScratchDir scratch;
    std::unique_ptr<TfrmFaceEditor> editor;
    int pictures = 0;
};

TEST_F(FaceEditorWindow, OpensWhiteAtTheFaceSizeAndThirtyFivePercent)
{
    EXPECT_EQ(editor->windowTitle(), QStringLiteral("Edit Box Face"));
    TBitmap32& base = editor->Document().Base();
    EXPECT_EQ(base.Width(), 919);
    EXPECT_EQ(base.Height(), 1124);
    EXPECT_EQ(base.Pixel(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(editor->ScaleCombo->currentText(), QStringLiteral("35%"));
    EXPECT_FLOAT_EQ(editor->ImgView->Scale(), 0.35f);
    EXPECT_TRUE(editor->Cancelled);
    EXPECT_FALSE(editor->FaceBitmap);
    EXPECT_FALSE(editor->pnlImage->isHidden());
    EXPECT_TRUE(editor->pnlBitmapLayer->isHidden());
    EXPECT_TRUE(editor->pnlTextLayer->isHidden());
    // Around the image: grey and white squares of 8, grey at the top left.
    editor->ImgView->Model().Paint();
    EXPECT_EQ(editor->ImgView->Model().Buffer().Pixel(0, 0), 0xFFB0B0B0u);
    EXPECT_EQ(editor->ImgView->Model().Buffer().Pixel(8, 0), 0xFFFFFFFFu);
}

TEST_F(FaceEditorWindow, CloseQuestionAnswers)
{
    int asked = 0;
    editor->AskAddToBox = [&] {
        ++asked;
        return QMessageBox::Cancel;
    };
    editor->close();
    EXPECT_TRUE(editor->isVisible()) << "Cancel keeps the window open";
    EXPECT_TRUE(editor->Cancelled);
    EXPECT_FALSE(editor->FaceBitmap);

    editor->AskAddToBox = [&] {
        ++asked;
        return QMessageBox::No;
    };
    editor->btnCancel->click();
    EXPECT_FALSE(editor->isVisible());
    EXPECT_TRUE(editor->Cancelled);
    EXPECT_FALSE(editor->FaceBitmap);
    EXPECT_EQ(editor->result(), QDialog::Rejected);
    EXPECT_EQ(asked, 2);
}

TEST_F(FaceEditorWindow, YesAndDoneHandTheCompositeBack)
{
    addPicture(10, 10);
    editor->AskAddToBox = [] { return QMessageBox::Yes; };
    editor->close();
    EXPECT_FALSE(editor->isVisible());
    EXPECT_FALSE(editor->Cancelled);
    ASSERT_TRUE(editor->FaceBitmap);
    EXPECT_EQ(editor->FaceBitmap->Width(), 919);
    EXPECT_EQ(editor->FaceBitmap->Height(), 1124);
    // The red layer sits at the view centre; the frame does not appear.
    bool red = false;
    for (int y = 0; y < 1124 && !red; ++y)
        for (int x = 0; x < 919 && !red; ++x) red = editor->FaceBitmap->Pixel(x, y) == 0xFFFF0000u;
    EXPECT_TRUE(red);
    EXPECT_EQ(editor->FaceBitmap->Pixel(0, 0), 0xFFFFFFFFu);

    auto done = std::make_unique<TfrmFaceEditor>();
    done->FaceWidth = 20;
    done->FaceHeight = 30;
    done->AskAddToBox = [] {
        ADD_FAILURE() << "Done does not ask";
        return QMessageBox::Cancel;
    };
    done->show();
    done->btnDone->click();
    EXPECT_FALSE(done->isVisible());
    EXPECT_FALSE(done->Cancelled);
    ASSERT_TRUE(done->FaceBitmap);
    EXPECT_EQ(done->FaceBitmap->Width(), 20);
    EXPECT_EQ(done->result(), QDialog::Accepted);
}

TEST_F(FaceEditorWindow, ScaleBoxTextsAndWheel)
{
    QComboBox* box = editor->ScaleCombo;
    ASSERT_EQ(box->count(), 9);
    EXPECT_EQ(box->itemText(0), QStringLiteral("    25%"));
    EXPECT_EQ(box->itemText(8), QStringLiteral("1600%"));

    box->setEditText(QStringLiteral("abc"));
    EXPECT_EQ(box->currentText(), QStringLiteral("35%"));
    box->setEditText(QStringLiteral("2500"));
    EXPECT_EQ(box->currentText(), QStringLiteral("35%"));
    EXPECT_FLOAT_EQ(editor->ImgView->Scale(), 0.35f);
    box->setEditText(QStringLiteral("150 %"));
    EXPECT_EQ(box->currentText(), QStringLiteral("150%"));
    EXPECT_FLOAT_EQ(editor->ImgView->Scale(), 1.5f);
    EXPECT_EQ(box->lineEdit()->cursorPosition(), 3);
    box->setEditText(QStringLiteral("%"));
    EXPECT_EQ(box->currentText(), QStringLiteral("%")) << "nothing left: no change";
    box->setCurrentIndex(4);
    EXPECT_EQ(box->currentText(), QStringLiteral("200%"));
    EXPECT_FLOAT_EQ(editor->ImgView->Scale(), 2.f);

    box->setEditText(QStringLiteral("35"));
    for (int i = 0; i < 5; ++i) editor->ImgView->Model().mouseWheel(-120);
    EXPECT_EQ(box->currentText(), QStringLiteral("56%"));
    EXPECT_NEAR(editor->ImgView->Scale(), 0.5637, 1e-4);
    for (int i = 0; i < 40; ++i) editor->ImgView->Model().mouseWheel(120);
    EXPECT_FLOAT_EQ(editor->ImgView->Scale(), 0.2f);
    EXPECT_EQ(box->currentText(), QStringLiteral("20%"));
    EXPECT_FLOAT_EQ(wheelZoom(19.f, true), 20.f);
    EXPECT_EQ(scaleText(0.125f), "12%"); // halves to even
}

TEST_F(FaceEditorWindow, MenuCaptionsAreTheEditorsOwnTexts)
{
    // The editor's menus carry no accelerator marks, unlike the main window's.
    const std::vector<std::pair<QMenu*, const char*>> menus = {{editor->mnFile, "File"},
                                                               {editor->mnLayers, "Layers"},
                                                               {editor->mnArrange, "Selection"},
                                                               {editor->Help1, "Help"}};
    for (const auto& [menu, title] : menus) EXPECT_EQ(menu->title().toStdString(), title);
    const std::vector<std::pair<QAction*, const char*>> items = {
        {editor->mnFileNew, "New..."},
        {editor->mnFileOpen, "Open..."},
        {editor->SaveAs1, "Save As..."},
        {editor->Done1, "Done"},
        {editor->mnNewBitmapLayer, "New Bitmap Layer"},
        {editor->mnNewBitmapRGBA, "New Bitmap Layer with Alpha Channel"},
        {editor->mnNewTextLayer, "New Text Layer"},
        {editor->mnFlatten, "Flatten Layers"},
        {editor->mnBringFront, "Bring to Front"},
        {editor->mnSendBack, "Send to Back"},
        {editor->mnLevelUp, "Up One Level"},
        {editor->mnLevelDown, "Down one Level"},
        {editor->mnScaled, "Scaled"},
        {editor->mnDelete, "Delete"},
        {editor->mnFlipHorz, "Flip Horizontally"},
        {editor->mnFlipVert, "Flip Vertically"},
        {editor->mnRotate90, "Rotate 90\u00b0"},
        {editor->mnRotate180, "Rotate 180\u00b0"},
        {editor->mnRotate270, "Rotate 270\u00b0"},
        {editor->Contents1, "Contents"},
        {editor->OnlineSupportCenter1, "Online Support Center..."},
        {editor->EMailTechnicalSupport1, "E-Mail Technical Support..."},
    };
    for (const auto& [action, caption] : items) EXPECT_EQ(action->text(), QString::fromUtf8(caption));
    EXPECT_EQ(editor->Contents1->shortcut(), QKeySequence(Qt::Key_F1));
}

TEST_F(FaceEditorWindow, MenuStatesFollowTheSelection)
{
    auto arrange = [&] { emit editor->mnArrange->aboutToShow(); };
    auto layers = [&] { emit editor->mnLayers->aboutToShow(); };
    arrange();
    layers();
    for (QAction* a : {editor->mnBringFront, editor->mnSendBack, editor->mnLevelUp, editor->mnLevelDown,
                       editor->mnScaled, editor->mnDelete, editor->mnFlipHorz, editor->mnRotate90})
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_TRUE(editor->mnNewBitmapLayer->isEnabled());
    EXPECT_FALSE(editor->mnFlatten->isEnabled());
    EXPECT_FALSE(editor->btnDelete->isEnabled());

    addPicture(20, 10);
    addPicture(30, 10); // selected, on top (index 1, frame at 2)
    arrange();
    layers();
    EXPECT_TRUE(editor->mnFlatten->isEnabled());
    EXPECT_TRUE(editor->mnDelete->isEnabled());
    EXPECT_TRUE(editor->btnDelete->isEnabled());
    EXPECT_TRUE(editor->mnScaled->isChecked());
    EXPECT_TRUE(editor->mnRotate90->isEnabled());
    EXPECT_FALSE(editor->mnBringFront->isEnabled());
    EXPECT_FALSE(editor->btnLevelUp->isEnabled());
    EXPECT_TRUE(editor->mnSendBack->isEnabled());
    EXPECT_TRUE(editor->btnLevelDown->isEnabled());
    EXPECT_FALSE(editor->pnlBitmapLayer->isHidden());

    editor->mnSendBack->trigger();
    EXPECT_EQ(editor->Document().SelectedLayer()->StackIndex(), 0);
    EXPECT_TRUE(editor->btnBringFront->isEnabled());
    EXPECT_FALSE(editor->btnSendBack->isEnabled());

    editor->mnDelete->trigger();
    EXPECT_EQ(editor->Document().SelectedLayer(), nullptr);
    arrange();
    EXPECT_FALSE(editor->mnDelete->isEnabled());
    EXPECT_TRUE(editor->pnlBitmapLayer->isHidden());

    editor->mnFlatten->trigger();
    layers();
    EXPECT_EQ(editor->ImgView->Layers().Count(), 0);
    EXPECT_FALSE(editor->mnFlatten->isEnabled());
}

TEST_F(FaceEditorWindow, PanelControlsActOnTheSelectedLayer)
{
    addPicture(40, 20);
    auto* layer = dynamic_cast<TBitmapLayer*>(editor->Document().SelectedLayer());
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(editor->LayerOpacity->Model().Position(), 255);
    EXPECT_FALSE(editor->LayerInterpolate->isChecked());

    editor->LayerOpacity->Model().setPosition(77); // as a drag of the slider
    EXPECT_EQ(layer->Bitmap().MasterAlpha(), 77);
    editor->LayerInterpolate->click();
    EXPECT_EQ(layer->Bitmap().StretchFilter(), sfLinear);
    editor->Cropped->click();
    EXPECT_TRUE(layer->ClipToImage());
    editor->ImageInterpolate->click();
    EXPECT_EQ(editor->Document().Base().StretchFilter(), sfLinear);

    // Turned a quarter about its centre by the menu, then back to 100 % by the button.
    editor->Document().placeSelection({100, 100, 300, 150});
    editor->mnRotate90->trigger();
    EXPECT_EQ(layer->Placement(), (TFloatRect{175, 25, 225, 225}));
    EXPECT_EQ(layer->Bitmap().Width(), 20);
    editor->Document().placeSelection({10, 10, 90, 50});
    editor->LayerResetScale->click();
    EXPECT_EQ(layer->Placement(), (TFloatRect{10, 10, 30, 50}));
    editor->Document().placeSelection({10, 10, 50, 90});
    editor->LayerRescale->click();
    EXPECT_EQ(layer->Bitmap().Width(), 40);
    EXPECT_EQ(layer->Bitmap().Height(), 80);

    // Another selection shows its own opacity and filter.
    addPicture(10, 10);
    EXPECT_EQ(editor->LayerOpacity->Model().Position(), 255);
    EXPECT_FALSE(editor->LayerInterpolate->isChecked());
    editor->Document().SelectLayer(layer);
    EXPECT_EQ(editor->LayerOpacity->Model().Position(), 77);
    EXPECT_TRUE(editor->LayerInterpolate->isChecked());
    EXPECT_EQ(layer->Bitmap().MasterAlpha(), 77);

    editor->btnDelete->setEnabled(true);
    editor->btnDelete->click();
    EXPECT_EQ(editor->Document().SelectedLayer(), nullptr);
    EXPECT_EQ(editor->ImgView->Layers().Count(), 2); // the other picture and the hidden frame
}

TEST_F(FaceEditorWindow, TextLayerPanelAndCaption)
{
    editor->btnText->click();
    auto* layer = dynamic_cast<TBitmapTextLayer*>(editor->Document().SelectedLayer());
    ASSERT_NE(layer, nullptr);
    EXPECT_TRUE(editor->btnSelect->isChecked());
    EXPECT_FALSE(editor->pnlTextLayer->isHidden());
    EXPECT_TRUE(editor->pnlBitmapLayer->isHidden());
    EXPECT_EQ(editor->txtCaption->text(), QStringLiteral("Caption"));
    EXPECT_EQ(editor->lblFont->text(), QStringLiteral("Tahoma"));
    const int w = layer->Bitmap().Width();
    editor->txtCaption->setText(QStringLiteral("A much longer caption"));
    EXPECT_EQ(layer->CaptionText, "A much longer caption");
    EXPECT_GT(layer->Bitmap().Width(), w);
    editor->txtCaption->setText(QString());
    EXPECT_EQ(layer->Bitmap().Width(), 0);
    EXPECT_EQ(editor->Document().SelectedLayer(), layer) << "the empty layer stays selected";
}

TEST_F(FaceEditorWindow, FailedPictureLayerIsReportedAndRemoved)
{
    offerUnreadablePicture("bad.bmp");
    // The error box is modal: answer it as soon as it shows.
    bool reported = false;
    test::acceptMessageBoxSoon(reported);
    editor->btnGraphic->click();
    EXPECT_TRUE(reported);
    EXPECT_EQ(editor->ImgView->Layers().Count(), 0);
    EXPECT_TRUE(editor->btnSelect->isChecked());
}

TEST_F(FaceEditorWindow, BaseColourSaveAsAndAFailedOpen)
{
    addPicture(10, 10);
    editor->ColorDialog1 = [](const QColor& initial) -> std::optional<QColor> {
        EXPECT_EQ(initial, QColor(Qt::white));
        return QColor(0, 128, 255);
    };
    editor->BackgroundColor->click();
    EXPECT_EQ(editor->Document().Base().Pixel(0, 0), 0xFF0080FFu);
    EXPECT_EQ(editor->ImgView->Layers().Count(), 2) << "layers stay";

    const std::string saved = scratch / "face.bmp";
    editor->SavePictureDialog1 = [saved] { return QString::fromStdString(saved); };
    editor->SaveAs1->trigger();
    TBitmap32 back;
    back.LoadPicture(saved);
    EXPECT_EQ(back.Width(), 919);
    EXPECT_EQ(back.Height(), 1124);
    EXPECT_EQ(back.Pixel(0, 0), 0xFF0080FFu);
    EXPECT_EQ(editor->ImgView->Layers().Count(), 2) << "the editor goes on with its layers";

    // A picture that cannot be read: reported; the layers and the zoom are
    // reset, the base keeps its pixels.
    offerUnreadablePicture("bad.jpg");
    bool reported = false;
    test::acceptMessageBoxSoon(reported);
    editor->mnFileOpen->trigger();
    EXPECT_TRUE(reported);
    EXPECT_EQ(editor->ImgView->Layers().Count(), 0);
    EXPECT_FLOAT_EQ(editor->ImgView->Scale(), 1.f);
    EXPECT_EQ(editor->ScaleCombo->currentText(), QStringLiteral("100%"));
    EXPECT_EQ(editor->Document().Base().Width(), 919);
    EXPECT_EQ(editor->Document().Base().Pixel(0, 0), 0xFF0080FFu);
    EXPECT_EQ(editor->Document().SelectedLayer(), nullptr);
}

TEST_F(FaceEditorWindow, EscapeAsksLikeTheCloseBox)
{
    int asked = 0;
    editor->AskAddToBox = [&] {
        ++asked;
        return QMessageBox::Cancel;
    };
    editor->reject();
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(editor->isVisible());
}

TEST_F(FaceEditorWindow, FontDialogColoursTheTextAndCarriesTheFont)
{
    editor->btnText->click();
    auto* first = dynamic_cast<TBitmapTextLayer*>(editor->Document().SelectedLayer());
    ASSERT_NE(first, nullptr);
    editor->txtCaption->setText(QStringLiteral("One"));
    editor->btnText->click();
    auto* second = dynamic_cast<TBitmapTextLayer*>(editor->Document().SelectedLayer());
    ASSERT_NE(second, nullptr);
    const int secondWidth = second->Bitmap().Width();

    // Cancelled: nothing re-rendered.
    editor->Document().SelectLayer(first);
    const int firstWidth = first->Bitmap().Width();
    editor->FontDialog1 = [](TFont32&) { return false; };
    editor->btnSetFont->click();
    EXPECT_EQ(first->Bitmap().Width(), firstWidth);

    editor->FontDialog1 = [](TFont32& font) {
        EXPECT_EQ(font.Name, "Tahoma");
        font.Name = "DejaVu Serif";
        font.Height = 48;
        font.Color = 0x0000FF; // red as a window colour
        return true;
    };
    editor->btnSetFont->click();
    EXPECT_EQ(first->CaptionFont.Height, 48);
    EXPECT_GT(first->Bitmap().Width(), firstWidth);
    bool red = false;
    const TBitmap32& b = first->Bitmap();
    for (int y = 0; y < b.Height() && !red; ++y)
        for (int x = 0; x < b.Width() && !red; ++x)
            red = alphaOf(b.Pixel(x, y)) == 255 && redOf(b.Pixel(x, y)) > 200 && greenOf(b.Pixel(x, y)) < 60;
    EXPECT_TRUE(red) << "the text takes the font's colour";

    // Selecting the second layer (its caption differs) re-renders it in the carried font.
    editor->Document().SelectLayer(second);
    EXPECT_EQ(editor->txtCaption->text(), QStringLiteral("Caption"));
    EXPECT_EQ(second->CaptionFont.Height, 48);
    EXPECT_GT(second->Bitmap().Width(), secondWidth);
    // The panel names the font the layer now has, not the one it had.
    EXPECT_EQ(second->CaptionFont.Name, "DejaVu Serif");
    EXPECT_EQ(editor->lblFont->text(), QStringLiteral("DejaVu Serif"));
}

TEST_F(FaceEditorWindow, SelectingATextLayerWithTheBoxCaptionLeavesItUntouched)
{
    editor->btnText->click();
    auto* first = dynamic_cast<TBitmapTextLayer*>(editor->Document().SelectedLayer());
    ASSERT_NE(first, nullptr);
    editor->btnText->click();
    auto* second = dynamic_cast<TBitmapTextLayer*>(editor->Document().SelectedLayer());
    ASSERT_NE(second, nullptr);
    ASSERT_EQ(second->CaptionText, "Caption");

    // Moved by hand, and a larger current font that a re-render would take.
    editor->Document().placeSelection(
        {10, 20, 10 + float(second->Bitmap().Width()), 20 + float(second->Bitmap().Height())});
    const TFloatRect moved = second->Placement();
    const TFont32 font = second->CaptionFont;
    const TBitmap32& b = second->Bitmap();
    const std::vector<TColor32> pixels(b.Bits(), b.Bits() + std::size_t(b.Width()) * std::size_t(b.Height()));
    editor->Document().TextFont.Height = 48;

    editor->Document().SelectLayer(first);
    editor->Document().SelectLayer(second);
    EXPECT_EQ(editor->txtCaption->text(), QStringLiteral("Caption"));
    EXPECT_EQ(second->Placement(), moved);
    EXPECT_EQ(second->CaptionFont, font);
    ASSERT_EQ(std::size_t(b.Width()) * std::size_t(b.Height()), pixels.size());
    EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), b.Bits()));
    EXPECT_EQ(editor->Document().Rubberband()->Placement(), moved);
}

TEST_F(FaceEditorWindow, NewImageAndTheAlphaLayerDialog)
{
    addPicture(10, 10);
    // Cancelled: the image stays, the zoom goes to 100 %.
    answerNextDialog<TNewImageForm>([](TNewImageForm& d) { d.reject(); });
    editor->mnFileNew->trigger();
    EXPECT_EQ(editor->Document().Base().Width(), 919);
    EXPECT_EQ(editor->ImgView->Layers().Count(), 2);
    EXPECT_EQ(editor->ScaleCombo->currentText(), QStringLiteral("100%"));
    EXPECT_FLOAT_EQ(editor->ImgView->Scale(), 1.f);
    // Confirmed at its 640 x 480 white: a new image without layers.
    answerNextDialog<TNewImageForm>([](TNewImageForm& d) { d.accept(); });
    editor->mnFileNew->trigger();
    EXPECT_EQ(editor->Document().Base().Width(), 640);
    EXPECT_EQ(editor->Document().Base().Height(), 480);
    EXPECT_EQ(editor->Document().Base().Pixel(5, 5), 0xFFFFFFFFu);
    EXPECT_EQ(editor->ImgView->Layers().Count(), 0);
    // OK without a colour picture adds nothing.
    answerNextDialog<TRGBALoaderForm>([](TRGBALoaderForm& d) { d.accept(); });
    editor->mnNewBitmapRGBA->trigger();
    EXPECT_EQ(editor->ImgView->Layers().Count(), 0);
}

TEST(FaceEditorRules, ScaleComboRule)
{
    EXPECT_FALSE(scaleComboRule("  % ", 1.f));
    auto r = scaleComboRule("abc", 0.35f);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->Text, "35%");
    EXPECT_FALSE(r->ScaleChanged);
    r = scaleComboRule("0", 2.f);
    EXPECT_EQ(r->Text, "200%");
    r = scaleComboRule("2000%", 1.f);
    EXPECT_TRUE(r->ScaleChanged);
    EXPECT_FLOAT_EQ(r->Scale, 20.f);
    r = scaleComboRule("12x", 1.f);
    EXPECT_EQ(r->Text, "100%");
}

} // namespace
} // namespace velmora
