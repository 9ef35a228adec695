// The editor model on a 100,000-line body of about 8 MB (English prose,
// Japanese lines, a few lines of several KB), in code page 932 and in
// UTF-8, beside QScintilla and Qt's QTextDocument doing the same edits:
//   - attach the body and compute the first screen of display rows;
//   - type 10,000 characters at the end, in the middle (line 50,000) and at
//     the start, timing every character;
//   - delete 10,000 lines one by one at line 50,000;
//   - undo everything the history holds, then redo it all.
// Each editor runs the steps in this order on one document; the figures
// are the time of each step, the heap a line costs after loading, and the
// undo steps each side took. A table of all of them ends the run. The text
// every editor holds after redoing is checked against the edits worked out
// on plain strings.
// Times are the thread's CPU time, so that a busy machine does not blur
// them; only the times of single typed characters (the 99.9th percentile
// and the longest) are wall-clock times, taken with a cheaper clock, and
// may include a moment the thread was not running.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "BenchmarkSteps.h"
#include "EditorBodyGenerator.h"
#include "EditorPeers.h"
#include "common/CodePage.h"
#include "editor/DisplayRows.h"
#include "message/MailMessage.h"

#include "editor/EditorHost.h"
#include "editor/EditorOptions.h"
#include "editor/TextEditor.h"

namespace {

using namespace corvina;
using namespace corvina::bench;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kLines = 100000;
constexpr std::size_t kTyped = 10000;
constexpr std::size_t kDeleted = 10000;
constexpr std::size_t kMiddleLine = 50000;
constexpr ScreenShape kScreen{80, 60};
constexpr int kTabWidth = 8;
// Far more undo steps than the edits can make: a guard against an editor
// that never reports its history empty.
constexpr long kMaxHistorySteps = 1000000;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Heap in use, the blocks malloc maps on its own included.
std::int64_t HeapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return static_cast<std::int64_t>(m.uordblks + m.hblkhd);
}

struct Body {
    std::string utf8;
    std::string sjis;
    bool roundTrips = false;  // the Shift_JIS text converts back unchanged
};

const Body& TheBody() {
    static const Body body = [] {
        Body b;
        b.utf8 = EditorBodyGenerator().Utf8Body(kLines);
        const CodePage& sjis = CodePage::Get(CodePage::kShiftJis);
        b.sjis = sjis.FromUtf8(b.utf8);
        b.roundTrips = sjis.ToUtf8(b.sjis) == b.utf8;
        return b;
    }();
    return body;
}

const std::string& BodyIn(int codePage) {
    return codePage == CodePage::kShiftJis ? TheBody().sjis : TheBody().utf8;
}

char TypedChar(std::size_t i) {
    static constexpr std::string_view kText = "Thanks, I will look at the patch tomorrow. ";
    return kText[i % kText.size()];
}

// The body after every edit, worked out on plain strings: what each editor
// must hold once it has redone everything.
std::string ExpectedText() {
    std::vector<std::string> lines;
    std::string_view rest = TheBody().utf8;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        lines.emplace_back(rest.substr(0, end));
        rest.remove_prefix(end + 1);
    }
    std::string typed;
    for (std::size_t i = 0; i < kTyped; ++i) {
        typed += TypedChar(i);
    }
    lines.back() += typed;
    lines[kMiddleLine].insert(0, typed);
    lines[0].insert(0, typed);
    lines.erase(lines.begin() + kMiddleLine, lines.begin() + kMiddleLine + kDeleted);
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += '\n';
    }
    return text;
}

// The bench's view: it shows nothing, so every call is answered at once.
class QuietHost final : public EditorHost {
public:
    std::string ClipboardText() override { return {}; }
    void SetClipboardText(std::string_view) override {}
    void Beep() override {}
    void ShowStatus(std::string_view) override {}
    void RedrawRows(long, long) override {}
    void RedrawAll() override {}
    void EnsureCaretVisible() override {}
    bool AskString(std::string_view, std::string&) override { return false; }
    void PostFrameCommand(int) override {}
};

class OursSubject final : public Subject {
public:
    explicit OursSubject(int codePage)
        : codePage_(codePage), name_("ours " + std::to_string(codePage)) {
        options_.defaultColumn = kScreen.columns;
        options_.defaultTab = kTabWidth;
        // The peers do not break lines as they are typed.
        options_.autoSplit = false;
    }

    const char* Name() const override { return name_.c_str(); }
    void Activate() override { CodePage::SetWorking(codePage_); }

