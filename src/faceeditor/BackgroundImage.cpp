#include "faceeditor/BackgroundImage.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QThread>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace velmora {

namespace {

constexpr int CellMargin = 2;
constexpr int TextMargin = 6;

TNumberFormat userNumberFormat()
{
    const QLocale loc;
    TNumberFormat f;
    f.DecimalPoint = loc.decimalPoint().toStdString();
    if (!(loc.numberOptions() & QLocale::OmitGroupSeparator)) f.GroupSeparator = loc.groupSeparator().toStdString();
    return f;
}

std::vector<std::string> defaultRoots()
{
    const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return TBackgroundImageModel::defaultRootPaths(QCoreApplication::applicationDirPath().toStdString(),
                                                   docs.toStdString(), QDir::homePath().toStdString());
}

// Enter on a folder opens or closes it instead of pressing "&Ok".
class TBrowserTree : public QTreeView {
public:
    using QTreeView::QTreeView;
    std::function<bool(const QModelIndex&)> IsFolder;

protected:
    void keyPressEvent(QKeyEvent* e) override
    {
        const QModelIndex cur = currentIndex();
        if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && cur.isValid() && IsFolder && IsFolder(cur)) {
            const QModelIndex first = cur.siblingAtColumn(0);
            setExpanded(first, !isExpanded(first));
            e->accept();
            return;
        }
        QTreeView::keyPressEvent(e);
    }
};

} // namespace

// The Qt face of the rows. Nodes live as long as the window, so an index's
// internal pointer is the node itself.
class TBackgroundTreeModel : public QAbstractItemModel {
public:
    TBackgroundTreeModel(TBackgroundImageModel& m, QObject* parent) : QAbstractItemModel(parent), M(m) {}

    std::function<void(TShellObjectData&)> OnListed;

    static TShellObjectData* node(const QModelIndex& i)
    {
        return i.isValid() ? static_cast<TShellObjectData*>(i.internalPointer()) : nullptr;
    }

    QModelIndex indexOf(TShellObjectData* n, int column = 0) const
    {
        return n ? createIndex(n->Row, column, n) : QModelIndex();
    }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override
    {
        const auto& rows = parent.isValid() ? node(parent)->Children : M.roots();
        if (row < 0 || row >= int(rows.size()) || column < 0 || column >= 3) return {};
        return createIndex(row, column, rows[row].get());
    }

    QModelIndex parent(const QModelIndex& child) const override
    {
        TShellObjectData* n = node(child);
        return n ? indexOf(n->Parent) : QModelIndex();
    }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        if (parent.column() > 0) return 0;
        return int(parent.isValid() ? node(parent)->Children.size() : M.roots().size());
    }

    int columnCount(const QModelIndex& = {}) const override { return 3; }

    bool hasChildren(const QModelIndex& parent = {}) const override
    {
        if (!parent.isValid()) return !M.roots().empty();
        if (parent.column() > 0) return false;
        const TShellObjectData* n = node(parent);
        return n->ChildrenListed ? !n->Children.empty() : n->CanExpand;
    }

    bool canFetchMore(const QModelIndex& parent) const override
    {
        const TShellObjectData* n = node(parent);
        return n && parent.column() == 0 && n->IsFolder() && !n->ChildrenListed;
    }

    void fetchMore(const QModelIndex& parent) override
    {
        TShellObjectData* n = node(parent);
        if (!n || n->ChildrenListed) return;
        {
            // The hourglass while the folder is searched, also when that fails.
            struct WaitPointer {
                WaitPointer() { QApplication::setOverrideCursor(Qt::WaitCursor); }
                ~WaitPointer() { QApplication::restoreOverrideCursor(); }
            } wait;
            auto rows = M.VDT1InitChildren(*n);
            if (rows.empty()) {
                M.adoptChildren(*n, {});
                emit dataChanged(indexOf(n, 0), indexOf(n, 2));
            } else {
                beginInsertRows(parent, 0, int(rows.size()) - 1);
                M.adoptChildren(*n, std::move(rows));
                endInsertRows();
            }
        }
        if (OnListed) OnListed(*n);
    }

    Qt::ItemFlags flags(const QModelIndex& i) const override
    {
        return i.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

    QVariant data(const QModelIndex& i, int role) const override
    {
        const TShellObjectData* n = node(i);
        if (!n) return {};
        switch (role) {
        case Qt::DisplayRole: return QString::fromStdString(M.cellText(*n, i.column()));
        case Qt::ToolTipRole: return i.column() == 0 ? QString::fromStdString(n->PathName) : QVariant();
        case Qt::DecorationRole: return i.column() == 0 ? QVariant(iconFor(*n)) : QVariant();
        case Qt::ForegroundRole:
            if (n->ShellFlags.Compressed) return QColor(Qt::blue);
            return {};
        case Qt::TextAlignmentRole: return int(Qt::AlignLeft | Qt::AlignVCenter);
        default: return {};
        }
    }

    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        if (o != Qt::Horizontal || role != Qt::DisplayRole) return {};
        static const char* const names[] = {"Image file name", "Thumbnail", "Properties"};
        return section >= 0 && section < 3 ? QString(names[section]) : QVariant();
    }

    void thumbnailArrived(TShellObjectData* n, const TThumbnailResult& r)
    {
        M.applyThumbnail(*n, r);
        emit dataChanged(indexOf(n, 0), indexOf(n, 2));
    }

    void sortTree()
    {
        emit layoutAboutToBeChanged();
        const QModelIndexList before = persistentIndexList();
        std::vector<std::pair<TShellObjectData*, int>> keep;
        for (const QModelIndex& i : before) keep.emplace_back(node(i), i.column());
        M.sortTree();
        QModelIndexList after;
        for (const auto& [n, col] : keep) after.push_back(indexOf(n, col));
        changePersistentIndexList(before, after);
        emit layoutChanged();
    }

    bool expandedRow(const TShellObjectData* n) const { return Expanded && n && Expanded(n); }
    std::function<bool(const TShellObjectData*)> Expanded;

