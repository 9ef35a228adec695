// Search speed on a 50 MB body of mixed English and Japanese lines, in
// Shift_JIS and in UTF-8: every match of a literal, a case-folded literal,
// a Japanese literal and a regular expression with alternatives and a
// class is counted by walking the document with repeated FindForward.
// Beside ours: grep (the floor; `grep -c` counts lines, `grep -o | wc -l`
// matches), QScintilla's SCI_SEARCHINTARGET on a document holding the same
// bytes, and std::regex over each line. Then the pathological (a|aa)*b
// over 1 MB of "a". Times are CPU seconds (grep's as a child process); a
// table of MB/s ends the run.

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "BenchmarkSteps.h"
#include "EditorBodyGenerator.h"
#include "EditorPeers.h"
#include "common/CodePage.h"
#include "editor/SearchPattern.h"

namespace corvina::bench {
namespace {

constexpr std::size_t kBodyBytes = std::size_t{50} << 20;

struct Search {
    const char* name;
    const char* pattern;  // UTF-8; converted to the body's code page
    const char* letters;  // our options
    bool ignoreCase;
    bool regex;
};

const Search kSearches[] = {
    {"literal", "server", "", false, false},
    {"case-folded literal", "SERVER", "I", true, false},
    {"Japanese literal", "サーバー", "", false, false},
    {"regex (reply|patch) [a-z]+", "(reply|patch) [a-z]+", "R", false, true},
};

struct Body {
    std::string bytes;
    std::vector<std::string_view> lines;
};

const Body& BodyIn(int codePage) {
    static const std::map<int, Body> bodies = [] {
        std::map<int, Body> out;
        EditorBodyGenerator generator;
        std::string utf8;
        while (utf8.size() < kBodyBytes) {
            utf8 += generator.Utf8Body(10000);
        }
        out[CodePage::kUtf8].bytes = utf8;
        out[CodePage::kShiftJis].bytes = CodePage::Get(CodePage::kShiftJis).FromUtf8(utf8);
        for (auto& [page, body] : out) {
            std::size_t start = 0;
            while (start < body.bytes.size()) {
                const std::size_t lf = body.bytes.find('\n', start);
                body.lines.emplace_back(body.bytes.data() + start, lf - start);
                start = lf + 1;
            }
        }
        return out;
    }();
    return bodies.at(codePage);
}

class BodyText : public SearchText {
public:
    explicit BodyText(const Body& body) : body_(body) {}
    std::size_t LineCount() const override { return body_.lines.size(); }
    std::string_view Line(std::size_t line) const override { return body_.lines[line]; }

private:
    const Body& body_;
};

// CPU seconds of this thread (and of finished child processes): on a
// shared machine, what the work cost rather than how long others ran.
double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return now.tv_sec + now.tv_nsec / 1e9 + seconds(children.ru_utime) + seconds(children.ru_stime);
}

double Seconds(double since) {
    return CpuSeconds() - since;
}

struct Result {
    double seconds = -1;
    long count = -1;
    std::string note;
};

// Our count: FindForward again from the end of each match.
Result Ours(int codePage, const Search& search) {
    const CodePage& page = CodePage::Get(codePage);
    const std::string pattern = page.FromUtf8(search.pattern);
    const Body& body = BodyIn(codePage);
    std::string error;
    const auto compiled =
        SearchPattern::Compile(pattern, SearchOptions::FromLetters(search.letters), page, &error);
    Result result;
    if (!compiled) {
        result.note = error;
        return result;
    }
    const BodyText text(body);
    const double start = CpuSeconds();
    long count = 0;
    TextPlace from{};
    while (const auto match = compiled->FindForward(text, from)) {
        ++count;
        from = match->end;
        if (match->end == match->start) {
            ++from.offset;
        }
    }
    result.seconds = Seconds(start);
    result.count = count;
    return result;
}

std::string ShellQuote(std::string_view text) {
    std::string out = "'";
    for (const char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

// grep over the same bytes written to a file: the floor.
Result Grep(int codePage, const Search& search, bool countMatches) {
    const CodePage& page = CodePage::Get(codePage);
    const auto file = std::filesystem::temp_directory_path() /
                      ("corvina-bench-search-" + std::to_string(codePage) + ".txt");
    if (!std::filesystem::exists(file)) {
        std::ofstream(file, std::ios::binary) << BodyIn(codePage).bytes;
    }
    const std::string pattern = page.FromUtf8(search.pattern);
    std::string command = "LC_ALL=" + std::string(codePage == CodePage::kUtf8 ? "C.UTF-8" : "C") +
                          " grep " + (search.regex ? "-E " : "-F ") +
                          (search.ignoreCase ? "-i " : "") + (countMatches ? "-o " : "-c ") +
                          ShellQuote(pattern) + " " + ShellQuote(file.string()) +
                          (countMatches ? " | wc -l" : "");
    Result result;
    const double start = CpuSeconds();
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        result.note = "grep could not run";
        return result;
    }
    long count = -1;
    if (std::fscanf(pipe, "%ld", &count) != 1) {
        count = -1;
    }
    pclose(pipe);
    result.seconds = Seconds(start);
    result.count = count;
    return result;
}

// std::regex, line by line (ECMAScript grammar; icase for the folded one).
Result StdRegex(int codePage, const Search& search) {
    const CodePage& page = CodePage::Get(codePage);
    const std::string pattern = page.FromUtf8(search.pattern);
    auto flags = std::regex::ECMAScript | std::regex::optimize;
    if (search.ignoreCase) {
        flags |= std::regex::icase;
    }
    const std::regex re(
        search.regex ? pattern
                     : std::regex_replace(pattern, std::regex(R"([()|.*+?\[\]\\^$])"), R"(\$&)"),
        flags);
    Result result;
    const double start = CpuSeconds();
    long count = 0;
    for (const std::string_view line : BodyIn(codePage).lines) {
        count += std::distance(std::cregex_iterator(line.data(), line.data() + line.size(), re),
                               std::cregex_iterator());
    }
    result.seconds = Seconds(start);
    result.count = count;
    return result;
}

#ifdef CORVINA_HAVE_QSCINTILLA
// QScintilla: SCI_SEARCHINTARGET over the document from each match's end.
Result Scintilla(int codePage, const Search& search) {
    const CodePage& page = CodePage::Get(codePage);
    const std::string pattern = page.FromUtf8(search.pattern);
    QsciScintillaBase view;
    const auto send = [&view](unsigned int message, unsigned long wParam = 0, long lParam = 0) {
        return view.SendScintilla(message, wParam, lParam);
    };
    send(QsciScintillaBase::SCI_SETMODEVENTMASK, 0);
    send(QsciScintillaBase::SCI_SETUNDOCOLLECTION, 0);
    send(QsciScintillaBase::SCI_SETCODEPAGE,
         codePage == CodePage::kUtf8 ? QsciScintillaBase::SC_CP_UTF8 : 932);
    send(QsciScintillaBase::SCI_SETEOLMODE, QsciScintillaBase::SC_EOL_LF);
    const std::string& bytes = BodyIn(codePage).bytes;
    view.SendScintilla(QsciScintillaBase::SCI_SETTEXT, bytes.c_str());
    const long length = send(QsciScintillaBase::SCI_GETLENGTH);
    long flags = search.ignoreCase ? 0 : QsciScintillaBase::SCFIND_MATCHCASE;
    if (search.regex) {
        // Scintilla's own regular expressions have no "|": the C++11 engine.
        flags |= QsciScintillaBase::SCFIND_REGEXP | QsciScintillaBase::SCFIND_CXX11REGEX;
    }
    send(QsciScintillaBase::SCI_SETSEARCHFLAGS, static_cast<unsigned long>(flags));
    Result result;
    const double start = CpuSeconds();
    long count = 0;
    long from = 0;
    while (true) {
        send(QsciScintillaBase::SCI_SETTARGETRANGE, static_cast<unsigned long>(from), length);
        const long found =
            view.SendScintilla(QsciScintillaBase::SCI_SEARCHINTARGET,
                               static_cast<unsigned long>(pattern.size()), pattern.c_str());
        if (found < 0) {
            if (found == -2) {
                result.note = "pattern refused";
            }
            break;
        }
        ++count;
        const long end = send(QsciScintillaBase::SCI_GETTARGETEND);
        from = end > found ? end : found + 1;
    }
    result.seconds = Seconds(start);
    result.count = count;
    return result;
}
#endif

enum Engine { kOurs, kGrepLines, kGrepMatches, kScintilla, kStdRegex, kEngines };
const char* const kEngineNames[] = {"Corvina", "grep -c", "grep -o | wc -l", "QScintilla",
                                    "std::regex"};

std::map<std::tuple<int, int, int>, Result>& Results() {
    static std::map<std::tuple<int, int, int>, Result> results;
    return results;
}

Result Run(Engine engine, int codePage, const Search& search) {
    switch (engine) {
        case kOurs:
            return Ours(codePage, search);
        case kGrepLines:
            return Grep(codePage, search, false);
        case kGrepMatches:
            return Grep(codePage, search, true);
        case kScintilla:
#ifdef CORVINA_HAVE_QSCINTILLA
            return Scintilla(codePage, search);
#else
            return Result{-1, -1, "not built"};
#endif
        case kStdRegex:
            return StdRegex(codePage, search);
        case kEngines:
            break;
    }
    return {};
}

double Pathological() {
    const std::string as(std::size_t{1} << 20, 'a');
    const std::vector<std::string_view> lines = {as};
    Body body;
    body.lines = lines;
    const BodyText text(body);
    const auto pattern = SearchPattern::Compile("(a|aa)*b", SearchOptions::FromLetters("R"),
                                                CodePage::Get(CodePage::kShiftJis), nullptr);
    const double start = CpuSeconds();
    const bool found = pattern->FindForward(text, {}).has_value();
    const double seconds = Seconds(start);
    return found ? -1 : seconds;
}

void PrintTable() {
    std::printf("\nSearch figures: %.1f MB Shift_JIS, %.1f MB UTF-8 (MB/s, matches)\n",
                BodyIn(CodePage::kShiftJis).bytes.size() / 1e6,
                BodyIn(CodePage::kUtf8).bytes.size() / 1e6);
    std::printf("%-36s", "search");
    for (const char* name : kEngineNames) {
        std::printf(" | %-20s", name);
    }
    std::printf("\n");
    for (const int codePage : {CodePage::kShiftJis, CodePage::kUtf8}) {
        for (int s = 0; s < static_cast<int>(std::size(kSearches)); ++s) {
            std::printf("%-36s", (std::string(kSearches[s].name) +
                                  (codePage == CodePage::kUtf8 ? " (UTF-8)" : " (932)"))
                                     .c_str());
            for (int engine = 0; engine < kEngines; ++engine) {
                const auto it = Results().find({codePage, s, engine});
                char cell[64] = "-";
                if (it != Results().end() && it->second.seconds > 0) {
                    std::snprintf(cell, sizeof cell, "%7.0f %9ld%s",
                                  BodyIn(codePage).bytes.size() / 1e6 / it->second.seconds,
                                  it->second.count, it->second.note.empty() ? "" : " *");
                } else if (it != Results().end() && !it->second.note.empty()) {
                    std::snprintf(cell, sizeof cell, "%s", it->second.note.c_str());
                }
                std::printf(" | %-20s", cell);
            }
            std::printf("\n");
        }
    }
    const double pathological = Pathological();
    std::printf("(a|aa)*b over 1 MB of \"a\": %.2f ms\n", pathological * 1e3);
    std::printf(
        "grep -c counts lines, the others matches. QScintilla's regex is its C++11 engine "
        "(its own has no \"|\"); its 932 document holds the Shift_JIS bytes.\n");
}

}  // namespace
}  // namespace corvina::bench

int main(int argc, char** argv) {
    using namespace corvina::bench;
#ifdef CORVINA_HAVE_QT
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
#endif
    for (const int codePage : {corvina::CodePage::kShiftJis, corvina::CodePage::kUtf8}) {
        for (int s = 0; s < static_cast<int>(std::size(kSearches)); ++s) {
            for (int engine = 0; engine < kEngines; ++engine) {
                const std::string name = std::string("BM_Search/") + kEngineNames[engine] + "/" +
                                         kSearches[s].name + "/" + std::to_string(codePage);
                benchmark::RegisterBenchmark(
                    name.c_str(),
                    [=](benchmark::State& state) {
                        for (auto _ : state) {
                            const Result result =
                                Run(static_cast<Engine>(engine), codePage, kSearches[s]);
                            Results()[{codePage, s, engine}] = result;
                            state.SetIterationTime(result.seconds > 0 ? result.seconds : 0);
                            state.counters["matches"] = static_cast<double>(result.count);
                        }
                    })
                    ->Iterations(1)
                    ->UseManualTime()
                    ->Unit(benchmark::kMillisecond);
            }
        }
    }
    if (!RunRegistered(argc, argv)) {
        return 1;
    }
    PrintTable();
    return 0;
}