    void Reset() override {
        editor_.reset();
        message_.reset();
    }

    // As the mailbox loader does: one Append per line into the message's
    // body, then the rows of the lines on the first screen.
    void Load() override {
        const std::size_t freeBlocks = LinePool::Shared().BlocksFree();
        message_ = std::make_unique<MailMessage>();
        std::string_view rest = BodyIn(codePage_);
        while (!rest.empty()) {
            const std::size_t end = rest.find('\n');
            message_->AddBodyLine(rest.substr(0, end));
            rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        }
        editor_ = std::make_unique<TextEditor>(host_, options_);
        editor_->Attach(*message_);
        const RowMetrics metrics{&CodePage::Get(codePage_), kTabWidth, kScreen.columns};
        BodyLines& lines = message_->bodyLines;
        for (std::size_t i = 0; i < std::min<std::size_t>(kScreen.rows, lines.size()); ++i) {
            MessageLine& line = lines.Line(i);
            if (line.rowCount == 0) {
                line.rowCount = static_cast<std::uint16_t>(CountRows(line.Text(), metrics));
            }
        }
        const std::size_t stillFree = LinePool::Shared().BlocksFree();
        reused_ = freeBlocks > stillFree
                      ? static_cast<std::int64_t>((freeBlocks - stillFree) * LinePool::kBlockSize)
                      : 0;
    }
    std::int64_t ReusedBytes() const override { return reused_; }

    void MoveTo(std::size_t line, bool lineEnd) override {
        editor_->MoveCaretTo(line, lineEnd ? message_->bodyLines[line].Content().size() : 0);
    }
    void Type(char c) override { editor_->TypeChar(static_cast<unsigned char>(c)); }
    void EndTyping() override { editor_->FocusOut(); }
    void DeleteLine() override { editor_->DeleteLine(); }
    bool Undo() override { return editor_->Undo(); }
    bool Redo() override { return editor_->Redo(); }
    std::string TextUtf8() override {
        return codePage_ == CodePage::kUtf8 ? editor_->Text()
                                            : CodePage::Get(codePage_).ToUtf8(editor_->Text());
    }

private:
    int codePage_;
    std::string name_;
    std::unique_ptr<MailMessage> message_;
    std::int64_t reused_ = 0;
    QuietHost host_;
    EditorOptions options_;
    std::unique_ptr<TextEditor> editor_;
};

enum Step { kLoad, kTypeEnd, kTypeMiddle, kTypeStart, kDeleteLines, kUndoAll, kRedoAll, kSteps };

const char* const kStepNames[kSteps] = {"load_first_screen", "type_at_end",  "type_in_middle",
                                        "type_at_start",     "delete_lines", "undo_all",
                                        "redo_all"};

struct Figures {
    double seconds = 0;
    double meanCharSeconds = 0;
    double p999CharSeconds = 0;
    double maxCharSeconds = 0;
    long steps = 0;
    double bytesPerLine = 0;
    // After undo: 1 the loaded body again, -1 not (a history that holds
    // only the latest edits). After redo: 1 the edited body, -1 another.
    int textCheck = 0;
};

// One editor's document as it goes through the steps in order. A step
// asked for out of order (a repetition, a filter) replays the steps before
// it untimed on a fresh document.
class Session {
public:
    explicit Session(std::unique_ptr<Subject> subject) : subject_(std::move(subject)) {}

    Subject& subject() { return *subject_; }

    Figures Run(Step step) {
        subject_->Activate();
        if (done_ != step) {
            subject_->Reset();
            done_ = 0;
            while (done_ < step) {
                Do(static_cast<Step>(done_));
            }
        }
        return Do(step);
    }

