#pragma once
// Finds a plain string (folded as the text is) in a SearchText. At most
// kPlainSpan bytes of text take part in one comparison. Where the folding
// keeps every character's length (no Z), candidates come from a memchr
// skip over the rarest byte of the string's first line, checked to lie at
// a character start (a Shift_JIS trail byte never starts a match);
// otherwise every character start whose first byte may begin a match is
// compared.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "editor/SearchFolding.h"
#include "editor/SearchPattern.h"
#include "editor/SearchScan.h"

namespace corvina {

inline constexpr std::size_t kPlainSpan = 256;

class PlainMatcher {
public:
    // `text` is the string with its escapes decoded.
    PlainMatcher(std::string_view text, const SearchFolding& folding, const MatchRules& rules);

    // Whether the string keeps anything to find once folded.
    bool Empty() const { return codes_.empty(); }

    // `from` is a character start (or a line end) of a line of the text.
    std::optional<SearchMatch> FindForward(LineReader& lines, TextPlace from,
                                           const SearchCancel& cancel) const;
    std::optional<SearchMatch> FindBackward(LineReader& lines, TextPlace from,
                                            const SearchCancel& cancel) const;

private:
    // The end of the shortest accepted match at `start`.
    std::optional<TextPlace> MatchAt(LineReader& lines, TextPlace start) const;
    void ChooseAnchor(std::string_view text);

    const SearchFolding& folding_;
    MatchRules rules_;
    std::vector<std::uint32_t> codes_;  // folded, dropped characters left out
    // The anchor: a byte of the string's first line (or its case pair) at
    // offset anchorOffset_; anchorCount_ is 0 when there is none.
    int anchorCount_ = 0;
    unsigned char anchor_[2] = {0, 0};
    std::size_t anchorOffset_ = 0;
    bool mayStart_[256] = {};  // first bytes of characters a match may start with
};

}  // namespace corvina
