#pragma once
// The parameters of a start of the client: "/A" or "-a" (any case)
// introduces a mail address, in the same parameter or the next one; so does
// a bare "mailto:" URL (as the desktop hands it over); every other
// parameter that is not a flag names a file to attach. Also the
// one-line form in which a list of files is handed to a running client.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvina {

struct CommandLine {
    std::optional<std::string> address;  // set only when non-empty
    std::vector<std::string> files;      // in the order given

    bool HasAddress() const { return address.has_value(); }
    bool HasFiles() const { return !files.empty(); }
};

// Answers whether a parameter names something on disk; a parameter starting
// with "/" that does is a file, not a flag.
using PathExists = std::function<bool(const std::string&)>;

// args excludes the program name. With no pathExists the file system is
// asked.
CommandLine ParseCommandLine(const std::vector<std::string>& args, PathExists pathExists = {});

// Relative file names made absolute against `base`: a running client, which
// gets them handed over, works in its own current directory.
void MakeFilesAbsolute(CommandLine& commandLine, const std::filesystem::path& base);

// The address as a parameter gives it: trimmed, a leading "mailto:" (any
// case) removed, and cut before any "?" so that a mailto query (which could
// name an attachment) is never taken over.
std::string CleanAddress(std::string_view text);

// Files as one line: blank-separated, a name holding a blank in double
// quotes. SplitFileList reads it back (and any line in which a token that
// starts with a double quote runs to the next one).
std::string JoinFileList(const std::vector<std::string>& files);
std::vector<std::string> SplitFileList(std::string_view line);

}  // namespace corvina
