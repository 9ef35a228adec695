#pragma once
// Text crosses into Qt here and nowhere else: bytes of the working code
// page (W) become a QString and back through CodePage. Never
// QString::fromLocal8Bit on bytes of W: the locale's codeset need not be W.

#include <QString>
#include <string>
#include <string_view>

namespace corvina {

class CodePage;

// Bytes of `codePage` (the working one unless given) as a QString.
QString ToQString(std::string_view text);
QString ToQString(std::string_view text, const CodePage& codePage);
// A QString as bytes of `codePage`; characters W cannot hold are replaced
// as CodePage::FromUtf8 replaces them.
std::string FromQString(const QString& text);
std::string FromQString(const QString& text, const CodePage& codePage);

}  // namespace corvina