private:
    // Links carry the little arrow of a shortcut in the icon's corner.
    static QIcon withLinkOverlay(const QIcon& base)
    {
        QPixmap pm = base.pixmap(16, 16);
        if (pm.isNull()) return base;
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF box(0.5, 8.5, 7, 7);
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(Qt::white);
        p.drawRect(box);
        p.drawLine(QPointF(2.5, 13.5), QPointF(5.5, 10.5));
        p.drawLine(QPointF(3.5, 10.5), QPointF(5.5, 10.5));
        p.drawLine(QPointF(5.5, 10.5), QPointF(5.5, 12.5));
        return QIcon(pm);
    }

    QIcon iconFor(const TShellObjectData& n) const
    {
        if (!n.ShellFlags.Link) return plainIconFor(n);
        const QString key = (n.IsFolder() ? (expandedRow(&n) ? "/open" : "/folder")
                                          : QFileInfo(QString::fromStdString(n.PathName)).suffix().toLower()) +
            "/link";
        auto it = ByExtension.find(key);
        if (it == ByExtension.end()) it = ByExtension.insert(key, withLinkOverlay(plainIconFor(n)));
        return *it;
    }

    QIcon plainIconFor(const TShellObjectData& n) const
    {
        if (n.IsFolder()) {
            if (expandedRow(&n)) {
                if (OpenFolder.isNull()) OpenFolder = QApplication::style()->standardIcon(QStyle::SP_DirOpenIcon);
                return OpenFolder;
            }
            if (Folder.isNull()) Folder = Icons.icon(QFileIconProvider::Folder);
            return Folder;
        }
        // Looking an icon up by file type is slow; one per extension is enough.
        const QString ext = QFileInfo(QString::fromStdString(n.PathName)).suffix().toLower();
        auto it = ByExtension.find(ext);
        if (it == ByExtension.end())
            it = ByExtension.insert(ext, Icons.icon(QFileInfo(QString::fromStdString(n.PathName))));
        return *it;
    }

    TBackgroundImageModel& M;
    QFileIconProvider Icons;
    mutable QIcon Folder, OpenFolder;
    mutable QHash<QString, QIcon> ByExtension;
};

