#pragma once
// "New Image": the size (1..2000 each way) and background colour of a fresh
// base image. The editor reads UpDown1 and UpDown2's positions and Panel1's
// colour after an OK.

#include "faceeditor/UpDown.h"

#include <QAbstractSpinBox>
#include <QColor>
#include <QDialog>

#include <cstdint>
#include <functional>

class QFrame;
class QLineEdit;
class QLabel;
class QPushButton;

namespace velmora {

// The Qt face of a TUpDown: an edit with arrows that takes digits only.
class TUpDownBox : public QAbstractSpinBox {
    Q_OBJECT
public:
    TUpDownBox(TUpDown& model, QWidget* parent = nullptr);
    int Position() const { return M.Position; }
    TUpDown& model() { return M; }
    QLineEdit* edit() const { return lineEdit(); } // the buddy edit box

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;

protected:
    StepEnabled stepEnabled() const override;
    void focusOutEvent(QFocusEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void showPosition();
    TUpDown& M;
};

class TNewImageForm : public QDialog {
    Q_OBJECT
public:
    explicit TNewImageForm(QWidget* parent = nullptr);

    TUpDown Width{1, 2000, 640};
    TUpDown Height{1, 2000, 480};

    QLabel* Label1 = nullptr;
    TUpDownBox* UpDown1 = nullptr; // with its edit ImageWidth
    QLabel* Label3 = nullptr;
    QLabel* Label2 = nullptr;
    TUpDownBox* UpDown2 = nullptr; // with its edit ImageHeight
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QFrame* Panel1 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;

    // Panel1's colour as a window colour (0x00BBGGRR).
    std::int32_t Panel1Color() const;
    QColor panelColor() const { return Colour; }
    void setPanelColor(const QColor& c);

    // "Select": the colour dialog starts at the swatch's colour.
    void Button1Click();
    // Asks for a colour; an invalid colour means the user cancelled. Tests
    // replace it; the default is the full colour dialog.
    std::function<QColor(const QColor& initial, QWidget* parent)> ColorDialog1;

protected:
    void showEvent(QShowEvent* e) override;

private:
    QColor Colour = Qt::white;
};

} // namespace velmora