    // Frees the document once its last step ran.
    void Release() {
        subject_->Reset();
        done_ = 0;
    }

private:
    Figures Do(Step step) {
        Figures f;
        const double start = ThreadCpuSeconds();
        switch (step) {
            case kLoad: {
                const std::int64_t before = HeapInUse();
                subject_->Load();
                f.seconds = ThreadCpuSeconds() - start;
                const std::int64_t held = HeapInUse() - before + subject_->ReusedBytes();
                f.bytesPerLine = static_cast<double>(held) / static_cast<double>(kLines);
                subject_->PrepareEditing();
                break;
            }
            case kTypeEnd:
            case kTypeMiddle:
            case kTypeStart: {
                const std::size_t line = step == kTypeEnd      ? kLines - 1
                                         : step == kTypeMiddle ? kMiddleLine
                                                               : 0;
                subject_->MoveTo(line, step == kTypeEnd);
                std::vector<Clock::duration> each(kTyped);
                const double typing = ThreadCpuSeconds();
                for (std::size_t i = 0; i < kTyped; ++i) {
                    const Clock::time_point t0 = Clock::now();
                    subject_->Type(TypedChar(i));
                    each[i] = Clock::now() - t0;
                }
                f.meanCharSeconds = (ThreadCpuSeconds() - typing) / static_cast<double>(kTyped);
                subject_->EndTyping();
                auto nth = each.begin() + static_cast<std::ptrdiff_t>(kTyped * 999 / 1000);
                std::nth_element(each.begin(), nth, each.end());
                f.p999CharSeconds = Seconds(*nth);
                f.maxCharSeconds = Seconds(*std::max_element(nth, each.end()));
                f.seconds = ThreadCpuSeconds() - start;
                break;
            }
            case kDeleteLines:
                subject_->MoveTo(kMiddleLine, false);
                for (std::size_t i = 0; i < kDeleted; ++i) {
                    subject_->DeleteLine();
                }
                f.seconds = ThreadCpuSeconds() - start;
                break;
            case kUndoAll:
            case kRedoAll: {
                const bool undo = step == kUndoAll;
                while (f.steps < kMaxHistorySteps && (undo ? subject_->Undo() : subject_->Redo())) {
                    ++f.steps;
                }
                f.seconds = ThreadCpuSeconds() - start;
                if (undo) {
                    f.textCheck = subject_->TextUtf8() == TheBody().utf8 ? 1 : -1;
                } else {
                    static const std::string expected = ExpectedText();
                    f.textCheck = subject_->TextUtf8() == expected ? 1 : -1;
                }
                break;
            }
            case kSteps:
                break;
        }
        done_ = step + 1;
        return f;
    }

    std::unique_ptr<Subject> subject_;
    int done_ = 0;
};

// Every repetition's figures by step and editor, for the table at the end.
std::map<std::pair<int, int>, std::vector<Figures>>& Runs() {
    static std::map<std::pair<int, int>, std::vector<Figures>> runs;
    return runs;
}

// The table's cells by row and editor.
using Cells = std::map<std::pair<int, int>, std::string>;

enum Row {
    kRowLoad,
    kRowMemory,
    kRowTypeEnd,
    kRowTypeMiddle,
    kRowTypeStart,
    kRowDelete,
    kRowUndo,
    kRowUndoneText,
    kRowRedo,
    kRowRedoneText,
    kRows
};

const char* const kRowNames[kRows] = {"attach + first screen",
                                      "heap per line",
                                      "type 10,000 at end",
                                      "type 10,000 at 50,000",
                                      "type 10,000 at start",
                                      "delete 10,000 lines",
                                      "undo all",
                                      "text after undo",
                                      "redo all",
                                      "text after redo"};

