#pragma once
// An enclosed message (a message/rfc822 attachment file) as text that the
// main window parses and adds to a folder.

#include <filesystem>
#include <optional>
#include <string>

namespace corvina {

// The text of a message/rfc822 file as the main window's hand-over takes
// it: line ends made LF, the store's own header lines left out, lines
// starting with "." stuffed, ".\n" appended.
// nullopt when the file cannot be read.
std::optional<std::string> EnclosedMessageText(const std::filesystem::path& file);

}  // namespace corvina
