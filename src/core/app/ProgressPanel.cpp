#include "app/ProgressPanel.h"

#include <algorithm>
#include <climits>

namespace corvina {

ProgressView ProgressFor(int current, int count, long long size, long long received) {
    ProgressView view;
    if (current == 0 || count == 0)
        return view;
    view.shown = true;
    view.count = std::to_string(current) + "/" + std::to_string(count);
    view.size = std::to_string(size) + " bytes";
    // The bar counts in hundreds of bytes; a message beyond INT_MAX of them
    // still fits.
    const long long range = std::clamp(size / 100, 0LL, static_cast<long long>(INT_MAX));
    view.range = static_cast<int>(range);
    view.position = static_cast<int>(std::clamp(received / 100, 0LL, range));
    return view;
}

}  // namespace corvina
