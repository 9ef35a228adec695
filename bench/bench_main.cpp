// The main window over a 100,000-message InBox of about 800 MB: process
// start until the list has painted its first rows, peak resident memory,
// selecting a message with a 10 MB body until the viewer's first paint,
// and switching from another folder back to the InBox (bench_main_window
// does the window's part in a child process and prints its marks). Beside
// it, on the same home, `corvina --list InBox` (the floor: the same folder
// read without a window) and neomutt opening the same messages exported
// as a UNIX mbox (`corvina --export InBox FILE --unix`), in a pseudo
// terminal of `script`. Medians of CORVINA_BENCH_ROUNDS rounds (3); the
// home is generated once into build/bench-cache (CORVINA_BENCH_MESSAGES
// changes the count).

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "SampleHome.h"
#include "common/CodePage.h"
#include "platform/ConfigStore.h"

namespace {

namespace fs = std::filesystem;

int EnvInt(const char* name, int fallback) {
    const char* text = std::getenv(name);
    const int n = text ? std::atoi(text) : 0;
    return n > 0 ? n : fallback;
}

long long MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

struct Run {
    bool ok = false;
    long long startNs = 0;
    double wallMs = 0;
    double maxRssMb = 0;
    std::string output;
};

// Runs argv (no shell) with `env` added, its output captured, until it ends.
Run RunChild(const std::vector<std::string>& argv,
             const std::vector<std::pair<std::string, std::string>>& env) {
    Run run;
    int out[2];
    if (pipe(out) != 0) {
        return run;
    }
    run.startNs = MonotonicNs();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        for (const auto& [name, value] : env) {
            setenv(name.c_str(), value.c_str(), 1);
        }
        std::vector<char*> args;
        for (const std::string& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(out[1]);
    char buffer[4096];
    ssize_t n;
    while ((n = read(out[0], buffer, sizeof buffer)) > 0) {
        run.output.append(buffer, static_cast<std::size_t>(n));
    }
    close(out[0]);
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) {
        return run;
    }
    run.wallMs = static_cast<double>(MonotonicNs() - run.startNs) / 1e6;
    run.maxRssMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

std::map<std::string, double> Marks(const std::string& output) {
    std::map<std::string, double> marks;
    std::size_t pos = 0;
    while (pos < output.size()) {
        std::size_t end = output.find('\n', pos);
        end = end == std::string::npos ? output.size() : end;
        const std::string line = output.substr(pos, end - pos);
        const std::size_t blank = line.find(' ');
        if (blank != std::string::npos) {
            marks[line.substr(0, blank)] = std::atof(line.c_str() + blank + 1);
        }
        pos = end + 1;
    }
    return marks;
}

double Median(std::vector<double> values) {
    if (values.empty()) {
        return -1;
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool OnPath(const char* program) {
    return std::system(("command -v " + std::string(program) + " >/dev/null 2>&1").c_str()) == 0;
}

void Row(const char* what, double ms, double rssMb, const char* goal) {
    const auto cell = [](double v, const char* unit) {
        char text[32];
        if (v < 0) {
            std::snprintf(text, sizeof text, "%s", "-");
        } else {
            std::snprintf(text, sizeof text, "%.1f %s", v, unit);
        }
        return std::string(text);
    };
    std::printf("%-46s %12s %10s   %s\n", what, cell(ms, "ms").c_str(), cell(rssMb, "MB").c_str(),
                goal);
}

}  // namespace

int main() {
    const fs::path self = fs::read_symlink("/proc/self/exe");
    const fs::path build = self.parent_path().parent_path();
    const int count = EnvInt("CORVINA_BENCH_MESSAGES", 100000);
    const int rounds = EnvInt("CORVINA_BENCH_ROUNDS", 3);
    corvina::CodePage::SetWorking(corvina::CodePage::kUtf8);

    std::string why;
    const long long generateStart = MonotonicNs();
    const std::optional<fs::path> home =
        corvina::test::LargeInBoxHome(build / "bench-cache", count, &why);
    if (!home) {
        std::fprintf(stderr, "bench_main: %s\n", why.c_str());
        return 1;
    }
    const fs::path settings = *home / "Corvina.ini";
    {
        corvina::ConfigStore config(settings);
        corvina::test::WriteSampleSettings(config, *home);
    }
    const fs::path inbox = corvina::test::SampleMailboxDir(*home) / "InBox.mbx";
    std::error_code ec;
    std::printf("load: %s",
                [] {
                    std::string text;
                    if (std::FILE* f = std::fopen("/proc/loadavg", "rb")) {
                        char line[128] = {};
                        if (std::fgets(line, sizeof line, f)) {
                            text = line;
                        }
                        std::fclose(f);
                    }
                    return text;
                }()
                    .c_str());
    std::printf("InBox: %d messages + one of 10 MB, %.0f MB (home ready in %.1f s)\n", count,
                static_cast<double>(fs::file_size(inbox, ec)) / 1e6,
                static_cast<double>(MonotonicNs() - generateStart) / 1e9);

    const std::vector<std::pair<std::string, std::string>> env = {
        {"CORVINA_CONFIG", settings.string()}, {"QT_QPA_PLATFORM", "offscreen"}};
    const std::string corvina = (build / "src" / "apps" / "corvina" / "corvina").string();
    const std::string window = (build / "bench" / "bench_main_window").string();

    std::vector<double> firstRows, windowRss, selectLarge, switchBack, listMs, listRss;
    for (int round = 0; round < rounds; ++round) {
        const Run w = RunChild({window, settings.string()}, env);
        const std::map<std::string, double> marks = Marks(w.output);
        if (!w.ok) {
            std::fprintf(stderr, "bench_main_window failed:\n%s\n", w.output.c_str());
        }
        const auto mark = [&](const char* name) {
            const auto it = marks.find(name);
            return it == marks.end() ? -1.0 : it->second;
        };
        const double rowsNs = mark("first_rows_ns");
        firstRows.push_back(rowsNs < 0 ? -1 : (rowsNs - static_cast<double>(w.startNs)) / 1e6);
        windowRss.push_back(w.maxRssMb);
        selectLarge.push_back(mark("select_large_ms"));
        switchBack.push_back(mark("switch_back_ms"));
        const Run l = RunChild({corvina, "--list", "InBox"}, env);
        listMs.push_back(l.ok ? l.wallMs : -1);
        listRss.push_back(l.ok ? l.maxRssMb : -1);
    }

    // neomutt reads the same messages as a UNIX mbox.
    double neomuttMs = -1;
    double neomuttRss = -1;
    const fs::path mbox = *home / "InBox.unix.mbox";
    if (!OnPath("neomutt") || !OnPath("script")) {
        std::fprintf(stderr, "neomutt or script is not installed; its row is skipped\n");
    } else if (fs::exists(mbox) ||
               RunChild({corvina, "--export", "InBox", mbox.string(), "--unix"}, env).ok) {
        const fs::path neomuttHome = *home / "neomutt-home";
        fs::create_directories(neomuttHome / "Mail", ec);
        const std::string command =
            "neomutt -n -F /dev/null -R -e 'set quit=yes mark_old=no folder=" +
            (neomuttHome / "Mail").string() + "' -f '" + mbox.string() + "' -e 'push q'";
        std::vector<double> times, rss;
        for (int round = 0; round < rounds; ++round) {
            const Run n = RunChild({"script", "-q", "-e", "-c", command, "/dev/null"},
                                   {{"HOME", neomuttHome.string()}, {"TERM", "xterm"}});
            if (n.ok) {
                times.push_back(n.wallMs);
                rss.push_back(n.maxRssMb);
            }
        }
        neomuttMs = Median(times);
        neomuttRss = Median(rss);
    }

    const double floor = Median(listMs);
    std::printf("\n%-46s %12s %10s   %s\n", "medians", "time", "max RSS", "goal");
    Row("window: start to list painted with rows", Median(firstRows), Median(windowRss),
        "<= 1.5 x --list, RSS < 300 MB");
    Row("corvina --list InBox (floor)", floor, Median(listRss), "");
    Row("neomutt -R opening the mbox (peer)", neomuttMs, neomuttRss, "");
    Row("select the 10 MB message, viewer painted", Median(selectLarge), -1, "< 50 ms");
    Row("switch back to the InBox, list painted", Median(switchBack), -1, "< 300 ms");
    if (floor > 0 && Median(firstRows) > 0) {
        std::printf("window / floor: %.2f\n", Median(firstRows) / floor);
    }
    return 0;
}
