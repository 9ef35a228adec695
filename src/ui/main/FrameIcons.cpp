#include "ui/main/FrameIcons.h"

#include <QFile>
#include <QPainter>
#include <QPixmap>

#include "platform/Paths.h"

namespace corvina {

namespace {

// The shipped icon, null when it is missing or cannot be drawn (no SVG
// support installed).
QIcon ShippedIcon(const char* file) {
    if (!file || !*file)
        return {};
    auto dir = DataDir();
    if (!dir)
        return {};
    QString path = QFile::decodeName(QByteArray::fromStdString((*dir / "icons" / file).string()));
    if (!QFile::exists(path))
        return {};
    QIcon icon(path);
    return icon.pixmap(16, 16).isNull() ? QIcon() : icon;
}

// A plain envelope in `color`, for a system without theme or shipped files.
QIcon DrawnEnvelope(const QColor& color) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1.5));
    painter.setBrush(color);
    painter.drawRect(QRectF(3, 8, 26, 17));
    painter.drawPolyline(QPolygonF({QPointF(3, 8), QPointF(16, 18), QPointF(29, 8)}));
    return QIcon(pixmap);
}

QIcon LoadTrayIcon(TrayPicture picture) {
    struct Entry {
        TrayPicture picture;
        const char* theme;
        const char* file;
        QColor drawn;
    };
    static const Entry kEntries[] = {
        {TrayPicture::kNormal, "corvina", "tray-normal.svg", QColor(240, 240, 240)},
        {TrayPicture::kNewMail1, "mail-unread", "tray-newmail1.svg", QColor(255, 210, 60)},
        {TrayPicture::kNewMail2, "mail-unread-new", "tray-newmail2.svg", QColor(255, 140, 0)},
        {TrayPicture::kConnection1, "network-transmit", "tray-connect1.svg", QColor(120, 180, 255)},
        {TrayPicture::kConnection2, "network-receive", "tray-connect2.svg", QColor(60, 120, 230)},
    };
    for (const Entry& entry : kEntries) {
        if (entry.picture != picture)
            continue;
        // The shipped file first: the states must look distinct, which the
        // theme's names do not promise.
        if (QIcon shipped = ShippedIcon(entry.file); !shipped.isNull())
            return shipped;
        QIcon themed = QIcon::fromTheme(QString::fromLatin1(entry.theme));
        return themed.isNull() ? DrawnEnvelope(entry.drawn) : themed;
    }
    return DrawnEnvelope(Qt::white);
}

}  // namespace

QIcon FrameIcon(const char* themeName, const char* fallback) {
    QIcon shipped = ShippedIcon(fallback);
    if (!themeName || !*themeName)
        return shipped;
    return QIcon::fromTheme(QString::fromLatin1(themeName), shipped);
}

QIcon TrayIconFor(TrayPicture picture) {
    return LoadTrayIcon(picture);
}

}  // namespace corvina
