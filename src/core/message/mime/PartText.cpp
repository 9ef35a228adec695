// The rules shared by the parser and its callers: which parts are shown as
// text and how shown text reaches the working code page.

#include "common/Bytes.h"
#include "common/CodePage.h"
#include "message/JapaneseCode.h"
#include "message/mime/MessageParser.h"
#include "message/mime/MimeTypeTable.h"

namespace corvina {

bool IsShownTextType(std::string_view type, std::string_view subtype, const MimeTypeTable& types) {
    if (types.FindByType(type, subtype) != nullptr) {
        return EqualNoCase(type, "text") && EqualNoCase(subtype, "plain");
    }
    return EqualNoCase(type, "text") || EqualNoCase(type, "message");
}

std::string ShownTextToWorking(std::string_view text, std::string_view charset,
                               const CodePage& cp) {
    if (cp.IsDbcs()) {
        if (EqualNoCase(charset, "utf-8") || EqualNoCase(charset, "utf8") ||
            EqualNoCase(charset, "euc-jp") || EqualNoCase(charset, "x-euc-jp")) {
            return cp.FromCharset(charset, text);
        }
        return text.find('\x1b') == std::string_view::npos ? std::string(text) : JisToSjis(text);
    }
    if (charset.empty() || EqualNoCase(charset, "us-ascii")) {
        if (text.find("\x1b$") != std::string_view::npos) {
            return JisToWorking(text, cp);
        }
        return std::string(text);
    }
    if (cp.IsCharsetOfW(charset)) {
        return std::string(text);
    }
    return cp.FromCharset(charset, text);
}

}  // namespace corvina
