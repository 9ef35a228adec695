#include "ui/main/ItemIcons.h"

#include <QApplication>
#include <QFont>
#include <QHash>
#include <QPainter>
#include <QStyle>
#include <algorithm>
#include <functional>

namespace corvina {

namespace {

QIcon Themed(const char* name, QStyle::StandardPixmap fallback) {
    QIcon icon = QIcon::fromTheme(QString::fromLatin1(name));
    if (icon.isNull()) {
        icon = QApplication::style()->standardIcon(fallback);
    }
    return icon;
}

// The same picture with a dot in its lower right corner, for every size the
// icon offers, in both its normal and its selected form.
QIcon WithUnreadDot(const QIcon& base) {
    QIcon marked;
    QList<QSize> sizes = base.availableSizes();
    if (sizes.isEmpty()) {
        sizes = {QSize(16, 16), QSize(22, 22), QSize(32, 32)};
    }
    for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Selected}) {
        for (const QSize& size : sizes) {
            QPixmap pixmap = base.pixmap(size, mode);
            if (pixmap.isNull()) {
                continue;
            }
            QPainter painter(&pixmap);
            painter.setRenderHint(QPainter::Antialiasing);
            const int d = std::max(5, size.width() * 2 / 5);
            const QRect dot(size.width() - d, size.height() - d, d - 1, d - 1);
            painter.setPen(QPen(Qt::white, 1));
            painter.setBrush(QColor(0x1e, 0x66, 0xd0));
            painter.drawEllipse(dot);
            marked.addPixmap(pixmap, mode);
        }
    }
    return marked;
}

// A folder picture whose selected form is the open folder.
QIcon OpenWhenSelected(const QIcon& closed) {
    const QIcon open = Themed("folder-open", QStyle::SP_DirOpenIcon);
    QIcon icon;
    for (const QSize& size : {QSize(16, 16), QSize(22, 22), QSize(32, 32)}) {
        icon.addPixmap(closed.pixmap(size), QIcon::Normal);
        icon.addPixmap(open.pixmap(size), QIcon::Selected);
    }
    return icon;
}

QIcon Cached(int key, const std::function<QIcon()>& make) {
    static QHash<int, QIcon> cache;
    auto found = cache.find(key);
    if (found == cache.end()) {
        found = cache.insert(key, make());
    }
    return *found;
}

QIcon SpecialBase(SpecialFolder special) {
    switch (special) {
        case SpecialFolder::InBox:
            return Themed("mail-folder-inbox", QStyle::SP_DriveHDIcon);
        case SpecialFolder::Sent:
            return Themed("mail-folder-sent", QStyle::SP_DialogApplyButton);
        case SpecialFolder::Draft:
            return Themed("document-edit", QStyle::SP_FileDialogDetailedView);
        case SpecialFolder::Reminder:
            return Themed("appointment-soon", QStyle::SP_MessageBoxInformation);
        default:
            return Themed("mail-folder-outbox", QStyle::SP_ArrowRight);
    }
}

}  // namespace

QIcon FolderIconFor(FolderIcon icon, SpecialFolder special) {
    const int key = static_cast<int>(icon) * 16 + static_cast<int>(special);
    return Cached(key, [icon, special] {
        switch (icon) {
            case FolderIcon::AccountRoot:
                return Themed("user-home", QStyle::SP_ComputerIcon);
            case FolderIcon::CountAll:
                return SpecialBase(special);
            case FolderIcon::CountAllUnread:
                return WithUnreadDot(SpecialBase(special));
            case FolderIcon::Trash:
                return Themed("user-trash", QStyle::SP_TrashIcon);
            case FolderIcon::TrashUnread:
                return WithUnreadDot(Themed("user-trash-full", QStyle::SP_TrashIcon));
            case FolderIcon::Fixed:
                return Themed("mail-folder-inbox", QStyle::SP_DriveHDIcon);
            case FolderIcon::FixedUnread:
                return WithUnreadDot(Themed("mail-folder-inbox", QStyle::SP_DriveHDIcon));
            case FolderIcon::User:
                return OpenWhenSelected(Themed("folder", QStyle::SP_DirIcon));
            case FolderIcon::UserUnread:
                return WithUnreadDot(OpenWhenSelected(Themed("folder", QStyle::SP_DirIcon)));
            case FolderIcon::UserUnreadBelow:
                return OpenWhenSelected(Themed("folder-new", QStyle::SP_DirLinkIcon));
        }
        return QIcon();
    });
}

QIcon MessageIconFor(ItemPicture picture) {
    return Cached(1000 + static_cast<int>(picture), [picture] {
        switch (picture) {
            case ItemPicture::Folder:
                return Themed("folder", QStyle::SP_DirIcon);
            case ItemPicture::Viewed:
                return Themed("mail-read", QStyle::SP_ArrowRight);
            case ItemPicture::OwnMessage:
                return Themed("mail-send", QStyle::SP_FileIcon);
            case ItemPicture::Replied:
                return Themed("mail-replied", QStyle::SP_ArrowBack);
            case ItemPicture::Unread:
                return WithUnreadDot(Themed("mail-unread", QStyle::SP_FileIcon));
            case ItemPicture::Read:
                return Themed("mail-read", QStyle::SP_FileIcon);
            case ItemPicture::Error:
                return Themed("dialog-error", QStyle::SP_MessageBoxCritical);
        }
        return QIcon();
    });
}

QVariant BoldWhen(bool bold) {
    if (!bold) {
        return {};
    }
    QFont font;
    font.setBold(true);
    return font;
}

}  // namespace corvina
