#pragma once
// "New Bitmap Layer with Alpha Channel": a colour picture and a second picture
// whose grey levels become the new layer's alpha. The editor reads both
// previews' base images after an OK and builds the layer from them.

#include <QDialog>
#include <QString>

#include <functional>

class QLabel;
class QPushButton;
class QToolButton;
class QWidget;

namespace velmora {

class TImgView32;

class TRGBALoaderForm : public QDialog {
    Q_OBJECT
public:
    explicit TRGBALoaderForm(QWidget* parent = nullptr);

    QWidget* Panel1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* Button1 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    TImgView32* ImgRGB = nullptr;
    QLabel* Label3 = nullptr;
    QPushButton* Button2 = nullptr;
    QToolButton* SpeedButton3 = nullptr;
    QToolButton* SpeedButton4 = nullptr;
    TImgView32* ImgAlpha = nullptr;
    QLabel* Label4 = nullptr;
    QPushButton* Button5 = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* Button4 = nullptr;

    // Picks a picture file; empty when cancelled. Tests replace it; the
    // default is the picture open dialog with the registered formats.
    std::function<QString(QWidget* parent)> OpenPictureDialog;

    // A picture that cannot be read throws the reader's error and leaves the
    // preview's previous picture.
    void Button1Click();
    void Button2Click();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton4Click();
    void Button5Click();

protected:
    void showEvent(QShowEvent* e) override;
};

} // namespace velmora
