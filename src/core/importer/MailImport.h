#pragma once
// Copying a foreign mailbox into the client's "Import.mbx": the line by
// line conversion, the gathering of single-message files into one work
// file, and the whole import run with its result text. No MIME decoding
// happens here; the client decodes when the messages are moved on.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace corvina {

class CodePage;
class ConfigStore;

// Longest line handed to the conversion; a longer one comes in pieces.
// The same limit as a stored body line, so no stored line is split.
inline constexpr int kImportLineBytes = 65535;

inline constexpr std::string_view kImportRefusalText = "Exit Marlo! at first.";
inline constexpr std::string_view kImportNoInputText = "Specify name of the input file.";

struct ConversionOptions {
    std::string separator;  // prefix of a separator line; empty matches nothing
    bool dropSeparator = true;
    // 932: lines are converted from ISO-2022-JP to Shift_JIS; any other
    // code page copies bytes. Null: the working code page.
    const CodePage* codePage = nullptr;
};

// Appends the messages of `input` to `output` (created when missing) in the
// mailbox format: message lines, "." terminators, "." lines stuffed. The
// store's own header lines never reach the output (message/StoreLines.h).
// `count` is set to the number of messages written. False when either file
// cannot be opened, or when writing failed: the output is then cut back to
// its old length, so a failed import leaves the mailbox as it was.
bool ConvertToMailbox(const std::filesystem::path& input, const std::filesystem::path& output,
                      const ConversionOptions& options, int& count);

// Collects the single-message files next to `chosen` into `workFile`, each
// followed by a line ".": every "*.eml" (kEmlFiles) or every numbered file
// other than `chosen` (kNumberedFiles), in name or number order. False
// when no file matched or the work file could not be written (it is then
// removed).
bool GatherMessageFiles(int type, const std::filesystem::path& chosen,
                        const std::filesystem::path& workFile);

struct ImportRequest {
    int type = 1;  // 0..7, see ImportTypeAt
    std::filesystem::path input;
    // Type 0 only: the separator and the drop choice of the file-format
    // dialog; other types use their own.
    std::string separator;
    bool dropSeparator = true;
    std::filesystem::path output;         // the Import.mbx
    std::filesystem::path tempDirectory;  // where the work file goes
    const CodePage* codePage = nullptr;   // null: the working code page
};

struct ImportOutcome {
    enum class Status {
        kImported,        // `count` messages were appended
        kNoInputName,     // the input name was empty
        kUnknownType,     // type outside 0..7
        kNothingMatched,  // no single-message file was found
        kFailed,          // input or output could not be opened or written
    };
    Status status = Status::kFailed;
    int count = 0;
};

// One import: gathers the input when the type asks for it, converts it,
// and removes the work file in every case.
ImportOutcome RunImport(const ImportRequest& request);

// "%dItems are imported into the 'Import' folder..." for the counter.
std::string ImportResultText(int count);

// "<HomeDir>/User<DefUser>/Import.mbx" from the client's settings; nullopt
// when no home directory is set (the client has never been started).
std::optional<std::filesystem::path> ImportMailboxPath(const ConfigStore& config);

}  // namespace corvina
