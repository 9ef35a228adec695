#include "batch/BatchRun.h"

#include <langinfo.h>
#include <unistd.h>

#include <cstring>
#include <optional>
#include <system_error>

#include "app/AccountProfile.h"
#include "app/AppState.h"
#include "app/PasswordScrambler.h"
#include "app/ProfileSelection.h"
#include "app/SettingsLoader.h"
#include "batch/BatchCommands.h"
#include "batch/BatchOptions.h"
#include "batch/TerminalInput.h"
#include "batch/TerminalPrompt.h"
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
    const char* key = options.slot == PasswordSlot::kSmtp     ? "SMTPPass"
                      : options.slot == PasswordSlot::kDialup ? "DialupPass"
                                                              : "Pass";
    // At a terminal the password is asked for and not shown; from a file or
    // a pipe it is the first line, as a script gives it.
    const std::string prompt =
        "Password (" + std::string(key) + " of profile " + std::to_string(profile) + "): ";
    std::optional<std::string> line = ReadInputLine(streams.in, streams.err, true, prompt);
    if (!line) {
        std::fprintf(streams.err,
                     "corvina: no password on standard input; give it as one line, "
                     "e.g. from a file: corvina --set-password < FILE\n");
        return 1;
    }
    store.SetString(ProfileSection(profile), key, ScramblePassword(*line));
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

// A profile named by --account that holds no account at all is almost
// always a wrong number; running on it would make an empty mailbox
// directory for it. One whose directory exists already (shared by
// MailDirNo, or mail imported into it) is used as it is.
bool RefuseEmptyProfile(const BatchOptions& options, const BatchStreams& streams,
                        const ConfigStore& store, const AppState& state) {
    const AccountProfile& p = state.current;
    std::error_code ec;
    if (!p.address.empty() || !p.pop.empty() || !p.smtp.empty() ||
        std::filesystem::exists(state.mailboxDirectory, ec))
        return false;
    std::string configured;
    for (int i = 0; i < kProfileCount; ++i) {
        const AccountProfile& other = state.profiles[static_cast<std::size_t>(i)];
        if (!other.address.empty() || !other.pop.empty() || !other.smtp.empty())
            configured += (configured.empty() ? "" : ", ") + std::to_string(i);
    }
    std::fprintf(streams.err,
                 "corvina: profile %d has no account set up (no Address, POP or SMTP in "
                 "[Users\\%d] of %s); nothing was done. Set one up by writing those values into "
                 "that section (the README shows a minimal account), or name a profile that "
                 "has one%s%s.\n",
                 options.account, options.account, store.Path().c_str(),
                 configured.empty() ? "" : ": ", configured.c_str());
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

    TerminalPrompt prompt(streams.in, streams.err);
    LoadContext context;
    context.enterHomeDirectory = false;
    context.buildMimeTypes = MimeTypesLoader(store);
    std::string why;
    if (!LoadSettings(store, prompt, context, state, &why)) {
        std::fprintf(streams.err, "corvina: %s; nothing was done\n", why.c_str());
        return 1;
    }
    const int profile = options.account >= 0 ? options.account : state.settings.defUser;
    if (!SelectProfile(state, profile)) {
        std::fprintf(streams.err, "corvina: profile %d cannot be used (DefUser or --account)\n",
                     profile);
        return 1;
    }
    if (options.account >= 0 && RefuseEmptyProfile(options, streams, store, state))
        return 1;
    return RunLoadedCommand(options, streams, store, state);
}

}  // namespace corvina
