#pragma once
// The About box: borderless, created once at start-up and only shown and
// hidden afterwards. A click on the picture or any plain text closes it; the
// mail address and the forum address open as links.

#include <QDialog>
#include <QPointer>

class QLabel;

namespace velmora {

class TAboutBox : public QDialog {
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    QLabel* Image1 = nullptr;
    QLabel* Label5 = nullptr; // support mail address
    QLabel* Label8 = nullptr; // forum address

    void Label5Click();
    void Label8Click();
    void Image1Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
};

// The About box of this run (made at start-up); null before that or once it is gone.
extern QPointer<TAboutBox> AboutBox;

} // namespace velmora
