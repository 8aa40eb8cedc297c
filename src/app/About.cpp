#include "app/About.h"

#include "app/Artwork.h"
#include "app/Help.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>

namespace velmora {

QPointer<TAboutBox> AboutBox;

namespace {

QLabel* text(QWidget* parent, const QString& caption, int x, int y, bool bold)
{
    auto* l = new QLabel(caption, parent);
    QFont f = l->font();
    f.setBold(bold);
    l->setFont(f);
    l->setAttribute(Qt::WA_TranslucentBackground);
    l->adjustSize();
    l->move(x, y);
    return l;
}

QLabel* link(QWidget* parent, const QString& caption, int x, int y)
{
    QLabel* l = text(parent, caption, x, y, false);
    QFont f = l->font();
    f.setUnderline(true);
    l->setFont(f);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, Qt::blue);
    l->setPalette(pal);
    l->setCursor(Qt::PointingHandCursor);
    l->adjustSize();
    return l;
}

} // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setModal(true);
    setFixedSize(kAboutPictureWidth, kAboutPictureHeight);
    QFont f = font();
    f.setPointSize(8);
    setFont(f);

    // Panel1: white with a 2-pixel bevel; the picture covers it.
    auto* panel = new QFrame(this);
    panel->setGeometry(rect());
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    panel->setLineWidth(2);
    panel->setAutoFillBackground(true);
    QPalette white = panel->palette();
    white.setColor(QPalette::Window, Qt::white);
    panel->setPalette(white);

    Image1 = new QLabel(panel);
    Image1->setGeometry(0, 0, kAboutPictureWidth, kAboutPictureHeight);
    Image1->setPixmap(QPixmap::fromImage(aboutPicture()));

    const int x = 176;
    QLabel* labels[] = {
        text(panel, QStringLiteral("Velmora 2.1"), x, 28, true),
        text(panel, QStringLiteral("Build 012006-24"), x, 46, false),
        text(panel, QStringLiteral("Support"), x, 78, true),
        Label5 = link(panel, QString::fromLatin1(kSupportMailAddress), x, 95),
        text(panel, QString::fromLatin1(kSupportTelephone), x, 111, false),
        text(panel, QStringLiteral("Support Forum"), x, 140, true),
        Label8 = link(panel, QString::fromLatin1(kForumAddress), x, 157),
    };
    Image1->installEventFilter(this);
    for (QLabel* l : labels) l->installEventFilter(this);
}

void TAboutBox::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen()) {
        // Centred on the screen.
        const QRect avail = s->availableGeometry();
        const QSize own = frameGeometry().size();
        move(avail.x() + (avail.width() - own.width()) / 2, avail.y() + (avail.height() - own.height()) / 2);
    }
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == Label5)
            Label5Click();
        else if (watched == Label8)
            Label8Click();
        else
            Image1Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TAboutBox::Label5Click()
{
    openSupportMail();
}

void TAboutBox::Label8Click()
{
    openSupportForum();
}

void TAboutBox::Image1Click()
{
    hide();
    done(QDialog::Accepted);
}

} // namespace velmora
