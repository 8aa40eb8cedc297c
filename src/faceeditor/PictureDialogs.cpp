#include "faceeditor/PictureDialogs.h"

#include "pictures/Picture.h"

#include <QFileDialog>
#include <QStringList>

#include <algorithm>
#include <vector>

namespace velmora {

QString pictureDialogFilter()
{
    struct Entry {
        std::string ext, description;
    };
    std::vector<Entry> list;
    for (const TPictureFormat& f : pictureFormats().Entries()) {
        auto it = std::find_if(list.begin(), list.end(), [&](const Entry& e) { return e.ext == f.Extension; });
        if (it == list.end())
            list.push_back({f.Extension, f.Description});
        else
            it->description = f.Description;
    }
    QStringList all, each;
    for (const Entry& e : list) {
        const QString pattern = "*." + QString::fromStdString(e.ext);
        all << pattern;
        each << QString::fromStdString(e.description) + " (" + pattern + ")";
    }
    return "All (" + all.join(' ') + ");;" + each.join(";;");
}

QString runOpenPictureDialog(QWidget* parent, const QString& title)
{
    return QFileDialog::getOpenFileName(parent, title, QString(), pictureDialogFilter());
}

} // namespace velmora
