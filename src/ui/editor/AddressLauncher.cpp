#include "ui/editor/AddressLauncher.h"

#include <QString>
#include <algorithm>
#include <array>

#include "editor/EditorDialogs.h"

namespace corvina {
namespace {

constexpr std::array<std::string_view, 5> kSchemes = {"http", "https", "ftp", "news", "gopher"};

bool IsBrowserScheme(std::string_view scheme) {
    return std::any_of(kSchemes.begin(), kSchemes.end(), [scheme](std::string_view known) {
        return std::equal(
            scheme.begin(), scheme.end(), known.begin(), known.end(),
            [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b; });
    });
}

}  // namespace

std::optional<std::string> BrowserAddress(std::string_view address) {
    address = address.substr(0, address.find_first_of("\","));
    const std::size_t colon = address.find(':');
    if (colon == std::string_view::npos || !IsBrowserScheme(address.substr(0, colon)) ||
        colon + 1 == address.size()) {
        return std::nullopt;
    }
    const bool printable =
        std::all_of(address.begin(), address.end(), [](char c) { return c > 0x20 && c < 0x7F; });
    if (!printable) {
        return std::nullopt;
    }
    return std::string(address);
}

bool OpenWebAddress(std::string_view address, EditorDialogs& dialogs,
                    const std::function<bool(const QUrl&)>& open) {
    const std::optional<std::string> checked = BrowserAddress(address);
    if (!checked) {
        dialogs.ShowError(
            "Only http, https, ftp, news and gopher addresses are opened in the web browser.");
        return false;
    }
    const QUrl url(QString::fromLatin1(checked->data(), static_cast<qsizetype>(checked->size())),
                   QUrl::StrictMode);
    // QUrl reads the scheme again: it must still be one of ours.
    const bool opened = url.isValid() && IsBrowserScheme(url.scheme().toStdString()) && open(url);
    if (!opened)
        dialogs.ShowError("Web Browser is not available.");
    return opened;
}

}  // namespace corvina
