#include "importer/MailImport.h"

#include <algorithm>
#include <cstdio>
#include <system_error>
#include <vector>

#include "app/ProfileSelection.h"
#include "common/BufferedFile.h"
#include "common/CodePage.h"
#include "importer/ImportType.h"
#include "message/JapaneseCode.h"
#include "message/StoreLines.h"
#include "platform/ConfigStore.h"
#include "store/FolderStat.h"
#include "store/MailFolder.h"

namespace corvina {

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        unsigned char a = static_cast<unsigned char>(text[i]);
        unsigned char b = static_cast<unsigned char>(prefix[i]);
        if (a >= 'A' && a <= 'Z')
            a = static_cast<unsigned char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z')
            b = static_cast<unsigned char>(b - 'A' + 'a');
        if (a != b) {
            return false;
        }
    }
    return true;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && StartsWithNoCase(a, b);
}

// Leading decimal digits as a number (0 when there are none), as a
// numbered message file's name is read.
long NumberOfName(std::string_view name) {
    long value = 0;
    for (char c : name) {
        if (c < '0' || c > '9') {
            break;
        }
        value = value * 10 + (c - '0');
        if (value > 1000000000L) {
            return value;
        }
    }
    return value;
}

// Writes and remembers whether any write failed.
class LineWriter {
public:
    explicit LineWriter(BufferedFile& file) : file_(file) {}
    void Put(std::string_view text) {
        if (file_.Write(text) == BufferedFile::kWriteFailed) {
            failed_ = true;
        }
    }
    bool Failed() const { return failed_ || file_.Failed(); }

private:
    BufferedFile& file_;
    bool failed_ = false;
};

// The client reads a message's header up to its first empty line, so a
// message that never had one (an empty message, or text without a blank
// line) gets one before its terminator; otherwise the terminator and the
// next message would be read as part of this header.
void EndMessage(LineWriter& writer, bool headerOpen) {
    if (headerOpen) {
        writer.Put("\n");
    }
    writer.Put(".\n");
}

}  // namespace

bool ConvertToMailbox(const std::filesystem::path& input, const std::filesystem::path& output,
                      const ConversionOptions& options, int& count) {
    count = 0;
    BufferedFile in;
    if (!in.Open(input, BufferedFile::kRead)) {
        return false;
    }
    BufferedFile out;
    if (!out.Open(output, BufferedFile::kWrite)) {
        in.Close();
        return false;
    }
    const long oldSize = out.Seek(0, BufferedFile::kSeekEnd);
    if (oldSize < 0) {
        in.Close();
        out.Close();
        return false;
    }
    const CodePage& cp = options.codePage ? *options.codePage : CodePage::Working();
    const bool convertJis = IsJapaneseSystem(cp);
    const std::string_view separator = options.separator;

    LineWriter writer(out);
    bool atMessageStart = true;
    bool messageHasLines = false;
    // Store lines in a message's header are left out with their
    // continuation lines, a kept separator line included: it is the first
    // header line of its message.
    StoreLineFilter storeLines;
    // A written line: converted, and doubled when it would read as the
    // terminator.
    auto put = [&](std::string_view text) {
        std::string converted = convertJis ? JisToSjis(text) : std::string(text);
        writer.Put(converted == ".\n" ? std::string_view("..\n") : std::string_view(converted));
    };
    auto handle = [&](std::string_view line) {
        const bool isSeparator = !separator.empty() && line.starts_with(separator);
        if (!isSeparator) {
            if (atMessageStart && line == "\n") {
                return;
            }
            if (!storeLines.Drops(line)) {
                put(line);
            }
            atMessageStart = false;
            messageHasLines = true;
            return;
        }
        if (messageHasLines) {
            ++count;
            EndMessage(writer, storeLines.InHeader());
        }
        storeLines.Reset();
        if (!options.dropSeparator) {
            if (!storeLines.Drops(line)) {
                put(line);
            }
            messageHasLines = true;
        }
        atMessageStart = true;
    };
    std::string line;
    std::string part;
    while (in.ReadLine(line, kImportLineBytes + 1) > 0) {
        // The client ends a line at a lone CR too, so such a CR ends a line
        // here as well; otherwise text after it could pass for a terminator
        // or a header line of a message of its own.
        std::size_t cr = line.find('\r');
        if (cr == std::string::npos) {
            handle(line);
            continue;
        }
        std::size_t pos = 0;
        while (pos < line.size()) {
            cr = line.find_first_of("\r\n", pos);
            part.assign(line, pos, cr - pos);
            part += '\n';
            handle(part);
            pos = cr + 1;
        }
    }
    if (messageHasLines && !atMessageStart) {
        ++count;
        EndMessage(writer, storeLines.InHeader());
    }
    const bool readFailed = in.Failed();
    in.Close();
    const bool closed = out.Close();
    if (writer.Failed() || !closed || readFailed) {
        std::error_code ec;
        std::filesystem::resize_file(output, static_cast<std::uintmax_t>(oldSize), ec);
        return false;
    }
    return true;
}

