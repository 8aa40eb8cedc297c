#pragma once
// The tip-of-the-day window. The tip shown last is kept for the run in TipIndex
// and, with "Show Tips At Startup", in section "Tips" of the program INI file.

#include <QDialog>
#include <QStringList>

#include <cstdint>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace velmora {

// The tip last shown in this run; 0 at program start.
extern std::int32_t TipIndex;

// The thirteen tips, in order.
QStringList buildTipList();

class TfrmHint : public QDialog {
public:
    explicit TfrmHint(QWidget* parent = nullptr);

    QLabel* Image1 = nullptr;
    QPlainTextEdit* txtHint = nullptr;
    QCheckBox* cbStartup = nullptr;
    QPushButton* BitBtn1 = nullptr; // Previous Tip
    QPushButton* BitBtn2 = nullptr; // Next Tip
    QPushButton* Button1 = nullptr; // Close

    void FormActivate();
    void BitBtn1Click();
    void BitBtn2Click();
    void Button1Click();
    // Stores "Index" and "Startup"; runs whenever the window closes.
    void FormClose();

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showTip();

    QStringList TipList;
    bool Activated = false;
    bool Closed = false;
};

// Creates the tip window over parent, shows it modally and destroys it.
void showTipWindow(QWidget* parent);

} // namespace velmora
