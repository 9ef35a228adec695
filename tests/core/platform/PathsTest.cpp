#include "platform/Paths.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ChildProcess.h"
#include "TestSupport.h"
#include "platform/Process.h"

namespace corvina {
namespace {

using test::ScratchDir;

// Sets an environment variable for one test and restores it afterwards.
class EnvOverride {
public:
    EnvOverride(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~EnvOverride() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

unsigned ModeOf(const std::filesystem::path& p) {
    struct stat st {};
    return lstat(p.c_str(), &st) == 0 ? st.st_mode & 0777 : 01000;
}

TEST(Paths, PrivateTempDirIsOursAloneAndMadeOnce) {
    ScratchDir scratch;
    EnvOverride tmp("TMPDIR", scratch.Path().c_str());
    RemovePrivateTempDir();
    const auto dir = PrivateTempDir();
    ASSERT_TRUE(dir);
    const auto parent = scratch / ("corvina-" + std::to_string(geteuid()));
    EXPECT_EQ(dir->parent_path(), parent);
    EXPECT_EQ(ModeOf(*dir), 0700u);
    EXPECT_EQ(ModeOf(parent), 0700u);
    EXPECT_EQ(PrivateTempDir(), dir);
    EXPECT_EQ(RuntimeDir().value_or(""),
              std::getenv("XDG_RUNTIME_DIR") &&
                      std::filesystem::is_directory(std::getenv("XDG_RUNTIME_DIR"))
                  ? std::filesystem::path(std::getenv("XDG_RUNTIME_DIR"))
                  : parent);

    // A forked child leaving does not take the parent's directory along.
    RemovePrivateTempDirAtExit();
    const pid_t pid = fork();
    if (pid == 0) {
        std::exit(0);  // runs the exit handlers
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(std::filesystem::is_directory(*dir));

    RemovePrivateTempDir();
    EXPECT_FALSE(std::filesystem::exists(*dir));
    const auto fresh = PrivateTempDir();
    ASSERT_TRUE(fresh);
    EXPECT_NE(*fresh, *dir);
    RemovePrivateTempDir();
}

TEST(Paths, TempParentRefusesWhatIsNotPlainlyOurs) {
    ScratchDir scratch;
    EnvOverride tmp("TMPDIR", scratch.Path().c_str());
    const auto parent = scratch / ("corvina-" + std::to_string(geteuid()));
    std::filesystem::create_directory(parent);
    chmod(parent.c_str(), 0777);
    ASSERT_TRUE(PrivateTempParent());
    EXPECT_EQ(ModeOf(parent), 0700u);  // narrowed

    std::filesystem::remove(parent);
    std::filesystem::create_directory(scratch / "elsewhere");
    std::filesystem::create_directory_symlink(scratch / "elsewhere", parent);
    EXPECT_FALSE(PrivateTempParent());  // a planted link is not followed
    std::filesystem::remove(parent);
    test::WriteFileBytes(parent, "x");
    EXPECT_FALSE(PrivateTempParent());
}

TEST(Paths, TempDirIsRemovedAtExitOnRequest) {
    ScratchDir scratch;
    Process child(test::ChildArgv({"tempdir-exit"}));
    child.SetEnv("TMPDIR", scratch.Path().string());
    const auto result = child.Run();
    ASSERT_TRUE(result);
    ASSERT_EQ(result->exitCode, 0);
    const std::filesystem::path made = result->out;
    EXPECT_EQ(made.parent_path().parent_path(), scratch.Path());
    EXPECT_FALSE(std::filesystem::exists(made));
}

TEST(Paths, CreateDirectoryPathBuildsEveryMissingLevel) {
    ScratchDir scratch;
    const auto deep = scratch / "Mail" / "User0" / "Attach";
    EXPECT_TRUE(CreateDirectoryPath(deep));
    EXPECT_TRUE(std::filesystem::is_directory(deep));
    EXPECT_EQ(ModeOf(scratch / "Mail"), 0700u);
    EXPECT_TRUE(CreateDirectoryPath(deep));                             // all there already
    EXPECT_TRUE(CreateDirectoryPath(scratch / "Mail" / "User1" / ""));  // trailing separator
    EXPECT_TRUE(std::filesystem::is_directory(scratch / "Mail" / "User1"));

    test::WriteFileBytes(scratch / "file", "x");
    EXPECT_FALSE(CreateDirectoryPath(scratch / "file"));
    EXPECT_FALSE(CreateDirectoryPath(scratch / "file" / "below"));
    EXPECT_FALSE(CreateDirectoryPath(""));

    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(scratch.Path());
    EXPECT_TRUE(CreateDirectoryPath("rel/ative"));
    std::filesystem::current_path(cwd);
    EXPECT_TRUE(std::filesystem::is_directory(scratch / "rel" / "ative"));
}

TEST(Paths, NamesAndDirectoriesOfThisMachine) {
    const passwd* pw = getpwuid(geteuid());
    ASSERT_NE(pw, nullptr);
    EXPECT_EQ(UserName(), pw->pw_name);
    EXPECT_FALSE(HostName().empty());

    const auto exe = std::filesystem::read_symlink("/proc/self/exe");
    EXPECT_EQ(ProgramDir(), exe.parent_path());
    {
        EnvOverride data("CORVINA_DATA_DIR", nullptr);
        EXPECT_EQ(DataDir(), exe.parent_path().parent_path() / "share" / "corvina");
    }
    {
        EnvOverride data("CORVINA_DATA_DIR", "/opt/corvina-data");
        EXPECT_EQ(DataDir(), std::filesystem::path("/opt/corvina-data"));
    }

    EnvOverride home("HOME", "/home/tester");
    {
        EnvOverride xdg("XDG_DATA_HOME", nullptr);
        EXPECT_EQ(CandidateHomeDir(),
                  std::filesystem::path("/home/tester/.local/share/corvina") / UserName() / "");
    }
    {
        EnvOverride xdg("XDG_DATA_HOME", "/data");
        EXPECT_EQ(CandidateHomeDir().string(), "/data/corvina/" + UserName() + "/");
    }
    {
        EnvOverride xdg("XDG_DATA_HOME", "not/absolute");
        EXPECT_EQ(CandidateHomeDir().parent_path().parent_path().parent_path(),
                  std::filesystem::path("/home/tester/.local/share"));
    }

    ScratchDir scratch;
    {
        EnvOverride runtime("XDG_RUNTIME_DIR", scratch.Path().c_str());
        EXPECT_EQ(RuntimeDir(), scratch.Path());
    }
    {
        EnvOverride runtime("XDG_RUNTIME_DIR", (scratch / "missing").c_str());
        EXPECT_EQ(RuntimeDir(), PrivateTempParent());
    }
}

}  // namespace
}  // namespace corvina
