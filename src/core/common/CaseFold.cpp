#include "common/CaseFold.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "common/Bytes.h"
#include "common/CodePage.h"
#include "common/Utf8.h"

namespace corvina {

namespace {

// Runs of the simple case folding (statuses C and S of CaseFolding.txt,
// Unicode 14.0): every `step`-th code point from lo to hi folds to itself
// plus delta. Sorted by lo, not overlapping.
struct FoldRun {
    char32_t lo;
    char32_t hi;
    int delta;
    int step;
};

const FoldRun kFoldRuns[] = {
    {0x0041, 0x005A, 32, 1},     {0x00B5, 0x00B5, 775, 1},    {0x00C0, 0x00D6, 32, 1},
    {0x00D8, 0x00DE, 32, 1},     {0x0100, 0x012E, 1, 2},      {0x0132, 0x0136, 1, 2},
    {0x0139, 0x0147, 1, 2},      {0x014A, 0x0176, 1, 2},      {0x0178, 0x0178, -121, 1},
    {0x0179, 0x017D, 1, 2},      {0x017F, 0x017F, -268, 1},   {0x0181, 0x0181, 210, 1},
    {0x0182, 0x0184, 1, 2},      {0x0186, 0x0186, 206, 1},    {0x0187, 0x0187, 1, 1},
    {0x0189, 0x018A, 205, 1},    {0x018B, 0x018B, 1, 1},      {0x018E, 0x018E, 79, 1},
    {0x018F, 0x018F, 202, 1},    {0x0190, 0x0190, 203, 1},    {0x0191, 0x0191, 1, 1},
    {0x0193, 0x0193, 205, 1},    {0x0194, 0x0194, 207, 1},    {0x0196, 0x0196, 211, 1},
    {0x0197, 0x0197, 209, 1},    {0x0198, 0x0198, 1, 1},      {0x019C, 0x019C, 211, 1},
    {0x019D, 0x019D, 213, 1},    {0x019F, 0x019F, 214, 1},    {0x01A0, 0x01A4, 1, 2},
    {0x01A6, 0x01A6, 218, 1},    {0x01A7, 0x01A7, 1, 1},      {0x01A9, 0x01A9, 218, 1},
    {0x01AC, 0x01AC, 1, 1},      {0x01AE, 0x01AE, 218, 1},    {0x01AF, 0x01AF, 1, 1},
    {0x01B1, 0x01B2, 217, 1},    {0x01B3, 0x01B5, 1, 2},      {0x01B7, 0x01B7, 219, 1},
    {0x01B8, 0x01B8, 1, 1},      {0x01BC, 0x01BC, 1, 1},      {0x01C4, 0x01C4, 2, 1},
    {0x01C5, 0x01C5, 1, 1},      {0x01C7, 0x01C7, 2, 1},      {0x01C8, 0x01C8, 1, 1},
    {0x01CA, 0x01CA, 2, 1},      {0x01CB, 0x01DB, 1, 2},      {0x01DE, 0x01EE, 1, 2},
    {0x01F1, 0x01F1, 2, 1},      {0x01F2, 0x01F4, 1, 2},      {0x01F6, 0x01F6, -97, 1},
    {0x01F7, 0x01F7, -56, 1},    {0x01F8, 0x021E, 1, 2},      {0x0220, 0x0220, -130, 1},
    {0x0222, 0x0232, 1, 2},      {0x023A, 0x023A, 10795, 1},  {0x023B, 0x023B, 1, 1},
    {0x023D, 0x023D, -163, 1},   {0x023E, 0x023E, 10792, 1},  {0x0241, 0x0241, 1, 1},
    {0x0243, 0x0243, -195, 1},   {0x0244, 0x0244, 69, 1},     {0x0245, 0x0245, 71, 1},
    {0x0246, 0x024E, 1, 2},      {0x0345, 0x0345, 116, 1},    {0x0370, 0x0372, 1, 2},
    {0x0376, 0x0376, 1, 1},      {0x037F, 0x037F, 116, 1},    {0x0386, 0x0386, 38, 1},
    {0x0388, 0x038A, 37, 1},     {0x038C, 0x038C, 64, 1},     {0x038E, 0x038F, 63, 1},
    {0x0391, 0x03A1, 32, 1},     {0x03A3, 0x03AB, 32, 1},     {0x03C2, 0x03C2, 1, 1},
    {0x03CF, 0x03CF, 8, 1},      {0x03D0, 0x03D0, -30, 1},    {0x03D1, 0x03D1, -25, 1},
    {0x03D5, 0x03D5, -15, 1},    {0x03D6, 0x03D6, -22, 1},    {0x03D8, 0x03EE, 1, 2},
    {0x03F0, 0x03F0, -54, 1},    {0x03F1, 0x03F1, -48, 1},    {0x03F4, 0x03F4, -60, 1},
    {0x03F5, 0x03F5, -64, 1},    {0x03F7, 0x03F7, 1, 1},      {0x03F9, 0x03F9, -7, 1},
    {0x03FA, 0x03FA, 1, 1},      {0x03FD, 0x03FF, -130, 1},   {0x0400, 0x040F, 80, 1},
    {0x0410, 0x042F, 32, 1},     {0x0460, 0x0480, 1, 2},      {0x048A, 0x04BE, 1, 2},
    {0x04C0, 0x04C0, 15, 1},     {0x04C1, 0x04CD, 1, 2},      {0x04D0, 0x052E, 1, 2},
    {0x0531, 0x0556, 48, 1},     {0x10A0, 0x10C5, 7264, 1},   {0x10C7, 0x10C7, 7264, 1},
    {0x10CD, 0x10CD, 7264, 1},   {0x13F8, 0x13FD, -8, 1},     {0x1C80, 0x1C80, -6222, 1},
    {0x1C81, 0x1C81, -6221, 1},  {0x1C82, 0x1C82, -6212, 1},  {0x1C83, 0x1C84, -6210, 1},
    {0x1C85, 0x1C85, -6211, 1},  {0x1C86, 0x1C86, -6204, 1},  {0x1C87, 0x1C87, -6180, 1},
    {0x1C88, 0x1C88, 35267, 1},  {0x1C90, 0x1CBA, -3008, 1},  {0x1CBD, 0x1CBF, -3008, 1},
    {0x1E00, 0x1E94, 1, 2},      {0x1E9B, 0x1E9B, -58, 1},    {0x1E9E, 0x1E9E, -7615, 1},
    {0x1EA0, 0x1EFE, 1, 2},      {0x1F08, 0x1F0F, -8, 1},     {0x1F18, 0x1F1D, -8, 1},
    {0x1F28, 0x1F2F, -8, 1},     {0x1F38, 0x1F3F, -8, 1},     {0x1F48, 0x1F4D, -8, 1},
    {0x1F59, 0x1F5F, -8, 2},     {0x1F68, 0x1F6F, -8, 1},     {0x1F88, 0x1F8F, -8, 1},
    {0x1F98, 0x1F9F, -8, 1},     {0x1FA8, 0x1FAF, -8, 1},     {0x1FB8, 0x1FB9, -8, 1},
    {0x1FBA, 0x1FBB, -74, 1},    {0x1FBC, 0x1FBC, -9, 1},     {0x1FBE, 0x1FBE, -7173, 1},
    {0x1FC8, 0x1FCB, -86, 1},    {0x1FCC, 0x1FCC, -9, 1},     {0x1FD8, 0x1FD9, -8, 1},
    {0x1FDA, 0x1FDB, -100, 1},   {0x1FE8, 0x1FE9, -8, 1},     {0x1FEA, 0x1FEB, -112, 1},
    {0x1FEC, 0x1FEC, -7, 1},     {0x1FF8, 0x1FF9, -128, 1},   {0x1FFA, 0x1FFB, -126, 1},
    {0x1FFC, 0x1FFC, -9, 1},     {0x2126, 0x2126, -7517, 1},  {0x212A, 0x212A, -8383, 1},
    {0x212B, 0x212B, -8262, 1},  {0x2132, 0x2132, 28, 1},     {0x2160, 0x216F, 16, 1},
    {0x2183, 0x2183, 1, 1},      {0x24B6, 0x24CF, 26, 1},     {0x2C00, 0x2C2F, 48, 1},
    {0x2C60, 0x2C60, 1, 1},      {0x2C62, 0x2C62, -10743, 1}, {0x2C63, 0x2C63, -3814, 1},
    {0x2C64, 0x2C64, -10727, 1}, {0x2C67, 0x2C6B, 1, 2},      {0x2C6D, 0x2C6D, -10780, 1},
    {0x2C6E, 0x2C6E, -10749, 1}, {0x2C6F, 0x2C6F, -10783, 1}, {0x2C70, 0x2C70, -10782, 1},
    {0x2C72, 0x2C72, 1, 1},      {0x2C75, 0x2C75, 1, 1},      {0x2C7E, 0x2C7F, -10815, 1},
    {0x2C80, 0x2CE2, 1, 2},      {0x2CEB, 0x2CED, 1, 2},      {0x2CF2, 0x2CF2, 1, 1},
    {0xA640, 0xA66C, 1, 2},      {0xA680, 0xA69A, 1, 2},      {0xA722, 0xA72E, 1, 2},
    {0xA732, 0xA76E, 1, 2},      {0xA779, 0xA77B, 1, 2},      {0xA77D, 0xA77D, -35332, 1},
    {0xA77E, 0xA786, 1, 2},      {0xA78B, 0xA78B, 1, 1},      {0xA78D, 0xA78D, -42280, 1},
    {0xA790, 0xA792, 1, 2},      {0xA796, 0xA7A8, 1, 2},      {0xA7AA, 0xA7AA, -42308, 1},
    {0xA7AB, 0xA7AB, -42319, 1}, {0xA7AC, 0xA7AC, -42315, 1}, {0xA7AD, 0xA7AD, -42305, 1},
    {0xA7AE, 0xA7AE, -42308, 1}, {0xA7B0, 0xA7B0, -42258, 1}, {0xA7B1, 0xA7B1, -42282, 1},
    {0xA7B2, 0xA7B2, -42261, 1}, {0xA7B3, 0xA7B3, 928, 1},    {0xA7B4, 0xA7C2, 1, 2},
    {0xA7C4, 0xA7C4, -48, 1},    {0xA7C5, 0xA7C5, -42307, 1}, {0xA7C6, 0xA7C6, -35384, 1},
    {0xA7C7, 0xA7C9, 1, 2},      {0xA7D0, 0xA7D0, 1, 1},      {0xA7D6, 0xA7D8, 1, 2},
    {0xA7F5, 0xA7F5, 1, 1},      {0xAB70, 0xABBF, -38864, 1}, {0xFF21, 0xFF3A, 32, 1},
    {0x10400, 0x10427, 40, 1},   {0x104B0, 0x104D3, 40, 1},   {0x10570, 0x1057A, 39, 1},
    {0x1057C, 0x1058A, 39, 1},   {0x1058C, 0x10592, 39, 1},   {0x10594, 0x10595, 39, 1},
    {0x10C80, 0x10CB2, 64, 1},   {0x118A0, 0x118BF, 32, 1},   {0x16E40, 0x16E5F, 32, 1},
    {0x1E900, 0x1E921, 34, 1},
};

constexpr char32_t kReplacement = 0xFFFD;

// Where a double-byte character of 932 sits in PageTables::dbcs.
std::size_t DbcsSlot(unsigned char lead, unsigned char trail) {
    const int row = lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + 31;
    return static_cast<std::size_t>(row) * 256 + trail;
}

}  // namespace

// What a code page other than UTF-8 needs to write a folded character back
// in its own bytes. Characters that the page holds twice (932 has NEC and
// IBM copies of some) fold to their first encoding, so both copies match.
struct CaseFold::PageTables {
    // Per single byte: the byte of its folded form; -1 keeps the byte.
    int single[256];
    // 932 only, per lead/trail pair: the folded pair (lead << 8 | trail),
    // 0 keeps the pair.
    std::vector<std::uint16_t> dbcs;