namespace {

// Thumbnails are plain copies into their cell; rows grow to hold them.
class TThumbnailDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (index.column() != 1) {
            QStyledItemDelegate::paint(p, option, index);
            return;
        }
        QStyledItemDelegate::paint(p, option, index); // selection background, no text
        const TShellObjectData* n = TBackgroundTreeModel::node(index);
        if (!n || !n->Thumbnail) return;
        const TThumbnail& t = *n->Thumbnail;
        const QImage img(t.Pixels.data(), t.Width, t.Height, t.Width * 4, QImage::Format_RGB32);
        const int x = option.rect.left() + (option.rect.width() - t.Width - CellMargin) / 2;
        p->drawImage(QPoint(x, option.rect.top() + 2), img);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        const TShellObjectData* n = TBackgroundTreeModel::node(index);
        if (!n) return s;
        if (index.column() == 1 && n->Thumbnail)
            s.setWidth(n->Thumbnail->Width + 2 * CellMargin);
        else
            s.setWidth(s.width() + 2 * TextMargin);
        s.setHeight(std::max(s.height(), n->RowHeight));
        return s;
    }
};

} // namespace

TfrmBackgroundImage::TfrmBackgroundImage(QWidget* parent, std::vector<std::string> rootPaths) : QDialog(parent)
{
    setWindowTitle("Select Background Image");
    setObjectName("frmBackgroundImage");
    // The small dialog font keeps a whole properties line inside its column.
    QFont small = font();
    small.setPointSize(8);
    setFont(small);
    if (rootPaths.empty()) rootPaths = defaultRoots();
    Model = std::make_unique<TBackgroundImageModel>(std::move(rootPaths), 2, userNumberFormat());
    // Both cores read pictures; the window's own thread only copies results.
    Pool.setMaxThreadCount(std::max(1, QThread::idealThreadCount()));

    auto* tree = new TBrowserTree(this);
    VDT1 = tree;
    VDT1->setObjectName("VDT1");
    Tree = new TBackgroundTreeModel(*Model, this);
    Tree->Expanded = [this](const TShellObjectData* n) {
        return VDT1->isExpanded(Tree->indexOf(const_cast<TShellObjectData*>(n)));
    };
    Tree->OnListed = [this](TShellObjectData& folder) { queueThumbnails(folder); };
    tree->IsFolder = [](const QModelIndex& i) {
        const TShellObjectData* n = TBackgroundTreeModel::node(i);
        return n && n->IsFolder();
    };
    VDT1->setModel(Tree);
    VDT1->setItemDelegate(new TThumbnailDelegate(VDT1));
    VDT1->setUniformRowHeights(false);
    VDT1->setIndentation(20);
    VDT1->setIconSize(QSize(16, 16));
    VDT1->setSelectionBehavior(QAbstractItemView::SelectRows);
    VDT1->setSelectionMode(QAbstractItemView::SingleSelection);
    VDT1->setAllColumnsShowFocus(true);
    VDT1->setExpandsOnDoubleClick(true);
    VDT1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    VDT1->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    VDT1->setRootIsDecorated(false);
    // No expand buttons: folders open by double-click or the keyboard.
    VDT1->setStyleSheet("QTreeView::branch { image: none; border-image: none; }");
    // The selection disappears while the list has no focus.
    QPalette pal = VDT1->palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Base));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, pal.color(QPalette::Active, QPalette::Text));
    VDT1->setPalette(pal);

    QHeaderView* header = VDT1->header();
    header->setMinimumHeight(22);
    header->setSectionsClickable(true);
    header->setSectionsMovable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    header->setStretchLastSection(false);
    header->resizeSection(0, 250);
    header->resizeSection(1, 200);
    header->resizeSection(2, 240);
    VDT1->setSortingEnabled(false);
    connect(header, &QHeaderView::sectionClicked, this, [this](int logical) { VDT1HeaderClick(logical); });
    connect(VDT1, &QTreeView::doubleClicked, this, [this](const QModelIndex& i) { VDT1DblClick(i); });
    // Icons switch between open and closed folders.
    connect(VDT1, &QTreeView::expanded, this, [this](const QModelIndex& i) { emit Tree->dataChanged(i, i); });
    connect(VDT1, &QTreeView::collapsed, this, [this](const QModelIndex& i) { emit Tree->dataChanged(i, i); });

    Label29 = new QLabel(this);
    Label29->setObjectName("Label29");
    Label29->setText("Where can I get more backgrounds?");
    Label29->setStyleSheet("QLabel { color: blue; text-decoration: underline; }");
    Label29->setCursor(Qt::PointingHandCursor);
    Label29->installEventFilter(this);

    btnOk = new QPushButton("&Ok", this);
    btnOk->setObjectName("btnOk");
    btnOk->setDefault(true);
    btnCancel = new QPushButton("&Cancel", this);
    btnCancel->setObjectName("btnCancel");
    connect(btnOk, &QPushButton::clicked, this, [this] { btnOkClick(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(Label29);
    bottom->addStretch(1);
    bottom->addWidget(btnOk);
    bottom->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 6);
    layout->addWidget(VDT1, 1);
    bottom->setContentsMargins(8, 0, 8, 0);
    layout->addLayout(bottom);
    resize(700, 575);
    if (parent) move(parent->geometry().center() - rect().center());
}

TfrmBackgroundImage::~TfrmBackgroundImage()
{
    // Readings not started are dropped; running ones finish before the rows go.
    Pool.clear();
    Pool.waitForDone();
    if (Pending > 0) unsetCursor();
}

QString TfrmBackgroundImage::MoreBackgroundsAddress()
{
    return "https://velmora.example/backgrounds";
}

void TfrmBackgroundImage::queueThumbnails(TShellObjectData& folder)
{
    const int size = Model->ThumbnailSize;
    for (auto& child : folder.Children) {
        TShellObjectData* n = child.get();
        if (n->IsFolder() || n->ThumbnailRequested) continue;
        n->ThumbnailRequested = true;
        if (Pending++ == 0) setCursor(Qt::BusyCursor);
        const std::string path = n->PathName;
        QPointer<TfrmBackgroundImage> self(this);
        Pool.start([self, n, path, size] {
            TThumbnailResult r = readThumbnail(path, size);
            // The window waits for running readings before it goes, and
            // posted calls die with it, so `self` outlives this call.
            QMetaObject::invokeMethod(
                self.data(),
                [self, n, r = std::move(r)] {
                    if (self) self->thumbnailArrived(n, r);
                },
                Qt::QueuedConnection);
        });
    }
}

void TfrmBackgroundImage::thumbnailArrived(TShellObjectData* node, const TThumbnailResult& result)
{
    Tree->thumbnailArrived(node, result);
    if (--Pending == 0) {
        unsetCursor();
        emit thumbnailsDone();
    }
}

void TfrmBackgroundImage::expandRow(const QModelIndex& index)
{
    const QModelIndex first = index.siblingAtColumn(0);
    if (Tree->canFetchMore(first)) Tree->fetchMore(first);
    VDT1->expand(first);
}

QModelIndex TfrmBackgroundImage::indexOfPath(const QString& path) const
{
    const std::string p = path.toStdString();
    std::vector<TShellObjectData*> stack;
    for (auto& r : Model->roots()) stack.push_back(r.get());
    while (!stack.empty()) {
        TShellObjectData* n = stack.back();
        stack.pop_back();
        if (n->PathName == p) return Tree->indexOf(n);
        for (auto& c : n->Children) stack.push_back(c.get());
    }
    return {};
}

void TfrmBackgroundImage::VDT1DblClick(const QModelIndex& index)
{
    // Folders are opened and closed by the tree itself.
    if (Model->VDT1DblClick(TBackgroundTreeModel::node(index))) accept();
}

void TfrmBackgroundImage::VDT1HeaderClick(int column)
{
    if (Model->VDT1HeaderClick(column)) Tree->sortTree();
    updateSortIndicator();
}

void TfrmBackgroundImage::updateSortIndicator()
{
    VDT1->header()->setSortIndicator(Model->SortColumn,
                                     Model->SortDescending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void TfrmBackgroundImage::btnOkClick()
{
    Model->btnOkClick(TBackgroundTreeModel::node(VDT1->currentIndex()));
    accept();
}

void TfrmBackgroundImage::btnCancelClick()
{
    Model->btnCancelClick();
    reject();
}

void TfrmBackgroundImage::Label29Click()
{
    QDesktopServices::openUrl(QUrl(MoreBackgroundsAddress()));
}

bool TfrmBackgroundImage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Label29 && event->type() == QEvent::MouseButtonRelease) {
        Label29Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace velmora
