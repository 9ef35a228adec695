// Encoded words of header lines, decoding and encoding, in each code page.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/CodePage.h"
#include "message/HeaderUnfold.h"
#include "message/HeaderWords.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace corvina;
    if (size == 0) {
        return 0;
    }
    static const int kPages[] = {CodePage::kShiftJis, CodePage::kUtf8, CodePage::kWestern};
    const CodePage& cp = CodePage::Get(kPages[data[0] % 3]);
    std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    auto decoded = DecodeHeaderWords(text, cp);
    if (decoded && decoded->size() > kHeaderWorkBufferMax) {
        __builtin_trap();
    }
    EncodeHeaderWords(text, cp);
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t before = pos;
        UnfoldStoredField(text, pos, cp);
        if (pos <= before) {
            __builtin_trap();  // must always make progress
        }
    }
    ReceivedTextUnfolder unfolder(cp);
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t lf = text.find('\n', start);
        unfolder.AddLine(text.substr(start, lf == std::string_view::npos ? lf : lf - start));
        if (lf == std::string_view::npos) {
            break;
        }
        start = lf + 1;
    }
    unfolder.Finish();
    return 0;
}
