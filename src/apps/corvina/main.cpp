// corvina: the mail client. The windows do not exist yet; a start hands its
// command line to a running client or says that it cannot open a window.

#include <clocale>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "app/CommandLine.h"
#include "app/Startup.h"
#include "batch/BatchOptions.h"
#include "batch/BatchRun.h"
#include "platform/Paths.h"
#include "platform/SingleInstance.h"

namespace {

void PrintHelp(std::FILE* out) {
    std::fprintf(out,
                 "Usage: corvina [-a ADDRESS] [FILE...]\n"
                 "  -a ADDRESS  compose a message to ADDRESS (\"mailto:\" allowed); also /A\n"
                 "  FILE...     compose a message with these files attached\n"
                 "  --version   print the version and exit\n"
                 "  --help      print this help and exit\n"
                 "When a client is already running, the request is handed to it.\n"
                 "\n"
                 "Batch commands (no window; exit 0 success, 1 failure, 2 usage error):\n"
                 "  --receive             receive new mail of the account\n"
                 "  --receive-all         receive all mail on the server, also what was\n"
                 "                        received before\n"
                 "  --deliver             send the OutBox\n"
                 "  --cleanup-server      delete on the server what was received already\n"
                 "  --folders             folder name, total and unread, one folder a line\n"
                 "  --list FOLDER [--threaded] [--sort COLUMN[:desc]]\n"
                 "                        the messages in display order (COLUMN: subject,\n"
                 "                        sender, recipient, date, lines or 1-4)\n"
                 "  --show FOLDER N       the stored form of message N (file order, from 1)\n"
                 "  --deliver-file FILE [FOLDER]\n"
                 "                        store a message file as received mail\n"
                 "  --compose --to ADDR [--cc ADDR] [--bcc ADDR] --subject TEXT\n"
                 "            [--body-file FILE] [--attach FILE]... [--draft]\n"
                 "                        save a new message to OutBox (or Draft)\n"
                 "  --filter              run Manual Filtering on InBox\n"
                 "  --set-password [--smtp | --dialup]\n"
                 "                        store the account's password: asked without\n"
                 "                        echo at a terminal, else one line of input\n"
                 "  --compact FOLDER [--minimum]\n"
                 "                        drop Received lines (or all but the references)\n"
                 "  --reorganize FOLDER   rewrite the folder in date order\n"
                 "  --restore-log FILE    deliver the messages of a backup log to InBox\n"
                 "  --export FOLDER FILE [--unix] [--each] [--separator TEXT [--separator-top]]\n"
                 "                        write every message of the folder into FILE\n"
                 "  --addresses [GROUP]   address book entries, six TAB-separated fields\n"
                 "  --add-address GROUP ADDRESS [--name N] [--nick K]\n"
                 "                        add an address to an address book group\n"
                 "  --settings            the settings as a batch run reads them (passwords\n"
                 "                        show as *)\n"
                 "  --account N           use profile N instead of DefUser\n"
                 "  --verbose             show the server dialogue of a transfer\n"
                 "While the client runs, the commands that change mail, settings or the\n"
                 "address book are refused; --folders, --list, --show, --export,\n"
                 "--addresses and --settings always work.\n"
                 "The settings file is $CORVINA_CONFIG, else ~/.config/Talvern/Corvina.ini;\n"
                 "its [Settings] HomeDir is the folder below which all mail lives. The\n"
                 "README explains each command, the settings and trusting a server.\n");
}

int HandOverOrFail(const std::vector<std::string>& args) {
    using namespace corvina;
    CommandLine commandLine = ParseCommandLine(args);
    std::error_code ec;
    std::filesystem::path cwd = std::filesystem::current_path(ec);
    if (!ec)
        MakeFilesAbsolute(commandLine, cwd);

    auto runtime = RuntimeDir();
    if (!runtime) {
        std::fprintf(stderr, "corvina: no usable runtime directory\n");
        return 1;
    }
    SingleInstance instance(*runtime);
    SingleInstance::Role role = instance.Acquire();
    if (role == SingleInstance::Role::kSecondary) {
        HandOver handOver = DecideHandOver(commandLine);
        if (SendHandOver(instance, handOver)) {
            return 0;
        }
        if (handOver.kind == HandOver::Kind::kAddress &&
            handOver.payload.size() > kMaxHandOverAddress) {
            std::fprintf(stderr, "corvina: the address is longer than %zu characters\n",
                         kMaxHandOverAddress);
        } else if (handOver.kind == HandOver::Kind::kFiles &&
                   handOver.payload.size() > kMaxHandOverCommandLine) {
            std::fprintf(stderr, "corvina: the file list is longer than %zu characters\n",
                         kMaxHandOverCommandLine);
        } else {
            std::fprintf(stderr, "corvina: the running client did not take the request\n");
        }
        return 1;
    }
    if (role == SingleInstance::Role::kFailed) {
        std::fprintf(stderr, "corvina: cannot use the single-instance lock in %s\n",
                     runtime->c_str());
        return 1;
    }
    std::fprintf(stderr,
                 "corvina: no client is running and this build has no main window yet; "
                 "nothing was done (see --help)\n");
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "--version") {
        std::printf("corvina %s\n", CORVINA_VERSION);
        return 0;
    }
    // Help wins wherever it stands, so "corvina --list --help" helps too.
    for (const std::string& arg : args) {
        if (arg == "--help") {
            PrintHelp(stdout);
            return 0;
        }
    }
    if (corvina::IsBatchCommandLine(args)) {
        std::setlocale(LC_ALL, "");
        corvina::BatchStreams streams;
        streams.utf8Out = corvina::OutputNeedsUtf8();
        return corvina::RunBatch(args, streams);
    }
    for (const std::string& arg : args) {
        if (arg.starts_with("--")) {
            std::fprintf(stderr, "corvina: unknown option %s\n", arg.c_str());
            PrintHelp(stderr);
            return 2;
        }
    }
    return HandOverOrFail(args);
}
