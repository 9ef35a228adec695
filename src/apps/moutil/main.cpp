// moutil: copies mail kept by other programs into the client's Import folder.
// Without windows it runs one import from its command line and prints the
// result text.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "app/Settings.h"
#include "app/SettingsLoader.h"
#include "importer/ImportType.h"
#include "importer/MailImport.h"
#include "platform/ConfigStore.h"
#include "platform/Paths.h"
#include "platform/SingleInstance.h"
#include "store/FolderLock.h"

namespace {

void PrintHelp(std::FILE* out) {
    std::fprintf(out,
                 "Usage: moutil --type N --input FILE [--separator TEXT] [--keep-separator]\n"
                 "  --type N          kind of mailbox:\n");
    for (int i = 0; i < corvina::kImportTypeCount; ++i) {
        const corvina::ImportType* type = corvina::ImportTypeAt(i);
        std::fprintf(out, "                      %d  %.*s\n", i,
                     static_cast<int>(type->listEntry.size()), type->listEntry.data());
    }
    std::fprintf(out,
                 "  --input FILE      the mailbox file (types 4 and 7: one file of the directory)\n"
                 "  --separator TEXT  type 0: a line starting with TEXT separates messages\n"
                 "  --keep-separator  type 0: the separator line starts the next message\n"
                 "  --version         print the version and exit\n"
                 "  --help            print this help and exit\n"
                 "The messages are appended to Import.mbx of the default account; the client\n"
                 "must not be running.\n");
}

bool ParseType(const char* text, int& type) {
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 0 || value >= corvina::kImportTypeCount) {
        return false;
    }
    type = static_cast<int>(value);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace corvina;
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "--version") {
        std::printf("moutil %s\n", CORVINA_VERSION);
        return 0;
    }
    if (args.size() == 1 && args[0] == "--help") {
        PrintHelp(stdout);
        return 0;
    }

    ImportRequest request;
    bool haveType = false, haveInput = false, haveSeparator = false, keepSeparator = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--type" && hasValue) {
            if (!ParseType(args[++i].c_str(), request.type)) {
                std::fprintf(stderr, "moutil: --type takes a number from 0 to %d\n",
                             kImportTypeCount - 1);
                return 2;
            }
            haveType = true;
        } else if (arg == "--input" && hasValue) {
            request.input = args[++i];
            haveInput = true;
        } else if (arg == "--separator" && hasValue) {
            request.separator = args[++i];
            haveSeparator = true;
        } else if (arg == "--keep-separator") {
            keepSeparator = true;
        } else {
            std::fprintf(stderr, "moutil: unknown or incomplete option %s\n", arg.c_str());
            PrintHelp(stderr);
            return 2;
        }
    }
    if (!haveType || !haveInput) {
        PrintHelp(stderr);
        return 2;
    }
    if ((haveSeparator || keepSeparator) && request.type != 0) {
        std::fprintf(stderr, "moutil: --separator and --keep-separator belong to --type 0\n");
        return 2;
    }
    request.dropSeparator = !keepSeparator;

    // The client trusts its mailbox files; they must not change under it.
    std::optional<std::filesystem::path> runtime = RuntimeDir();
    if (runtime && SingleInstance::IsRunning(*runtime)) {
        std::printf("%.*s\n", static_cast<int>(kImportRefusalText.size()),
                    kImportRefusalText.data());
        std::fflush(stdout);
        std::fprintf(stderr,
                     "moutil: Corvina is running; close it, then run moutil again. Nothing "
                     "was imported.\n");
        return 1;
    }
    if (request.input.empty()) {
        std::printf("%.*s\n", static_cast<int>(kImportNoInputText.size()),
                    kImportNoInputText.data());
        return 1;
    }

    ConfigStore config(ConfigStore::DefaultPath());
    if (!config.Load()) {
        std::fprintf(stderr, "moutil: the settings file %s cannot be read\n",
                     config.Path().c_str());
        return 1;
    }
    // The same code page as the client's, so imported text is stored as
    // the client reads it.
    Settings settings;
    LoadWorkingCodePage(config, 0, settings);
    std::optional<std::filesystem::path> output = ImportMailboxPath(config);
    if (!output) {
        std::fprintf(stderr,
                     "moutil: no home folder is set; add a line \"HomeDir = /path/to/your/mail/\" "
                     "to the [Settings] section of %s, or run corvina --folders once at a "
                     "terminal to choose one\n",
                     config.Path().c_str());
        return 1;
    }
    std::optional<std::filesystem::path> temp = PrivateTempDir();
    if (!temp) {
        std::fprintf(stderr, "moutil: no private temporary directory\n");
        return 1;
    }
    RemovePrivateTempDirAtExit();
    request.tempDirectory = *temp;
    request.output = *output;

    // One writer per folder file: a batch command of the client may be
    // writing Import.mbx; wait for it.
    std::error_code ec;
    if (!std::filesystem::is_directory(output->parent_path(), ec)) {
        std::fprintf(stderr,
                     "moutil: the mailbox directory %s does not exist; run corvina --folders "
                     "once to create it\n",
                     output->parent_path().c_str());
        return 1;
    }
    std::string lockError;
    std::optional<FolderLock> lock = FolderLock::Acquire(*output, &lockError);
    if (!lock) {
        std::fprintf(stderr, "moutil: %s cannot be locked for writing (%s); nothing was imported\n",
                     output->c_str(), lockError.c_str());
        return 1;
    }
    ImportOutcome outcome = RunImport(request);
    lock->Release();
    switch (outcome.status) {
        case ImportOutcome::Status::kImported:
            std::printf("%s\n", ImportResultText(outcome.count).c_str());
            return 0;
        case ImportOutcome::Status::kNothingMatched:
            std::fprintf(stderr, "moutil: no message file was found beside %s\n",
                         request.input.c_str());
            return 1;
        default:
            std::fprintf(stderr, "moutil: %s or %s cannot be opened or written\n",
                         request.input.c_str(), output->c_str());
            return 1;
    }
}
