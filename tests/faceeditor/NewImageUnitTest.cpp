// "New Image": the up-down boxes that keep their last valid value and the
// colour swatch.

#include "faceeditor/NewImageUnit.h"

#include "FaceEditorTestSupport.h"

#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace velmora;

namespace {

void typeInto(QWidget* w, const QString& text)
{
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
        QApplication::sendEvent(w, &release);
    }
}

} // namespace

TEST(UpDown, TypedTextIsTakenOverOnlyWhenValidAndInRange)
{
    TUpDown u(1, 2000, 640);
    EXPECT_EQ(u.BuddyText, "640");
    // Typed key by key over the selected text: 2, 25, 250 are taken, 2500 is not.
    for (const char* t : {"2", "25", "250", "2500"}) u.buddyTextChanged(t);
    EXPECT_EQ(u.Position, 250);
    EXPECT_EQ(u.BuddyText, "2500");
    u.editDone();
    EXPECT_EQ(u.BuddyText, "250");

    TUpDown pasted(1, 2000, 640);
    for (const char* bad : {"2500", "0", "", "-5", "12a", "1.5", "99999999999"}) {
        pasted.buddyTextChanged(bad);
        EXPECT_EQ(pasted.Position, 640) << bad;
    }
    pasted.buddyTextChanged(" 2000 ");
    EXPECT_EQ(pasted.Position, 2000);
    pasted.buddyTextChanged("1");
    EXPECT_EQ(pasted.Position, 1);
}

TEST(UpDown, StepsStopAtTheEndsWithoutWrapping)
{
    TUpDown u(1, 2000, 1999);
    u.step(1);
    u.step(1);
    EXPECT_EQ(u.Position, 2000);
    EXPECT_EQ(u.BuddyText, "2000");
    u.step(-5000);
    EXPECT_EQ(u.Position, 1);
    u.buddyTextChanged("3000");
    u.step(1); // from the last valid position, not from the text
    EXPECT_EQ(u.Position, 2);
    EXPECT_EQ(u.BuddyText, "2");

    TUpDown w(1, 10, 10);
    w.Wrap = true;
    w.step(1);
    EXPECT_EQ(w.Position, 1);
    w.step(-2);
    EXPECT_EQ(w.Position, 9);
}

class NewImageForm : public ::testing::Test {
protected:
    void SetUp() override { velmora::test::dialogTestApp(); }
};

TEST_F(NewImageForm, StartsAt640By480WhiteWithItsTexts)
{
    TNewImageForm f;
    EXPECT_EQ(f.windowTitle(), "New Image");
    EXPECT_EQ(f.Label1->text(), "Width:");
    EXPECT_EQ(f.Label2->text(), "Height:");
    EXPECT_EQ(f.Label3->text(), "pixels");
    EXPECT_EQ(f.Label4->text(), "pixels");
    EXPECT_EQ(f.Label5->text(), "Background Color:");
    EXPECT_EQ(f.Button1->text(), "Select");
    EXPECT_EQ(f.Button2->text(), "OK");
    EXPECT_EQ(f.Button3->text(), "Cancel");
    EXPECT_TRUE(f.Button2->isDefault());
    EXPECT_FALSE(f.Button1->focusPolicy() & Qt::TabFocus) << "Tab skips Select";
    EXPECT_EQ(f.UpDown1->Position(), 640);
    EXPECT_EQ(f.UpDown2->Position(), 480);
    EXPECT_EQ(f.UpDown1->text(), "640");
    EXPECT_EQ(f.UpDown2->text(), "480");
    EXPECT_EQ(f.Panel1Color(), 0xFFFFFF);
    EXPECT_GE(f.width(), 250);
    EXPECT_GE(f.height(), 194);
    EXPECT_EQ(f.minimumSize(), f.maximumSize()) << "fixed dialog border";
    f.show();
    velmora::test::saveScreenshot(f, "new-image.png");
}

TEST_F(NewImageForm, Typing2500KeepsTheLastValidWidth)
{
    TNewImageForm f;
    f.show();
    f.UpDown1->setFocus();
    f.UpDown1->selectAll();
    typeInto(f.UpDown1, "2500");
    EXPECT_EQ(f.UpDown1->text(), "2500") << "the edit shows what was typed";
    EXPECT_EQ(f.UpDown1->Position(), 250);
    test::pressKey(f.UpDown1, Qt::Key_Return);
    EXPECT_EQ(f.UpDown1->text(), "250");

    TNewImageForm g;
    g.show();
    g.UpDown1->edit()->setText("2500"); // pasted at once
    EXPECT_EQ(g.UpDown1->Position(), 640);
    g.UpDown2->setFocus(); // leaving the box shows the position again
    QCoreApplication::processEvents();
    g.UpDown1->clearFocus();
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(g.UpDown1, &out);
    EXPECT_EQ(g.UpDown1->text(), "640");

    // Letters never get in; the arrows move from the last valid position.
    g.UpDown2->selectAll();
    typeInto(g.UpDown2, "x");
    EXPECT_EQ(g.UpDown2->text(), "480");
    g.UpDown2->stepBy(1);
    EXPECT_EQ(g.UpDown2->Position(), 481);
    EXPECT_EQ(g.UpDown2->text(), "481");
    g.UpDown2->stepBy(5000);
    EXPECT_EQ(g.UpDown2->Position(), 2000);
}

TEST_F(NewImageForm, SelectStartsAtTheSwatchAndTakesOnlyAConfirmedColour)
{
    TNewImageForm f;
    QColor seen;
    f.ColorDialog1 = [&](const QColor& initial, QWidget*) {
        seen = initial;
        return QColor(255, 0, 0);
    };
    f.Button1->click();
    EXPECT_EQ(seen, QColor(Qt::white));
    EXPECT_EQ(f.Panel1Color(), 0x0000FF) << "window colours hold red in the low byte";
    EXPECT_EQ(f.Panel1->palette().color(QPalette::Window), QColor(255, 0, 0));

    f.ColorDialog1 = [&](const QColor& initial, QWidget*) {
        seen = initial;
        return QColor(); // cancelled
    };
    f.Button1Click();
    EXPECT_EQ(seen, QColor(255, 0, 0));
    EXPECT_EQ(f.Panel1Color(), 0x0000FF);

    f.ColorDialog1 = [](const QColor&, QWidget*) { return QColor(0x12, 0x34, 0x56); };
    f.Button1Click();
    EXPECT_EQ(f.Panel1Color(), 0x563412);
}

TEST_F(NewImageForm, OkAndCancelCloseWithTheirResults)
{
    TNewImageForm f;
    f.show();
    f.Button2->click();
    EXPECT_EQ(f.result(), QDialog::Accepted);
    TNewImageForm g;
    g.show();
    g.Button3->click();
    EXPECT_EQ(g.result(), QDialog::Rejected);
}
