#pragma once
// Child modes of the platform test executable, run as
// "test_platform --child <mode> <args...>".

namespace corvina::test {

// Returns the child's exit code.
int RunChildMode(int argc, char** argv);

}  // namespace corvina::test
