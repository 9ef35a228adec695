// What a newcomer meets: a home folder written by hand, a profile number
// that holds no account, a password typed at a terminal, an export that
// cannot take every message, and a README that names every command.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "BatchProcess.h"
#include "TestSupport.h"
#include "app/PasswordScrambler.h"
#include "batch/BatchOptions.h"
#include "platform/ConfigStore.h"

namespace corvina::test {
namespace {

class NewUser : public ::testing::Test {
protected:
    BatchResult Run(const std::vector<std::string>& args, const std::string& input = {}) {
        return batch.Run(args, input);
    }
    ScratchDir dir;
    BatchProcess batch{dir.Path()};
};

TEST_F(NewUser, HomeDirWrittenByHandIsCreatedAndNeverReplacedOrAskedFromAPipe) {
    // A folder that does not exist yet, two levels deep: made, 0700, and
    // the command works without a question.
    const auto home = dir / "new" / "Mail";
    const std::string config = "[Settings]\nHomeDir = " + home.string() + "/\n";
    WriteFileBytes(batch.ConfigFile(), config);
    BatchResult made = Run({"--folders"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    EXPECT_EQ(made.err.find("Home Folder"), std::string::npos) << made.err;
    EXPECT_NE(made.out.find("InBox"), std::string::npos) << made.out;
    struct stat st {};
    ASSERT_EQ(stat(home.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(ReadFileBytes(batch.ConfigFile()), config);

    // A folder that cannot be made: the path and the reason, nothing else
    // chosen in its place.
    WriteFileBytes(dir / "plain-file", "x");
    const std::string blocked =
        "[Settings]\nHomeDir = " + (dir / "plain-file" / "Mail").string() + "\n";
    WriteFileBytes(batch.ConfigFile(), blocked);
    BatchResult refused = Run({"--folders"}, "/somewhere/else\n");
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find((dir / "plain-file").string() + " is a file, not a folder"),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(ReadFileBytes(batch.ConfigFile()), blocked);

    // No HomeDir and input from a pipe: the line is not taken as the home
    // folder; the message says what to write where.
    WriteFileBytes(batch.ConfigFile(), "[Settings]\n");
    BatchResult unset = Run({"--folders"}, (dir / "from-pipe").string() + "\n");
    EXPECT_EQ(unset.exitCode, 1);
    EXPECT_NE(unset.err.find("HomeDir = "), std::string::npos) << unset.err;
    EXPECT_NE(unset.err.find(batch.ConfigFile().string()), std::string::npos) << unset.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "from-pipe"));
    EXPECT_EQ(ReadFileBytes(batch.ConfigFile()), "[Settings]\n");
}

TEST_F(NewUser, AccountNumberWithoutAnAccountIsRefusedAndMakesNoFolder) {
    batch.WriteConfig("[Users\\0]\nAddress = me@example.org\n[Users\\2]\nPOP = pop.example.org\n");
    for (const char* command : {"--folders", "--filter", "--export"}) {
        std::vector<std::string> args = {"--account", "5", command};
        if (std::string(command) == "--export")
            args = {"--account", "5", command, "InBox", (dir / "out.txt").string()};
        BatchResult r = Run(args);
        EXPECT_EQ(r.exitCode, 1) << command;
        EXPECT_NE(r.err.find("profile 5 has no account set up"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("that has one: 0, 2"), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(batch.MailboxDir(5))) << command;
    }
    // Profiles with an account, or whose folder holds mail already, work.
    EXPECT_EQ(Run({"--account", "2", "--folders"}).exitCode, 0);
    std::filesystem::create_directories(batch.MailboxDir(7));
    EXPECT_EQ(Run({"--account", "7", "--folders"}).exitCode, 0);
}

TEST_F(NewUser, ExportNamesEachSkippedMessageAndWhy) {
    batch.WriteConfig("[Users\\0]\nAccount = Test\nAddress = bob@example.com\n");
    const auto mail = DataPath("export/attachment-file-deleted-before-export.eml");
    ASSERT_EQ(Run({"--deliver-file", mail.string(), "InBox"}).exitCode, 0);
    WriteFileBytes(dir / "plain.eml", "From: a@x\nSubject: plain\n\nbody\n");
    ASSERT_EQ(Run({"--deliver-file", (dir / "plain.eml").string(), "InBox"}).exitCode, 0);
    const auto attachment = batch.MailboxDir() / "Attach" / "notes.bin";
    ASSERT_TRUE(std::filesystem::exists(attachment));
    std::filesystem::remove(attachment);

    // One file: nothing is written, and the message says which and why.
    WriteFileBytes(dir / "out.txt", "earlier export\n");
    BatchResult one = Run({"--export", "InBox", (dir / "out.txt").string()});
    EXPECT_EQ(one.exitCode, 1);
    EXPECT_NE(one.err.find("message 1 (\"Minutes with notes\") was not exported: its attachment "
                           "file " +
                           attachment.string() + " is missing"),
              std::string::npos)
        << one.err;
    EXPECT_NE(one.err.find("0 of 2"), std::string::npos) << one.err;
    EXPECT_NE(one.err.find("--each"), std::string::npos) << one.err;
    EXPECT_EQ(ReadFileBytes(dir / "out.txt"), "earlier export\n");

    // One file per message: the other is written.
    BatchResult each = Run({"--export", "InBox", (dir / "each.txt").string(), "--each"});
    EXPECT_EQ(each.exitCode, 1);
    EXPECT_NE(each.err.find("message 1 (\"Minutes with notes\")"), std::string::npos) << each.err;
    EXPECT_NE(each.err.find("1 of 2"), std::string::npos) << each.err;

    // A target folder that does not exist is named once.
    BatchResult nowhere = Run({"--export", "InBox", (dir / "no" / "out.txt").string()});
    EXPECT_EQ(nowhere.exitCode, 1);
    EXPECT_NE(nowhere.err.find("the folder " + (dir / "no").string() + " of"), std::string::npos)
        << nowhere.err;
    EXPECT_EQ(nowhere.err.find("message 2"), std::string::npos) << nowhere.err;
}

// A fresh set-up (a home folder, no account, no mail): every command
// either works on the empty folders or says what to do.
TEST_F(NewUser, FreshSetUpCommandsWorkOrSayWhatToDo) {
    batch.WriteConfig("");
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        const char* says;
    };
    const Case cases[] = {
        {{"--receive"}, 1, "has no POP server to receive from; write POP = "},
        {{"--cleanup-server"}, 1, "has no POP server"},
        {{"--deliver"}, 1, "has no SMTP server to send through; write SMTP = "},
        {{"--show", "InBox", "1"}, 1, "folder InBox holds no messages"},
        {{"--compact", "InBox"}, 0, "holds no messages; nothing to do"},
        {{"--reorganize", "Trash"}, 0, "holds no messages; nothing to do"},
        {{"--export", "InBox", dir.Path().string()}, 1, "is a folder; name a file"},
        {{"--deliver-file", "absent.eml"}, 1, "absent.eml: No such file or directory"},
        {{"--compose", "--to", "a@x", "--subject", "s", "--attach", "absent.bin"},
         1,
         "absent.bin: No such file or directory; nothing was saved"},
        {{"--addresses", "Team"}, 1, "corvina --add-address GROUP ADDRESS makes a group"},
    };
    for (const Case& c : cases) {
        BatchResult r = Run(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args[0] << ": " << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args[0] << ": " << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(batch.MailboxDir() / "OutBox.mbx"));
}

// Every command of the one table is documented in the README and listed by
// --help, so neither falls behind the table.
TEST_F(NewUser, ReadmeAndHelpNameEveryCommand) {
    const std::string readme = ReadFileBytes(CORVINA_README);
    const std::string help = Run({"--help"}).out;
    for (int i = 0; i <= static_cast<int>(BatchCommand::kSettings); ++i) {
        const std::string option = CommandInfo(static_cast<BatchCommand>(i)).option;
        EXPECT_NE(readme.find("| `" + option), std::string::npos) << option << " in the README";
        EXPECT_NE(help.find("  " + option), std::string::npos) << option << " in --help";
    }
    for (const char* topic : {"SSL_CERT_FILE", "CertFingerprint", "Filter.DEF"})
        EXPECT_NE(readme.find(topic), std::string::npos) << topic;
}

// The binary on a pseudo-terminal: what it prints and how it leaves the
// terminal.
struct TerminalRun {
    int exitCode = -1;
    int signal = 0;
    std::string screen;  // everything the terminal showed
    bool echoAfter = false;
};

// Appends what the terminal shows within `ms` milliseconds; false when
// nothing came.
bool ReadScreen(int master, std::string& screen, int ms) {
    pollfd p{master, POLLIN, 0};
    if (poll(&p, 1, ms) <= 0)
        return false;
    char buffer[512];
    const ssize_t got = read(master, buffer, sizeof buffer);
    if (got <= 0)
        return false;
    screen.append(buffer, static_cast<size_t>(got));
    return true;
}

bool WaitForText(int master, std::string& screen, const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (screen.find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        ReadScreen(master, screen, 100);
    }
    return true;
}

TerminalRun RunAtTerminal(const BatchProcess& batch, const std::vector<std::string>& args,
                          const std::string& prompt, const std::string& typed) {
    TerminalRun run;
    int master = -1, slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        ADD_FAILURE() << "no pseudo-terminal";
        return run;
    }
    std::vector<std::string> envStrings = batch.Environment();
    std::vector<std::string> argStrings = {CORVINA_BINARY};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    ExecStrings argv(std::move(argStrings));
    ExecStrings envp(std::move(envStrings));
    const pid_t pid = fork();
    if (pid == 0) {
        setsid();
        ioctl(slave, TIOCSCTTY, 0);
        dup2(slave, 0);
        dup2(slave, 1);
        dup2(slave, 2);
        close(master);
        close(slave);
        signal(SIGINT, SIG_DFL);
        if (chdir(batch.Work().c_str()) != 0)
            _exit(127);
        execve(argv.Data()[0], argv.Data(), envp.Data());
        _exit(127);
    }
    // The prompt shows once the echo is off; the typing follows it.
    EXPECT_TRUE(WaitForText(master, run.screen, prompt)) << run.screen;
    EXPECT_EQ(write(master, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (waitpid(pid, &status, WNOHANG) != pid) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            ADD_FAILURE() << "corvina did not end";
            break;
        }
        ReadScreen(master, run.screen, 20);
    }
    while (ReadScreen(master, run.screen, 50)) {
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    termios mode{};
    run.echoAfter = tcgetattr(slave, &mode) == 0 && (mode.c_lflag & ECHO) != 0;
    close(master);
    close(slave);
    return run;
}

TEST_F(NewUser, SetPasswordAtATerminalDoesNotShowThePassword) {
    batch.WriteConfig("[Users\\0]\nAddress = me@example.org\n");
    TerminalRun typed = RunAtTerminal(batch, {"--set-password", "--smtp"},
                                      "Password (SMTPPass of profile 0): ", "Hunter2-secret\n");
    EXPECT_EQ(typed.exitCode, 0) << typed.screen;
    EXPECT_EQ(typed.screen.find("Hunter2-secret"), std::string::npos) << typed.screen;
    EXPECT_TRUE(typed.echoAfter);
    ConfigStore store(batch.ConfigFile());
    ASSERT_TRUE(store.Load());
    EXPECT_EQ(UnscramblePassword(store.GetString("Users\\0", "SMTPPass")), "Hunter2-secret");

    // Ctrl-C ends the run, stores nothing, and leaves the echo on.
    TerminalRun interrupted =
        RunAtTerminal(batch, {"--set-password"}, "Password (Pass of profile 0): ", "\x03");
    EXPECT_EQ(interrupted.signal, SIGINT) << interrupted.screen;
    EXPECT_TRUE(interrupted.echoAfter);
    ASSERT_TRUE(store.Load());
    EXPECT_EQ(store.GetString("Users\\0", "Pass"), "");
}

}  // namespace
}  // namespace corvina::test
