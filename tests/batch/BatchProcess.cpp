#include "BatchProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "TestSupport.h"

namespace corvina::test {

BatchProcess::BatchProcess(std::filesystem::path work) : work_(std::move(work)) {
    std::filesystem::create_directories(Home());
}

std::filesystem::path BatchProcess::MailboxDir(int mailDirNo) const {
    return Home() / ("User" + std::to_string(mailDirNo));
}

void BatchProcess::WriteConfig(const std::string& extra) const {
    WriteFileBytes(ConfigFile(),
                   "[Settings]\nHomeDir = " + Home().string() + "/\nDefUser = 0\n" + extra);
}

BatchResult BatchProcess::Run(const std::vector<std::string>& args,
                              const std::string& input) const {
    return RunProgram(CORVINA_BINARY, args, input);
}

std::vector<std::string> BatchProcess::Environment() const {
    std::vector<std::string> env = {
        "CORVINA_CONFIG=" + ConfigFile().string(),
        "HOME=" + work_.string(),
        "TMPDIR=" + work_.string(),
        "XDG_RUNTIME_DIR=" + work_.string(),
        "PATH=/usr/bin:/bin",
        "TZ=UTC",
    };
    if (locale_)
        env.push_back("LC_ALL=" + *locale_);
    if (const char* ssl = std::getenv("SSL_CERT_FILE"))
        env.push_back(std::string("SSL_CERT_FILE=") + ssl);
    return env;
}

BatchResult BatchProcess::RunProgram(const std::string& program,
                                     const std::vector<std::string>& args,
                                     const std::string& input) const {
    std::vector<std::string> envStrings = Environment();
    std::vector<std::string> argStrings = {program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    ExecStrings argv(std::move(argStrings));
    ExecStrings envp(std::move(envStrings));
    const std::string inPath = (work_ / "stdin.txt").string();
    const std::string outPath = (work_ / "stdout.txt").string();
    const std::string errPath = (work_ / "stderr.txt").string();
    WriteFileBytes(inPath, input);
    const std::string cwd = work_.string();

    pid_t pid = fork();
    if (pid == 0) {
        int in = open(inPath.c_str(), O_RDONLY);
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 ||
            dup2(err, 2) < 0 || chdir(cwd.c_str()) != 0) {
            _exit(127);
        }
        execve(argv.Data()[0], argv.Data(), envp.Data());
        _exit(127);
    }
    BatchResult result;
    if (pid < 0) {
        ADD_FAILURE() << "fork failed";
        return result;
    }
    int status = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    for (;;) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            break;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            ADD_FAILURE() << "corvina did not end";
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = ReadFileBytes(outPath);
    result.err = ReadFileBytes(errPath);
    return result;
}

}  // namespace corvina::test
