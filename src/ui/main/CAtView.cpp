#include "ui/main/CAtView.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QMimeDatabase>
#include <QStyle>

#include "message/MailMessage.h"
#include "message/mime/MessageOptions.h"
#include "message/mime/MimeTypeTable.h"
#include "store/MailFolder.h"
#include "store/MailStore.h"
#include "ui/bridge/QtText.h"
#include "ui/main/DesktopAttachmentHost.h"
#include "ui/main/MainContext.h"

namespace corvina {

namespace {

QString PathText(const std::filesystem::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

// The desktop's type of the file (by content and name): its icon, and the
// name the desktop shows for it.
QMimeType DesktopType(const QString& path) {
    static const QMimeDatabase database;
    return database.mimeTypeForFile(path);
}

QIcon FileIcon(const QMimeType& type, const QStyle& style) {
    return QIcon::fromTheme(
        type.iconName(),
        QIcon::fromTheme(type.genericIconName(), style.standardIcon(QStyle::SP_FileIcon)));
}

}  // namespace

CAtView::CAtView(MainContext& context, QWidget* parent)
    : QListWidget(parent),
      context_(context),
      desktop_(std::make_unique<DesktopAttachmentHost>(context)),
      host_(desktop_.get()) {
    setObjectName("AttachmentPane");
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(false);
    setSpacing(2);
    connect(this, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { OpenRow(row(item)); });
}

CAtView::~CAtView() = default;

void CAtView::SetHost(AttachmentHost* host) {
    host_ = host != nullptr ? host : desktop_.get();
}

void CAtView::ShowMessage(MailMessage* message) {
    message_ = message;
    clear();
    if (message == nullptr) {
        return;
    }
    const QLocale locale;
    for (AttachmentEntry& entry : message->attachments) {
        // A stored link names only its file: the type comes from the
        // extension, as the table says, so that the type's action holds.
        TypeAttachmentByFileName(entry, Types());
        const QString path = PathText(entry.path);
        const QFileInfo info(path);
        // A file name from mail is text of the working code page.
        const QString name = ToQString(entry.path.filename().string());
        const QString size = info.exists() ? locale.formattedDataSize(info.size()) : tr("missing");
        // The label names the type as the desktop does ("PNG image"); the
        // table's type, which decides the actions, stays in the tooltip.
        const QMimeType desktopType = DesktopType(path);
        QString typeText = desktopType.comment();
        if (typeText.isEmpty() || desktopType.isDefault())
            typeText = ToQString(entry.type) + "/" + ToQString(entry.subtype);
        auto* item =
            new QListWidgetItem(FileIcon(desktopType, *style()),
                                QStringLiteral("%1  (%2, %3)").arg(name, typeText, size), this);
        item->setToolTip(path + "\n" + ToQString(entry.type) + "/" + ToQString(entry.subtype));
    }
}

const AttachmentEntry* CAtView::EntryOf(int row) const {
    if (message_ == nullptr || row < 0 ||
        static_cast<std::size_t>(row) >= message_->attachments.size()) {
        return nullptr;
    }
    return &message_->attachments[static_cast<std::size_t>(row)];
}

const MimeTypeTable& CAtView::Types() const {
    return context_.app.mimeTypes ? *context_.app.mimeTypes : BuiltInMimeTypes();
}

AttachmentPaneState CAtView::PaneState() const {
    AttachmentPaneState state;
    state.attachSaveDir = context_.app.settings.attachSaveDir;
    return state;
}

void CAtView::KeepPaneState(const AttachmentPaneState& state) {
    context_.app.settings.attachSaveDir = state.attachSaveDir.string();
}

OpenOutcome CAtView::OpenRow(int row) {
    const AttachmentEntry* entry = EntryOf(row);
    if (entry == nullptr) {
        return OpenOutcome::Failed;
    }
    // A copy: handing an enclosed message to the folder may refill the
    // list, and the entry must not change under the call.
    const AttachmentEntry chosen = *entry;
    AttachmentPaneState state = PaneState();
    const OpenOutcome outcome = OpenAttachment(chosen, Types(), *host_, context_.prompt, state);
    KeepPaneState(state);
    return outcome;
}

bool CAtView::SaveRowAs(int row) {
    const AttachmentEntry* entry = EntryOf(row);
    if (entry == nullptr) {
        return false;
    }
    AttachmentPaneState state = PaneState();
    const bool saved = SaveAttachmentAs(*entry, context_.prompt, state);
    KeepPaneState(state);
    return saved;
}

bool CAtView::LaunchRowWith(int row) {
    const AttachmentEntry* entry = EntryOf(row);
    return entry != nullptr && LaunchAttachmentWith(*entry, *host_, context_.prompt);
}

OpenOutcome CAtView::OpenRowByDefaultAction(int row) {
    const AttachmentEntry* entry = EntryOf(row);
    return entry != nullptr ? OpenByDefaultAction(*entry, *host_, context_.prompt)
                            : OpenOutcome::Failed;
}

bool CAtView::ExploreRowFolder(int row) {
    const AttachmentEntry* entry = EntryOf(row);
    return entry != nullptr && ExploreAttachmentFolder(*entry, *host_);
}

bool CAtView::ReleaseSelected() {
    if (message_ == nullptr) {
        return false;
    }
    std::vector<std::size_t> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        rows.push_back(static_cast<std::size_t>(index.row()));
    }
    const std::filesystem::path attachDir =
        IncomingParseOptions(context_.app).AttachmentDirectory();
    if (!ReleaseAttachments(*message_, std::move(rows), attachDir, context_.prompt)) {
        return false;
    }
    // The stored message changed: its folder is written when it is left,
    // and the panes redraw from the store's notice.
    MailMessage& message = *message_;
    if (message.owner != nullptr) {
        message.owner->modified = true;
        context_.store.MessageChanged(
            *message.owner, StoredMessageRef(context_.tree.MailboxDir(), *message.owner, message));
    }
    ShowMessage(message_);
    return true;
}

void CAtView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
        ReleaseSelected();
        return;
    }
    QListWidget::keyPressEvent(event);
}

void CAtView::contextMenuEvent(QContextMenuEvent* event) {
    QListWidgetItem* item = itemAt(viewport()->mapFromGlobal(event->globalPos()));
    if (item == nullptr) {
        return;
    }
    if (!item->isSelected()) {
        setCurrentItem(item);
    }
    const int at = row(item);
    const AttachmentEntry* entry = EntryOf(at);
    if (entry == nullptr) {
        return;
    }
    QMenu menu(this);
    menu.addAction(tr("&Open"), this, [this, at] { OpenRow(at); });
    menu.addAction(tr("&Save As..."), this, [this, at] { SaveRowAs(at); });
    menu.addAction(tr("&Launch Application..."), this, [this, at] { LaunchRowWith(at); });
    menu.addAction(tr("&Default Action"), this, [this, at] { OpenRowByDefaultAction(at); });
    // The program the MIME type table names for this type, if any.
    const MimeTypeEntry* typeRow = Types().FindByType(entry->type, entry->subtype);
    if (typeRow != nullptr && !typeRow->application.empty()) {
        const std::filesystem::path program = typeRow->application;
        const std::filesystem::path file = entry->path;
        menu.addAction(tr("Open with %1").arg(PathText(program.filename())), this,
                       [this, program, file] { host_->RunProgram(program, file); });
    }
    menu.addAction(tr("&Explore the Folder..."), this, [this, at] { ExploreRowFolder(at); });
    menu.addSeparator();
    menu.addAction(tr("&Delete"), this, [this] { ReleaseSelected(); });
    menu.exec(event->globalPos());
}

}  // namespace corvina
