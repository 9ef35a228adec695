#pragma once
// Opening a web address of the text in the user's browser. Only the
// schemes the editor recognises (http, https, ftp, news, gopher) are ever
// handed on, so a click can never start a program or open a local file.

#include <QDesktopServices>
#include <QUrl>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace corvina {

class EditorDialogs;

// The address as the browser gets it: cut at the first double quote or
// comma; nothing when it does not begin with one of the schemes (any
// letter case) or holds a byte that is not printable ASCII.
std::optional<std::string> BrowserAddress(std::string_view address);

// Opens `address` through the desktop (xdg-open); when no browser can be
// started the user is told "Web Browser is not available." through
// `dialogs`, and an address of another scheme is refused with a message.
// False when nothing was opened. `open` starts the browser (tests give
// one that fails).
bool OpenWebAddress(std::string_view address, EditorDialogs& dialogs,
                    const std::function<bool(const QUrl&)>& open = QDesktopServices::openUrl);

}  // namespace corvina