template <typename... Values>
std::string Format(const char* format, Values... values) {
    char text[64];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

void FillCells(Cells& cells, int column, Step step, const Figures& f) {
    switch (step) {
        case kLoad:
            cells[{kRowLoad, column}] = Format("%.1f ms", f.seconds * 1e3);
            cells[{kRowMemory, column}] = Format("%.0f bytes", f.bytesPerLine);
            break;
        case kTypeEnd:
        case kTypeMiddle:
        case kTypeStart:
            cells[{kRowTypeEnd + (step - kTypeEnd), column}] =
                Format("%.2f us, 99.9%% %.0f, max %.0f", f.meanCharSeconds * 1e6,
                       f.p999CharSeconds * 1e6, f.maxCharSeconds * 1e6);
            break;
        case kDeleteLines:
            cells[{kRowDelete, column}] = Format("%.1f ms", f.seconds * 1e3);
            break;
        case kUndoAll:
        case kRedoAll:
            cells[{step == kUndoAll ? kRowUndo : kRowRedo, column}] =
                Format("%.1f ms, %ld steps", f.seconds * 1e3, f.steps);
            if (step == kUndoAll) {
                cells[{kRowUndoneText, column}] =
                    f.textCheck > 0 ? "the loaded body" : "partly undone";
            } else {
                cells[{kRowRedoneText, column}] = f.textCheck > 0 ? "as expected" : "DIFFERS";
            }
            break;
        case kSteps:
            break;
    }
}

void RunStep(benchmark::State& state, Session* session, int column, Step step) {
    Figures f;
    for (auto _ : state) {
        f = session->Run(step);
        state.SetIterationTime(f.seconds);
    }
    if (step == kLoad) {
        state.counters["bytes_per_line"] = f.bytesPerLine;
    } else if (step <= kTypeStart) {
        state.counters["us_per_char"] = f.meanCharSeconds * 1e6;
        state.counters["p999_us_per_char"] = f.p999CharSeconds * 1e6;
        state.counters["max_us_per_char"] = f.maxCharSeconds * 1e6;
    } else if (step >= kUndoAll) {
        state.counters["steps"] = static_cast<double>(f.steps);
    }
    if (step == kRedoAll && f.textCheck < 0) {
        state.SkipWithError("the text after redoing everything is not the edited body");
    }
    Runs()[{step, column}].push_back(f);
    if (step == kRedoAll) {
        session->Release();
    }
}

void PrintTable(const std::vector<std::unique_ptr<Session>>& sessions,
                const std::vector<std::string>& notes) {
    // With repetitions, each cell shows the run of median time.
    Cells cells;
    for (auto& [key, runs] : Runs()) {
        auto median = runs.begin() + static_cast<std::ptrdiff_t>(runs.size() / 2);
        std::nth_element(runs.begin(), median, runs.end(),
                         [](const Figures& a, const Figures& b) { return a.seconds < b.seconds; });
        FillCells(cells, key.second, static_cast<Step>(key.first), *median);
    }
    const Body& body = TheBody();
    std::printf("\nEditor figures: %zu lines, %zu bytes in UTF-8, %zu in Shift_JIS%s\n", kLines,
                body.utf8.size(), body.sjis.size(),
                body.roundTrips ? "" : " (WARNING: the Shift_JIS body does not convert back)");
    std::printf("%-24s", "operation");
    for (const auto& s : sessions) {
        std::printf(" | %-30s", s->subject().Name());
    }
    std::printf("\n");
    for (int row = 0; row < kRows; ++row) {
        std::printf("%-24s", kRowNames[row]);
        for (int column = 0; column < static_cast<int>(sessions.size()); ++column) {
            auto it = cells.find({row, column});
            std::printf(" | %-30s", it != cells.end() ? it->second.c_str() : "-");
        }
        std::printf("\n");
    }
    for (const std::string& note : notes) {
        std::printf("%s\n", note.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> notes;
#ifdef CORVINA_HAVE_QT
    // Never a window on the desktop: the peers paint offscreen.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
#else
    notes.push_back(
        "QScintilla and QTextDocument not measured: install qt6-base-dev and "
        "libqscintilla2-qt6-dev and configure again.");
#endif
    std::vector<std::unique_ptr<Session>> sessions;
    sessions.push_back(
        std::make_unique<Session>(std::make_unique<OursSubject>(CodePage::kShiftJis)));
    sessions.push_back(std::make_unique<Session>(std::make_unique<OursSubject>(CodePage::kUtf8)));
#ifdef CORVINA_HAVE_QSCINTILLA
    sessions.push_back(
        std::make_unique<Session>(std::make_unique<ScintillaSubject>(TheBody().utf8, kScreen)));
#elif defined(CORVINA_HAVE_QT)
    notes.push_back("QScintilla not measured: install libqscintilla2-qt6-dev and configure again.");
#endif
#ifdef CORVINA_HAVE_QT
    sessions.push_back(
        std::make_unique<Session>(std::make_unique<TextDocumentSubject>(TheBody().utf8, kScreen)));
#endif
    notes.push_back(
        "Typing: time of one character in microseconds: the mean (CPU), the 99.9th percentile "
        "and the longest (wall clock); ours with autoSplit off, QScintilla with modification "
        "notices off, QTextDocument without its layout while editing (EditorPeers.h says why). "
        "Undo: steps until the history is empty (ours holds 64 KiB of recorded text).");

    const Body& body = TheBody();
    benchmark::AddCustomContext(
        "editor_body", std::to_string(kLines) + " lines, " + std::to_string(body.utf8.size()) +
                           " bytes UTF-8, " + std::to_string(body.sjis.size()) +
                           " bytes Shift_JIS");
    for (int column = 0; column < static_cast<int>(sessions.size()); ++column) {
        Session* session = sessions[column].get();
        RegisterSteps("BM_Editor", session->subject().Name(), kStepNames, kSteps,
                      [session, column](benchmark::State& state, int step) {
                          RunStep(state, session, column, static_cast<Step>(step));
                      });
    }
    if (!RunRegistered(argc, argv)) {
        return 1;
    }
    PrintTable(sessions, notes);
    return 0;
}