bool GatherMessageFiles(int type, const std::filesystem::path& chosen,
                        const std::filesystem::path& workFile) {
    const ImportType* row = ImportTypeAt(type);
    if (!row || row->input == ImportInput::kOneFile) {
        return false;
    }
    const std::filesystem::path directory =
        chosen.parent_path().empty() ? std::filesystem::path(".") : chosen.parent_path();
    std::vector<std::pair<long, std::filesystem::path>> files;
    std::error_code ec;
    std::filesystem::directory_iterator it(directory, ec);
    if (ec) {
        return false;
    }
    const std::string chosenName = chosen.filename().string();
    for (; it != std::filesystem::directory_iterator(); it.increment(ec)) {
        if (ec) {
            break;
        }
        const std::filesystem::path& path = it->path();
        const std::string name = path.filename().string();
        std::error_code typeEc;
        if (row->input == ImportInput::kEmlFiles) {
            if (name.size() > 4 &&
                EqualNoCase(std::string_view(name).substr(name.size() - 4), ".eml") &&
                !it->is_directory(typeEc)) {
                files.emplace_back(0, path);
            }
        } else {
            if (it->is_directory(typeEc) || EqualNoCase(name, chosenName)) {
                continue;
            }
            const long number = NumberOfName(name);
            if (number > 0) {
                files.emplace_back(number, path);
            }
        }
    }
    if (files.empty()) {
        return false;
    }
    std::sort(files.begin(), files.end());

    BufferedFile out;
    if (!out.Open(workFile, BufferedFile::kWrite)) {
        return false;
    }
    LineWriter writer(out);
    std::string line;
    for (const auto& [number, path] : files) {
        BufferedFile in;
        if (!in.Open(path, BufferedFile::kRead)) {
            continue;  // an unreadable item is passed over
        }
        while (in.ReadLine(line, kImportLineBytes + 1) > 0) {
            writer.Put(line);
        }
        in.Close();
        writer.Put(".\n");
    }
    if (!out.Close() || writer.Failed()) {
        std::filesystem::remove(workFile, ec);
        return false;
    }
    return true;
}

ImportOutcome RunImport(const ImportRequest& request) {
    ImportOutcome outcome;
    const ImportType* row = ImportTypeAt(request.type);
    if (!row) {
        outcome.status = ImportOutcome::Status::kUnknownType;
        return outcome;
    }
    if (request.input.empty()) {
        outcome.status = ImportOutcome::Status::kNoInputName;
        return outcome;
    }
    ConversionOptions options;
    options.codePage = request.codePage;
    if (request.type == 0) {
        options.separator = request.separator;
        options.dropSeparator = request.dropSeparator;
    } else {
        options.separator = std::string(row->separator);
        options.dropSeparator = row->dropSeparator;
    }
    std::filesystem::path input = request.input;
    std::filesystem::path workFile;
    if (row->input != ImportInput::kOneFile) {
        workFile = request.tempDirectory / std::string(row->tempFileName);
        if (!GatherMessageFiles(request.type, request.input, workFile)) {
            std::error_code ec;
            std::filesystem::remove(workFile, ec);
            outcome.status = ImportOutcome::Status::kNothingMatched;
            return outcome;
        }
        input = workFile;
    }
    const bool converted = ConvertToMailbox(input, request.output, options, outcome.count);
    if (!workFile.empty()) {
        std::error_code ec;
        std::filesystem::remove(workFile, ec);
    }
    outcome.status = converted ? ImportOutcome::Status::kImported : ImportOutcome::Status::kFailed;
    if (converted && outcome.count > 0) {
        // The client keeps the folder's counts in its control file and
        // trusts them while the folder is closed; they no longer hold.
        MailFolder folder(request.output);
        std::error_code ec;
        if (std::filesystem::exists(folder.ControlFile(), ec)) {
            WriteFolderCounts(folder, -1, -1);
        }
    }
    return outcome;
}

std::string ImportResultText(int count) {
    char text[320];
    std::snprintf(text, sizeof text,
                  "%dItems are imported into the 'Import' folder of your default account.\n"
                  "After starting Marlo!, move the imported items to other folders.\n"
                  "Attachment files will be decoded then.",
                  count);
    return text;
}

std::optional<std::filesystem::path> ImportMailboxPath(const ConfigStore& config) {
    const std::string home = config.GetString("Settings", "HomeDir");
    if (home.empty()) {
        return std::nullopt;
    }
    const int defUser = config.GetInt("Settings", "DefUser", 0);
    return MailboxDirectoryFor(std::filesystem::path(home), defUser) / "Import.mbx";
}

}  // namespace corvina
