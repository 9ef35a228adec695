#pragma once
// A main window over a scratch home on the offscreen platform: settings
// file, home directory with the current profile's folders, the run's state
// and a recording prompt. Tests add messages to folders before MakeFrame,
// or through the store afterwards.

#include <gtest/gtest.h>

#include <memory>
#include <string_view>

#include "RecordingPrompt.h"
#include "TestSupport.h"
#include "app/AppState.h"
#include "editor/EditorEnvironment.h"
#include "platform/ConfigStore.h"
#include "ui/main/CMainFrame.h"
#include "ui/main/MainContext.h"

namespace corvina::test {

class FrameFixture : public testing::Test {
protected:
    FrameFixture();
    ~FrameFixture() override;

    // The current profile's mailbox directory ("<home>/User0").
    std::filesystem::path MailboxDir() const;
    // Appends the message files of tests/data (or texts) to a folder file
    // of the current profile before the frame reads it.
    void AddToFolder(std::string_view folderName, std::string_view messageText);

    // Loads the settings, builds the context and shows the main window
    // (1000x700), as the client's start does.
    CMainFrame& MakeFrame();

    ScratchDir scratch;
    std::filesystem::path home;
    ConfigStore config;
    AppState app;
    RecordingPrompt prompt;
    EditorEnvironment editor;
    std::unique_ptr<MainContext> context;
    std::unique_ptr<CMainFrame> frame;
};

}  // namespace corvina::test
