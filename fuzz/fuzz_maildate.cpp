// Date texts of any shape.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "message/MailDate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    corvina::ParseMailDate(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
