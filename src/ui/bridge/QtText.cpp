#include "ui/bridge/QtText.h"

#include "common/CodePage.h"

namespace corvina {

QString ToQString(std::string_view text) { return ToQString(text, CodePage::Working()); }

QString ToQString(std::string_view text, const CodePage& codePage) {
    if (codePage.IsUtf8())
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const std::string utf8 = codePage.ToUtf8(text);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string FromQString(const QString& text) { return FromQString(text, CodePage::Working()); }

std::string FromQString(const QString& text, const CodePage& codePage) {
    const QByteArray utf8 = text.toUtf8();
    const std::string_view bytes(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    if (codePage.IsUtf8())
        return std::string(bytes);
    return codePage.FromUtf8(bytes);
}

}  // namespace corvina
