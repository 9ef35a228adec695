#include "batch/BatchRun.h"

#include <langinfo.h>
#include <unistd.h>

#include <cstring>
#include <optional>
#include <system_error>

#include "app/AppState.h"
#include "app/PasswordScrambler.h"
#include "app/ProfileSelection.h"
#include "app/SettingsLoader.h"
#include "app/TerminalAppHost.h"
#include "batch/BatchCommands.h"
#include "batch/BatchOptions.h"
#include "common/CodePage.h"
#include "message/mime/MessageOptions.h"
#include "platform/ConfigStore.h"
#include "platform/Paths.h"
#include "platform/SingleInstance.h"

namespace corvina {

bool OutputNeedsUtf8() {
    if (!isatty(STDOUT_FILENO))
        return false;
    const char* codeset = nl_langinfo(CODESET);
    return codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
}

std::string OutputText(std::string_view text, bool utf8Out) {
    if (!utf8Out || CodePage::Working().IsUtf8())
        return std::string(text);
    return CodePage::Working().ToUtf8(text);
}

namespace {

int SetPassword(const BatchOptions& options, BatchStreams streams, ConfigStore& store,
                int profile) {
    std::string line;
    int c;
    bool any = false;
    while ((c = std::fgetc(streams.in)) != EOF && c != '\n') {
        line.push_back(static_cast<char>(c));
        any = true;
    }
    if (!any && c == EOF) {
        std::fprintf(streams.err,
                     "corvina: no password on standard input; give it as one line, "
                     "e.g. from a file: corvina --set-password < FILE\n");
        return 1;
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    const char* key = options.slot == PasswordSlot::kSmtp     ? "SMTPPass"
                      : options.slot == PasswordSlot::kDialup ? "DialupPass"
                                                              : "Pass";
    store.SetString(ProfileSection(profile), key, ScramblePassword(line));
    if (!store.Save()) {
        std::fprintf(streams.err,
                     "corvina: cannot write the settings file %s; the password was not "
                     "stored (check the file's permissions)\n",
                     store.Path().c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int RunBatch(const std::vector<std::string>& args, BatchStreams streams) {
    BatchParse parse = ParseBatchOptions(args);
    if (!parse.options) {
        std::fprintf(streams.err, "corvina: %s (see corvina --help)\n", parse.error.c_str());
        return 2;
    }
    return RunBatchCommand(*parse.options, streams);
}

namespace {

// A command that writes would change files under the running client, which
// trusts what it has read; it is refused before anything is loaded.
bool RefuseWhileClientRuns(const BatchOptions& options, const BatchStreams& streams) {
    if (!CommandWrites(options.command))
        return false;
    std::optional<std::filesystem::path> runtime = RuntimeDir();
    if (!runtime || !SingleInstance::IsRunning(*runtime))
        return false;
    const BatchCommandInfo& info = CommandInfo(options.command);
    std::fprintf(streams.err,
                 "corvina: Corvina is running; close it or use its window to %s. %s was not "
                 "run: it would change files the running client holds. Commands that only "
                 "read (--folders, --list, --show, --addresses) still work.\n",
                 info.inWindow, info.option);
    return true;
}

}  // namespace

int RunBatchCommand(const BatchOptions& givenOptions, BatchStreams streams) {
    BatchOptions options = givenOptions;
    if (RefuseWhileClientRuns(options, streams))
        return 1;
    // Files named on the command line are taken from where the user stands.
    std::error_code ec;
    const std::filesystem::path cwd = std::filesystem::current_path(ec);
    auto absolute = [&](std::filesystem::path& p) {
        if (!p.empty() && p.is_relative() && !ec)
            p = cwd / p;
    };
    absolute(options.file);
    absolute(options.bodyFile);
    for (auto& a : options.attachments)
        absolute(a);

    ConfigStore store(ConfigStore::DefaultPath());
    if (!store.Load()) {
        std::fprintf(streams.err,
                     "corvina: cannot read the settings file %s (check its permissions, or "
                     "set CORVINA_CONFIG to another file)\n",
                     store.Path().c_str());
        return 1;
    }
    AppState& state = Application();
    if (options.command == BatchCommand::kSetPassword) {
        // Only this one value changes; nothing else is loaded or written.
        int profile =
            options.account >= 0 ? options.account : store.GetInt("Settings", "DefUser", 0);
        if (profile < 0 || profile > 9)
            profile = 0;
        return SetPassword(options, streams, store, profile);
    }

    TerminalAppHost appHost(streams.in, streams.err);
    LoadContext context;
    context.enterHomeDirectory = false;
    context.buildMimeTypes = MimeTypesLoader(store);
    if (!LoadSettings(store, appHost, context, state)) {
        std::fprintf(streams.err,
                     "corvina: the settings were not loaded: the local password or the home "
                     "folder was not given on standard input; nothing was done\n");
        return 1;
    }
    const int profile = options.account >= 0 ? options.account : state.settings.defUser;
    if (!SelectProfile(state, profile)) {
        std::fprintf(streams.err, "corvina: profile %d cannot be used (DefUser or --account)\n",
                     profile);
        return 1;
    }
    return RunLoadedCommand(options, streams, store, state);
}

}  // namespace corvina
