#include "ui/editor/LineAddresses.h"

#include "editor/AddressRecognition.h"

namespace corvina {

const std::vector<LineAddresses::Span>& LineAddresses::Of(std::string_view line,
                                                          const CodePage& codePage) {
    if (codePage_ == &codePage && line == line_)
        return spans_;
    line_.assign(line);
    codePage_ = &codePage;
    spans_.clear();
    // Every address holds an "@" (mail) or the ":" after its scheme (web,
    // "mailto:"): only there is one looked for.
    for (std::size_t pos = line.find_first_of("@:"); pos != std::string_view::npos;
         pos = line.find_first_of("@:", pos + 1)) {
        if (!spans_.empty() && pos < spans_.back().second)
            continue;
        const AddressAt address = FindAddressAt(line, pos, codePage);
        if (address.kind != AddressAt::Kind::kNone && address.end > address.start &&
            (spans_.empty() || address.start >= spans_.back().second))
            spans_.emplace_back(address.start, address.end);
    }
    return spans_;
}

}  // namespace corvina
