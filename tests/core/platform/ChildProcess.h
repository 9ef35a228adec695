#pragma once
// Starting this test executable again in a child mode.

#include <string>
#include <vector>

namespace corvina::test {

// argv for "<this executable> --child <mode> <args...>".
std::vector<std::string> ChildArgv(const std::vector<std::string>& modeAndArgs);

}  // namespace corvina::test
