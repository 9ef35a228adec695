// The mapped view of a whole file and giving back the pages a scan has
// passed.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

#include "TestSupport.h"
#include "common/MappedFile.h"

namespace corvina {
namespace {

using test::ScratchDir;
using test::WriteFileBytes;

std::string PatternBytes(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>('a' + (i * 7 + i / 4096) % 26);
    }
    return bytes;
}

TEST(MappedFile, ReleasedPagesStayReadableWithTheSameBytes) {
    ScratchDir dir;
    const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::string bytes = PatternBytes(10 * page + 123);
    WriteFileBytes(dir / "f.mbx", bytes);
    MappedFile map;
    ASSERT_TRUE(map.Open(dir / "f.mbx"));
    map.AdviseSequential();
    ASSERT_EQ(map.View(), bytes);

    // Only whole pages before the offset go, and only once.
    map.ReleaseBefore(page - 1);
    EXPECT_EQ(map.Released(), 0u);
    map.ReleaseBefore(3 * page + 17);
    EXPECT_EQ(map.Released(), 3 * page);
    map.ReleaseBefore(2 * page);
    EXPECT_EQ(map.Released(), 3 * page);
    EXPECT_EQ(map.View(), bytes);  // read back in on touch

    // Past the end: up to the last whole page; the tail stays as it was.
    map.ReleaseBefore(bytes.size() + 5 * page);
    EXPECT_EQ(map.Released(), 10 * page);
    EXPECT_EQ(map.View(), bytes);

    // A move carries the state; Close zeroes it.
    MappedFile moved = std::move(map);
    EXPECT_EQ(moved.Released(), 10 * page);
    EXPECT_EQ(moved.View(), bytes);
    moved.Close();
    EXPECT_EQ(moved.Released(), 0u);
    EXPECT_FALSE(moved.IsOpen());
}

TEST(MappedFile, EmptyAndMissingFiles) {
    ScratchDir dir;
    WriteFileBytes(dir / "empty.mbx", "");
    MappedFile map;
    ASSERT_TRUE(map.Open(dir / "empty.mbx"));
    map.AdviseSequential();
    map.ReleaseBefore(100);
    EXPECT_EQ(map.Released(), 0u);
    EXPECT_EQ(map.Size(), 0u);
    EXPECT_TRUE(map.AtEnd());
    EXPECT_FALSE(map.Open(dir / "missing.mbx"));
    EXPECT_FALSE(map.IsOpen());
}

}  // namespace
}  // namespace corvina
