// Message list benchmarks on 100,000 message records (CORVINA_BENCH_MESSAGES
// changes the count) shaped like a busy mailing-list folder: most mail
// answers an earlier message of the folder, some answers mail that is not
// there, some arrives twice, and a few threads grow very wide or deep.
//   - the display order newest first and threaded;
//   - the threaded order of one thread of that size, all replies to one
//     message or one long chain (the shapes that make plain scans slow);
//   - FillMessageList of a loaded folder, threaded, and a threaded sort.
// The records are built in memory: the mailbox generator's replies point at
// messages outside the folder, so they would not form threads.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "store/FolderStat.h"
#include "store/MailFolder.h"
#include "message/MailMessage.h"
#include "store/MessageList.h"
#include "store/ThreadOrder.h"

namespace fs = std::filesystem;
using namespace corvina;

namespace {

int MessageCount() {
    const char* text = std::getenv("CORVINA_BENCH_MESSAGES");
    const int n = text != nullptr ? std::atoi(text) : 0;
    return n > 0 ? n : 100000;
}

using Messages = std::vector<std::unique_ptr<MailMessage>>;

std::string Id(int i) {
    return "<" + std::to_string(i) + ".mail@lists.example.org>";
}

void FillFolder(Messages& out, int count) {
    std::mt19937 rng(42);
    static const char* const kTopics[] = {"Build broken on arm64", "Release planning",
                                          "Patch review", "Lunch", "Memory leak in parser"};
    for (int i = 0; i < count; ++i) {
        auto m = std::make_unique<MailMessage>(0);
        const unsigned roll = rng() % 100;
        m->messageId = roll < 2 && i > 0 ? Id(i - 1) : Id(i);  // 2% duplicates
        if (i > 0 && roll >= 30) {
            // Replies mostly answer recent mail, sometimes old or missing mail.
            const int back =
                roll < 90 ? 1 + static_cast<int>(rng() % 50) : 1 + static_cast<int>(rng() % i);
            m->parentReference = roll < 95 ? Id(i - std::min(back, i)) : Id(count + i);
        }
        m->subject = std::string(m->parentReference.empty() ? "" : "Re: ") +
                     kTopics[rng() % std::size(kTopics)] + " #" + std::to_string(i % 997);
        m->from = "Someone <someone" + std::to_string(i % 300) + "@example.org>";
        m->to = "list@lists.example.org";
        m->date = "Tue, " + std::to_string(1 + i % 28) +
                  " Mar 2025 10:" + std::to_string(10 + i % 50) + ":07 +0000";
        m->bodyLineCount = 5 + static_cast<int>(rng() % 200);
        m->read = rng() % 3 != 0;
        out.push_back(std::move(m));
    }
}

const Messages& Folder() {
    static Messages messages = [] {
        Messages m;
        FillFolder(m, MessageCount());
        return m;
    }();
    return messages;
}

void BM_NewestFirstOrder(benchmark::State& state) {
    const int n = static_cast<int>(Folder().size());
    for (auto _ : state) {
        benchmark::DoNotOptimize(NewestFirstOrder(n));
    }
    state.counters["messages"] = n;
}

void BM_ThreadedOrder(benchmark::State& state) {
    const Messages& messages = Folder();
    for (auto _ : state) {
        benchmark::DoNotOptimize(ThreadedOrder(messages));
    }
    state.counters["messages"] = static_cast<double>(messages.size());
}

void BM_ThreadedOrderOneThread(benchmark::State& state) {
    const bool chain = state.range(0) != 0;
    Messages messages;
    const int n = MessageCount();
    for (int i = 0; i < n; ++i) {
        auto m = std::make_unique<MailMessage>(0);
        m->messageId = Id(i);
        if (i > 0)
            m->parentReference = chain ? Id(i - 1) : Id(0);
        m->subject = "Re: Release planning";
        messages.push_back(std::move(m));
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(ThreadedOrder(messages));
    }
    state.SetLabel(chain ? "one chain" : "all replies to one message");
}

// FillMessageList and a threaded sort over a folder that is already in
// memory (as after LoadFolder), with the Thread key set.
void BM_FillAndSortThreaded(benchmark::State& state) {
    const fs::path dir =
        fs::temp_directory_path() / ("corvina-bench-list-" + std::to_string(getpid()));
    fs::create_directories(dir);
    MailFolder folder(dir / "InBox.mbx");
    FillFolder(folder.messages, MessageCount());
    for (auto& m : folder.messages)
        m->owner = &folder;
    folder.modified = true;
    folder.total = static_cast<int>(folder.messages.size());
    WriteFolderStat(folder, "Settings", "Thread", 1);
    MessageListContext context;
    context.mailboxDir = dir;
    const bool sort = state.range(0) != 0;
    for (auto _ : state) {
        MessageList list(context);
        list.FillMessageList(&folder);
        if (sort)
            list.ClickColumn(2);
        benchmark::DoNotOptimize(list.Count());
    }
    state.SetLabel(sort ? "fill, then sort by date" : "fill");
    folder.messages.clear();
    std::error_code ec;
    fs::remove_all(dir, ec);
}

}  // namespace

BENCHMARK(BM_NewestFirstOrder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThreadedOrder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThreadedOrderOneThread)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillAndSortThreaded)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
