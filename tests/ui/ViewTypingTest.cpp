#include <QKeyEvent>
#include <QTest>

#include "ViewFixture.h"

namespace corvina::test {
namespace {

using ViewTypingTest = ViewFixture;

TEST_F(ViewTypingTest, TypedAsciiAndEnterReachTheModel) {
    CIlkaView& v = MakeView("world\n");
    QTest::keyClicks(&v, "Hi ");
    QTest::keyClick(&v, Qt::Key_Return);
    v.Editor().CommitLine();
    EXPECT_EQ(v.Editor().Text(), "Hi \nworld\n");
}

}  // namespace
}  // namespace corvina::test
