#pragma once
// One editor view on the offscreen platform, shown and focused, with
// default options and scripted dialogs, over a document made from text.

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>
#include <string>
#include <string_view>

#include "ScriptedDialogs.h"
#include "common/CodePage.h"
#include "editor/EditorOptions.h"
#include "message/MailMessage.h"
#include "ui/editor/CIlkaView.h"

namespace corvina::test {

// A message whose body is `text` (lines split at LF).
std::unique_ptr<MailMessage> MessageWithBody(std::string_view text);

class ViewFixture : public testing::Test {
protected:
    // Shows a view of `text` in code page `codePage`, 640x480, focused.
    CIlkaView& MakeView(std::string_view text, int codePage = 65001);

    EditorOptions options;
    ScriptedDialogs dialogs;
    std::unique_ptr<CIlkaView> view;
};

}  // namespace corvina::test