    explicit PageTables(const CodePage& page) {
        std::unordered_map<char32_t, std::uint16_t> first;  // byte or pair
        char32_t singleCp[256];
        for (int b = 0; b < 256; ++b) {
            const char byte = static_cast<char>(b);
            int len = 0;
            singleCp[b] = page.Decode(&byte, &byte + 1, &len);
            if (len == 1 && singleCp[b] != kReplacement) {
                first.emplace(singleCp[b], static_cast<std::uint16_t>(b));
            } else {
                singleCp[b] = kReplacement;
            }
        }
        std::vector<char32_t> pairCp;
        if (page.IsDbcs()) {
            dbcs.assign(60 * 256, 0);
            pairCp.assign(dbcs.size(), kReplacement);
            for (int lead = 0x81; lead <= 0xFC; ++lead) {
                if (!page.IsLeadByte(static_cast<unsigned char>(lead))) {
                    continue;
                }
                for (int trail = 0x40; trail <= 0xFC; ++trail) {
                    const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                    int len = 0;
                    const char32_t cp = page.Decode(pair, pair + 2, &len);
                    if (len != 2 || cp == kReplacement) {
                        continue;
                    }
                    pairCp[DbcsSlot(static_cast<unsigned char>(lead),
                                    static_cast<unsigned char>(trail))] = cp;
                    first.emplace(cp, static_cast<std::uint16_t>(lead << 8 | trail));
                }
            }
        }
        // The encoding of the folded form, or of the character itself when
        // the page lacks the folded form.
        auto target = [&](char32_t cp) -> int {
            auto found = first.find(Fold(cp));
            if (found == first.end()) {
                found = first.find(cp);
            }
            return found == first.end() ? -1 : found->second;
        };
        for (int b = 0; b < 256; ++b) {
            const int t = singleCp[b] == kReplacement ? -1 : target(singleCp[b]);
            // A single byte folds to a single byte only, so lengths stay.
            single[b] = t > 0xFF ? -1 : t;
        }
        for (std::size_t slot = 0; slot < pairCp.size(); ++slot) {
            const int t = pairCp[slot] == kReplacement ? -1 : target(pairCp[slot]);
            dbcs[slot] = t > 0xFF ? static_cast<std::uint16_t>(t) : 0;
        }
    }
};

namespace {

const CaseFold::PageTables* TablesFor(const CodePage& page) {
    if (page.IsUtf8()) {
        return nullptr;
    }
    static std::mutex mutex;
    static std::map<int, std::unique_ptr<CaseFold::PageTables>> tables;
    std::lock_guard<std::mutex> lock(mutex);
    auto& slot = tables[page.Id()];
    if (!slot) {
        slot = std::make_unique<CaseFold::PageTables>(page);
    }
    return slot.get();
}

}  // namespace

CaseFold::CaseFold() : CaseFold(CodePage::Working()) {}

CaseFold::CaseFold(const CodePage& page) : page_(page), tables_(TablesFor(page)) {}

char32_t CaseFold::Fold(char32_t cp) {
    if (cp < 0x80) {
        return static_cast<char32_t>(AsciiLower(static_cast<char>(cp)));
    }
    const auto* after = std::upper_bound(std::begin(kFoldRuns), std::end(kFoldRuns), cp,
                                         [](char32_t c, const FoldRun& r) { return c < r.lo; });
    if (after == std::begin(kFoldRuns)) {
        return cp;
    }
    const FoldRun& run = *(after - 1);
    if (cp > run.hi || (cp - run.lo) % static_cast<char32_t>(run.step) != 0) {
        return cp;
    }
    return static_cast<char32_t>(static_cast<int>(cp) + run.delta);
}

void CaseFold::AppendKey(std::string_view text, std::string& out, std::vector<bool>* starts) const {
    const auto* u = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = u + text.size();
    out.reserve(out.size() + text.size());
    auto mark = [&](std::size_t from) {
        if (starts != nullptr) {
            starts->resize(out.size(), false);
            (*starts)[from] = true;
        }
    };
    while (u < end) {
        const std::size_t at = out.size();
        if (*u < 0x80) {
            out += AsciiLower(static_cast<char>(*u));
            ++u;
        } else if (tables_ == nullptr) {
            const int len = utf8::SequenceLength(u, end);
            if (len == 0) {
                out += static_cast<char>(*u);  // no character: kept as it is
                ++u;
            } else {
                utf8::Append(out, Fold(utf8::Decode(u, len)));
                u += len;
            }
        } else {
            const int len = page_.CharLength(reinterpret_cast<const char*>(u),
                                             reinterpret_cast<const char*>(end));
            if (len == 2) {
                const std::uint16_t folded = tables_->dbcs[DbcsSlot(u[0], u[1])];
                if (folded != 0) {
                    out += static_cast<char>(folded >> 8);
                    out += static_cast<char>(folded & 0xFF);
                } else {
                    out.append(reinterpret_cast<const char*>(u), 2);
                }
                u += 2;
            } else {
                const int folded = tables_->single[*u];
                out += static_cast<char>(folded >= 0 ? folded : *u);
                ++u;
            }
        }
        mark(at);
    }
}

std::string CaseFold::Key(std::string_view text) const {
    std::string out;
    AppendKey(text, out, nullptr);
    return out;
}

bool CaseFold::Equal(std::string_view a, std::string_view b) const {
    return Key(a) == Key(b);
}

int CaseFold::Compare(std::string_view a, std::string_view b) const {
    return Key(a).compare(Key(b));
}

bool CaseFold::Contains(std::string_view hay, std::string_view needle) const {
    if (needle.empty()) {
        return true;
    }
    const std::string n = Key(needle);
    std::string h;
    std::vector<bool> starts;
    AppendKey(hay, h, &starts);
    auto boundary = [&](std::size_t pos) { return pos == h.size() || starts[pos]; };
    for (std::size_t pos = h.find(n); pos != std::string::npos; pos = h.find(n, pos + 1)) {
        if (boundary(pos) && boundary(pos + n.size())) {
            return true;
        }
    }
    return false;
}

}  // namespace corvina
