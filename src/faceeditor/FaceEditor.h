#pragma once
// "Edit Box Face": the modal window over TFaceDocument. The document does the
// work; this window holds the controls, keeps their enabled and visible states
// in step with the document, and asks the questions.

// Only forward declarations of the editor's own types here: the main window
// includes this header next to the box's input types.

#include <QColor>
#include <QDialog>
#include <QMessageBox>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;
class QToolButton;
class QWidget;

namespace velmora {

class TBitmap32;
class TCustomLayer;
struct TFont32;
class TFaceDocument;
class TImgView32;
class TGaugeBar;

// The scale box's rule for a typed or chosen text at the current scale:
// nothing when no digits are left after removing blanks and "%"; otherwise
// the text to show ("n%") and the new scale, or the current one when the
// number is not in 1..2000.
struct TScaleComboResult {
    std::string Text;
    float Scale = 1;
    bool ScaleChanged = false;
};
std::optional<TScaleComboResult> scaleComboRule(const std::string& text, float scale);
// One wheel notch: away from the user zooms out down to 0.2, toward the user in up to 20.
float wheelZoom(float scale, bool towardUser);
// round(scale x 100) followed by "%", halves to even.
std::string scaleText(float scale);

class TfrmFaceEditor : public QDialog {
    Q_OBJECT
public:
    explicit TfrmFaceEditor(QWidget* parent = nullptr);
    ~TfrmFaceEditor() override;

    // The hand-off with the main window.
    std::int32_t FaceWidth = 640;
    std::int32_t FaceHeight = 480;
    bool Cancelled = true;
    std::unique_ptr<TBitmap32> FaceBitmap;
    // Writes FaceBitmap as a 32-bit BMP file (the accepted face).
    void SaveFaceBitmap(const std::string& fileName) const;

    TFaceDocument& Document() { return *Doc; }

    // Controls, by their names in the window.
    TImgView32* ImgView = nullptr;
    QWidget* ToolPanel = nullptr;
    QToolButton *btnSelect = nullptr, *btnGraphic = nullptr, *btnText = nullptr, *btnDelete = nullptr;
    QToolButton *btnLevelDown = nullptr, *btnLevelUp = nullptr, *btnSendBack = nullptr, *btnBringFront = nullptr;
    QPushButton* BackgroundColor = nullptr;
    QPushButton* btnBackgroundImage = nullptr;
    QLabel* Label9 = nullptr;
    QWidget *pnlImage = nullptr, *pnlBitmapLayer = nullptr, *pnlTextLayer = nullptr;
    QComboBox* ScaleCombo = nullptr;
    QCheckBox* ImageInterpolate = nullptr;
    TGaugeBar* LayerOpacity = nullptr;
    QCheckBox *LayerInterpolate = nullptr, *Cropped = nullptr;
    QPushButton *LayerRescale = nullptr, *LayerResetScale = nullptr;
    QLineEdit* txtCaption = nullptr;
    QLabel* lblFont = nullptr;
    QPushButton* btnSetFont = nullptr;
    QCheckBox* chkTextLayerInterpolated = nullptr;
    QPushButton *btnCancel = nullptr, *btnDone = nullptr;

    QMenuBar* MainMenu = nullptr;
    QMenu *mnFile = nullptr, *mnLayers = nullptr, *mnArrange = nullptr, *Help1 = nullptr;
    QAction *mnFileNew = nullptr, *mnFileOpen = nullptr, *SaveAs1 = nullptr, *Done1 = nullptr;
    QAction *mnNewBitmapLayer = nullptr, *mnNewBitmapRGBA = nullptr, *mnNewTextLayer = nullptr, *mnFlatten = nullptr;
    QAction *mnBringFront = nullptr, *mnSendBack = nullptr, *mnLevelUp = nullptr, *mnLevelDown = nullptr;
    QAction *mnScaled = nullptr, *mnDelete = nullptr, *mnFlipHorz = nullptr, *mnFlipVert = nullptr;
    QAction *mnRotate90 = nullptr, *mnRotate180 = nullptr, *mnRotate270 = nullptr;
    QAction *Contents1 = nullptr, *OnlineSupportCenter1 = nullptr, *EMailTechnicalSupport1 = nullptr;

    // The main window's help commands; the link opens the stock photo site.
    std::function<void()> OnHelpContents, OnOnlineSupport, OnSupportMail, OnStockPhotos;
    static QString StockPhotoAddress();

    // Dialogs, replaceable so that tests can answer them. An empty name is a cancel.
    std::function<QString()> OpenPictureDialog1;
    std::function<QString()> SavePictureDialog1;
    std::function<std::optional<QColor>(const QColor&)> ColorDialog1;
    std::function<QMessageBox::StandardButton()> AskAddToBox;
    // The font dialog, with the text colour: the chosen font, or false when cancelled.
    std::function<bool(TFont32& font)> FontDialog1;

    // Handlers.
    void FormActivate();
    void FormCloseQuery(bool& canClose);
    void ScaleComboChange();
    void ImgViewMouseWheelUp();
    void ImgViewMouseWheelDown();
    void mnLayersClick();
    void mnArrangeClick();
    void mnReorder(int tag);
    void mnNewBitmapLayerClick();
    void mnNewBitmapRGBAClick();
    void mnNewTextLayerClick();
    void btnGraphicClick();
    void btnTextClick();
    void mnFileNewClick();
    void mnFileOpenClick();
    void SaveAs1Click();
    void mnFlattenClick();
    void BackgroundColorClick();
    void btnBackgroundImageClick();
    void btnSetFontClick();
    void txtCaptionChange();
    void btnDoneClick();
    void btnCancelClick();
    void Done1Click();
    // The Selection menu and the tool buttons that share its commands.
    void btnBringFrontClick();
    void btnSendBackClick();
    void btnLevelUpClick();
    void btnLevelDownClick();
    void mnScaledClick();
    void mnDeleteClick();
    void btnDeleteClick();
    void mnFlipHorzClick();
    void mnFlipVertClick();
    void mnRotate90Click();
    void mnRotate180Click();
    void mnRotate270Click();
    // The property panels.
    void ImageInterpolateClick();
    void LayerOpacityChange();
    void LayerInterpolateClick();
    void CroppedClick();
    void LayerRescaleClick();
    void LayerResetScaleClick();
    void chkTextLayerInterpolatedClick();
    // The view's mouse events; button is a TMouseButton, layer the one the press found.
    void ImgViewMouseDown(int button, unsigned shift, int x, int y, TCustomLayer* layer);
    void ImgViewMouseUp(int button, unsigned shift, int x, int y, TCustomLayer* layer);
    // Stage 0 of the view's paint: the checkerboard, always into the view's own buffer.
    void ImgViewPaintStage(TBitmap32& buffer, unsigned stage);

public slots:
    void reject() override; // Escape asks like the close box

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void buildMenus();
    QWidget* buildToolPanel();
    void selectionChanged();
    void acceptFace();
    void setScaleText(const QString& text);
    void run(const std::function<void()>& command);
    void selectTool();

    std::unique_ptr<TFaceDocument> Doc;
    QColor BaseColour = Qt::white;
    bool Shown = false;
};

} // namespace velmora
