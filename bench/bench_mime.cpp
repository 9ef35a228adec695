// ParseMessage throughput on generated messages of six kinds (plain text,
// multipart with a base64 attachment, ISO-2022-JP, quoted-printable,
// EUC-JP, Shift_JIS), with
// the attachment directory on a RAM-backed temporary directory; and
// BuildOutgoingText of a message with a 10 MB attachment.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "bench_mime_corpus.h"
#include "common/CodePage.h"
#include "message/Base64.h"
#include "message/QuotedPrintable.h"
#include "message/mime/MessageParser.h"
#include "message/mime/MimeTypeTable.h"
#include "message/mime/OutgoingText.h"
#include "message/MailMessage.h"

#ifdef CORVINA_HAVE_GMIME
#include <gmime/gmime.h>
#endif

namespace {

using namespace corvina;
using namespace corvina::bench;

void BM_ParseMessage(benchmark::State& state) {
    const Kind kind = static_cast<Kind>(state.range(0));
    const std::vector<std::string> corpus = Corpus(kind);
    static const MimeTypeTable types;
    ParseOptions options;
    options.codePage = &CodePage::Get(static_cast<int>(state.range(1)));
    options.types = &types;
    options.mailboxDirectory = RamDir();
    std::size_t bytes = 0;
    std::size_t messages = 0;
    for (auto _ : state) {
        for (const std::string& text : corpus) {
            MailMessage m;
            ParseMessage(m, text, options);
            benchmark::DoNotOptimize(m.bodyLineCount);
            bytes += text.size();
            ++messages;
        }
        state.PauseTiming();
        std::error_code ec;
        std::filesystem::remove_all(RamDir() / "Attach", ec);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.SetItemsProcessed(static_cast<int64_t>(messages));
}
#ifdef CORVINA_HAVE_GMIME
// GMime 3 on the same messages: parse, then decode every leaf part's
// content into memory (the transfer encoding undone).
void DecodePart(GMimeObject* parent, GMimeObject* part, gpointer data) {
    if (!GMIME_IS_PART(part)) {
        return;
    }
    GMimeDataWrapper* content = g_mime_part_get_content(GMIME_PART(part));
    if (content == nullptr) {
        return;
    }
    GMimeStream* out = g_mime_stream_mem_new();
    g_mime_data_wrapper_write_to_stream(content, out);
    *static_cast<std::size_t*>(data) += static_cast<std::size_t>(g_mime_stream_length(out));
    g_object_unref(out);
}

void BM_GMimeParse(benchmark::State& state) {
    static const bool initialised = [] {
        g_mime_init();
        return true;
    }();
    (void)initialised;
    const std::vector<std::string> corpus = Corpus(static_cast<Kind>(state.range(0)));
    std::size_t bytes = 0;
    std::size_t messages = 0;
    std::size_t decoded = 0;
    for (auto _ : state) {
        for (const std::string& text : corpus) {
            GMimeStream* stream = g_mime_stream_mem_new_with_buffer(text.data(), text.size());
            GMimeParser* parser = g_mime_parser_new_with_stream(stream);
            GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
            if (message != nullptr) {
                g_mime_message_foreach(message, DecodePart, &decoded);
                g_object_unref(message);
            }
            g_object_unref(parser);
            g_object_unref(stream);
            bytes += text.size();
            ++messages;
        }
    }
    benchmark::DoNotOptimize(decoded);
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.SetItemsProcessed(static_cast<int64_t>(messages));
}
BENCHMARK(BM_GMimeParse)
    ->Arg(kPlain)
    ->Arg(kMultipart)
    ->Arg(kJapanese)
    ->Arg(kQuotedPrintable)
    ->Arg(kEucJp)
    ->Arg(kShiftJisText)
    ->ArgName("kind(0=plain,1=multipart,2=iso2022jp,3=qp,4=eucjp,5=sjis)")
    ->Unit(benchmark::kMillisecond);
#endif

// Second argument: the working code page (UTF-8, or Shift_JIS for the
// Japanese system, where ISO-2022-JP text goes through JisToSjis).
BENCHMARK(BM_ParseMessage)
    ->Args({kPlain, CodePage::kUtf8})
    ->Args({kMultipart, CodePage::kUtf8})
    ->Args({kJapanese, CodePage::kUtf8})
    ->Args({kQuotedPrintable, CodePage::kUtf8})
    ->Args({kEucJp, CodePage::kUtf8})
    ->Args({kShiftJisText, CodePage::kUtf8})
    ->Args({kJapanese, CodePage::kShiftJis})
    ->ArgNames({"kind(0=plain,1=multipart,2=iso2022jp,3=qp,4=eucjp,5=sjis)", "codepage"})
    ->Unit(benchmark::kMillisecond);

void BM_BuildOutgoingText10MB(benchmark::State& state) {
    std::filesystem::path file = RamDir() / "big.bin";
    {
        std::mt19937 rng(7);
        std::string blob(10 * 1024 * 1024, '\0');
        for (char& c : blob) {
            c = static_cast<char>(rng());
        }
        std::ofstream(file, std::ios::binary)
            .write(blob.data(), static_cast<std::streamsize>(blob.size()));
    }
    MailMessage m(0);
    m.from = "me@example.com";
    m.to = "you@example.org";
    m.subject = "big file";
    m.messageId = "<fixed@example.com>";
    m.AddBodyLine("Here it is.");
    m.attachments.push_back({file, "application", "octet-stream", "base64"});
    OutgoingOptions options;
    options.codePage = &CodePage::Get(CodePage::kUtf8);
    options.dateText = "Mon, 07 Dec 2026 09:45:03 +0000";
    std::size_t sent = 0;
    for (auto _ : state) {
        bool ok = BuildOutgoingText(
            m,
            [&](std::string_view line) {
                sent += line.size() + 2;
                return true;
            },
            options);
        benchmark::DoNotOptimize(ok);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 10 * 1024 * 1024);
    state.counters["wire_bytes"] =
        static_cast<double>(sent) / static_cast<double>(state.iterations());
    std::error_code ec;
    std::filesystem::remove(file, ec);
}
BENCHMARK(BM_BuildOutgoingText10MB)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
