// corvina: the mail client. Without a batch command it opens the main
// window, or hands its command line to the client that runs already.

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <QApplication>
#include <QFile>
#include <QMessageBox>

#include "app/AppState.h"
#include "app/CommandLine.h"
#include "app/ProfileSelection.h"
#include "app/Shutdown.h"
#include "app/Startup.h"
#include "batch/BatchOptions.h"
#include "batch/BatchRun.h"
#include "common/CodePage.h"
#include "common/UserPrompt.h"
#include "editor/CommandTable.h"
#include "editor/EditorEnvironment.h"
#include "editor/SearchState.h"
#include "message/mime/MessageOptions.h"
#include "platform/ConfigStore.h"
#include "platform/Paths.h"
#include "platform/SingleInstance.h"
#include "transfer/SessionSetup.h"
#include "ui/bridge/QtPrompt.h"
#include "ui/bridge/QtText.h"
#include "ui/main/CMainFrame.h"
#include "ui/main/FrameIcons.h"
#include "ui/main/MainContext.h"

namespace {

void PrintHelp(std::FILE* out) {
    std::fprintf(out,
                 "Usage: corvina [-a ADDRESS | mailto:ADDRESS] [FILE...]\n"
                 "  -a ADDRESS  compose a message to ADDRESS (\"mailto:\" allowed); also /A\n"
                 "  mailto:ADDRESS  the same, as the desktop hands over a mailto: link\n"
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

// Tells the user something before or without the main window.
void ShowProblem(const std::string& text) {
    QMessageBox::warning(nullptr, QString::fromLatin1(corvina::kMessageCaption),
                         QString::fromLocal8Bit(text.c_str()));
}

// Why a running client did not take this start's request.
std::string HandOverProblem(const std::vector<std::string>& args) {
    using namespace corvina;
    HandOver handOver = DecideHandOver(ParseCommandLine(args));
    if (handOver.kind == HandOver::Kind::kAddress &&
        handOver.payload.size() > kMaxHandOverAddress) {
        return "The address is longer than " + std::to_string(kMaxHandOverAddress) +
               " characters; nothing was handed to the running Corvina.";
    }
    if (handOver.kind == HandOver::Kind::kFiles &&
        handOver.payload.size() > kMaxHandOverCommandLine) {
        return "The file list is longer than " + std::to_string(kMaxHandOverCommandLine) +
               " characters; attach fewer files at a time.";
    }
    return "The running Corvina did not take the request; try again when it answers, or end "
           "it and start again.";
}

// Whether Qt can open a window: a display, or a platform named outright
// (offscreen).
bool HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}

// A later start hands its request to the running client and ends; it
// needs no display.
int HandOver(const std::vector<std::string>& args, corvina::SingleInstance& instance) {
    using namespace corvina;
    CommandLine commandLine = ParseCommandLine(args);
    std::error_code ec;
    std::filesystem::path cwd = std::filesystem::current_path(ec);
    if (!ec)
        MakeFilesAbsolute(commandLine, cwd);
    if (SendHandOver(instance, DecideHandOver(commandLine)))
        return 0;
    std::fprintf(stderr, "corvina: %s\n", HandOverProblem(args).c_str());
    return 1;
}

// The window start: hand-over to a running client, password and home
// directory, the settings, the editor, the main window; at its end the
// settings of the run are written.
int RunClient(int argc, char** argv, const std::vector<std::string>& args) {
    using namespace corvina;
    std::setlocale(LC_ALL, "");
    auto runtime = RuntimeDir();
    if (!runtime) {
        std::fprintf(stderr,
                     "corvina: no usable runtime directory; set XDG_RUNTIME_DIR to a private "
                     "directory\n");
        return 1;
    }
    SingleInstance instance(*runtime);
    if (instance.Acquire() == SingleInstance::Role::kSecondary)
        return HandOver(args, instance);
    if (!HasDisplay()) {
        std::fprintf(stderr,
                     "corvina: no display to open the main window on (DISPLAY and "
                     "WAYLAND_DISPLAY are not set); the batch commands need none, see --help\n");
        return 1;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvina"));
    QApplication::setOrganizationName(QStringLiteral("Talvern"));
    QApplication::setDesktopFileName(QStringLiteral("corvina"));
    QApplication::setWindowIcon(FrameIcon("corvina", "corvina.svg"));
    // The window may live on in the tray while hidden; the run ends when
    // it closes.
    QApplication::setQuitOnLastWindowClosed(false);

    ConfigStore store(ConfigStore::DefaultPath());
    if (!store.Load()) {
        ShowProblem("The settings file " + store.Path().string() +
                    " cannot be read. Check its permissions, or set CORVINA_CONFIG to "
                    "another file.");
        return 1;
    }
    QtPrompt prompt;

    StartOptions options;
    options.args = args;
    std::error_code ec;
    options.workingDirectory = std::filesystem::current_path(ec);
    options.load.buildMimeTypes = MimeTypesLoader(store);
    AppState& state = Application();
    StartResult started = StartApplication(store, prompt, instance, options, state);
    switch (started.outcome) {
        case StartOutcome::kRunning:
            break;
        case StartOutcome::kHandedOver:
        case StartOutcome::kCancelled:
            return 0;
        case StartOutcome::kFailed: {
            std::string why = HandOverProblem(args);
            std::fprintf(stderr, "corvina: %s\n", why.c_str());
            ShowProblem(why);
            return 1;
        }
    }
    const StartPlan& plan = *started.plan;
    SelectProfile(state, state.settings.defUser);

    EditorEnvironment editor;
    SearchState& search = SearchState::Shared();
    if (!editor.Start(EditorEnvironmentPaths::FromProcess(state.homeDirectory), CodePage::Working(),
                      store, KeyBindings::Shared(), search)) {
        ShowProblem(editor.ProblemText());
    }
    std::string recovered;
    for (const std::string& line : RecoverInterruptedDeliveries(state))
        recovered += line + "\n";
    if (!recovered.empty())
        prompt.Notify(recovered, kMessageCaption);

    int result = 0;
    {
        MainContext context(state, store, prompt, editor);
        CMainFrame frame(context);
        prompt.SetParent(&frame);
        QObject::connect(&frame, &CMainFrame::Closed, &application, &QApplication::quit,
                         Qt::QueuedConnection);
        frame.WatchSingleInstance(instance);
        frame.ShowForStart(plan.showCommand, plan.hideWindow);
        frame.PostFirstAction(plan.firstAction);
        if (plan.composeTo) {
            frame.RequestCompose(ToQString(*plan.composeTo));
        } else if (plan.postFileList) {
            QStringList files;
            for (const std::string& file : SplitFileList(*plan.postFileList))
                files << QFile::decodeName(QByteArray::fromStdString(file));
            frame.RequestAttach(files);
        }
        result = application.exec();
        prompt.SetParent(nullptr);
    }
    if (!editor.Finish(search))
        ShowProblem(editor.ProblemText());
    if (!ShutdownApplication(store, state)) {
        ShowProblem("The settings could not be written to " + store.Path().string() +
                    ". Check that the file and its folder are writable.");
        return 1;
    }
    return result;
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
    return RunClient(argc, argv, args);
}
