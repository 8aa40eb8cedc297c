#pragma once
// "Select Background Image": a tree of folders with a thumbnail and a line of
// properties per picture, over TBackgroundImageModel. Folders are listed when
// first opened; thumbnails are read on worker threads and arrive one by one,
// so a folder of large pictures shows its rows at once and never blocks input.

#include "faceeditor/BackgroundImageModel.h"

#include <QDialog>
#include <QString>
#include <QThreadPool>

#include <memory>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QTreeView;
class QModelIndex;

namespace velmora {

class TBackgroundTreeModel;

class TfrmBackgroundImage : public QDialog {
    Q_OBJECT
public:
    // Without roots the window shows the program's "Templates" folder, the
    // documents folder, the home folder and "/".
    explicit TfrmBackgroundImage(QWidget* parent = nullptr, std::vector<std::string> rootPaths = {});
    ~TfrmBackgroundImage() override;

    bool NoChoice() const { return Model->NoChoice; }
    QString ChosenFile() const { return QString::fromStdString(Model->ChosenFile); }
    static QString MoreBackgroundsAddress();

    TBackgroundImageModel& model() { return *Model; }
    QTreeView* VDT1 = nullptr;
    QLabel* Label29 = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

    // Thumbnails still being read (the pointer is busy while any are).
    int pendingThumbnails() const { return Pending; }
    // Opens a row as the keyboard or a double-click on a folder would.
    void expandRow(const QModelIndex& index);
    QModelIndex indexOfPath(const QString& path) const;

    void VDT1DblClick(const QModelIndex& index);
    void VDT1HeaderClick(int column);
    void btnOkClick();
    void btnCancelClick();
    void Label29Click();

signals:
    // Every thumbnail requested so far has arrived (or failed).
    void thumbnailsDone();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void queueThumbnails(TShellObjectData& folder);
    void thumbnailArrived(TShellObjectData* node, const TThumbnailResult& result);
    void updateSortIndicator();

    std::unique_ptr<TBackgroundImageModel> Model;
    TBackgroundTreeModel* Tree = nullptr;
    QThreadPool Pool;
    int Pending = 0;
};

} // namespace velmora
