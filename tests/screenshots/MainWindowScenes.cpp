// The main window over the sample home: the InBox threaded with a message
// and its attachments shown, an HTML-only message shown as its rendering,
// and Japanese mail.

#include <QString>
#include <cstdio>

#include "SampleHome.h"
#include "SampleHomeFrame.h"
#include "Scene.h"
#include "TestSupport.h"
#include "common/CodePage.h"
#include "platform/ConfigStore.h"
#include "ui/main/CFolderTree.h"
#include "ui/main/CMoList.h"

namespace corvina::screenshots {
namespace {

// Writes a fresh sample home, opens the frame on it with InBox open and
// the message whose subject contains `subject` selected.
QImage SampleHomeScene(const char* subject) {
    CodePage::SetWorking(CodePage::kUtf8);
    test::ScratchDir scratch;
    const std::filesystem::path home = scratch / "home";
    {
        ConfigStore config(scratch / "Corvina.ini");
        test::WriteSampleSettings(config, home);
    }
    std::string why;
    if (!test::WriteSampleHome(home, &why)) {
        std::fprintf(stderr, "sample home: %s\n", why.c_str());
        return {};
    }
    test::SampleHomeFrame sample(scratch / "Corvina.ini");
    CMainFrame* frame = sample.Show(1100, 720, &why);
    if (!frame) {
        std::fprintf(stderr, "sample home: %s\n", why.c_str());
        return {};
    }
    frame->Tree().SelectFolder("InBox");
    QApplication::processEvents();
    if (!sample.SelectMessage(subject)) {
        std::fprintf(stderr, "sample home: no row \"%s\" in the list\n", subject);
    }
    return Grab(*frame);
}

CORVINA_SCENE("main-window") {
    return SampleHomeScene(test::kSampleAttachmentsSubject);
}

CORVINA_SCENE("main-window-html") {
    return SampleHomeScene(test::kSampleHtmlSubject);
}

CORVINA_SCENE("main-window-japanese") {
    return SampleHomeScene("\xE4\xBC\x9A\xE8\xAD\xB0\xE5\xAE\xA4");  // 会議室
}

}  // namespace
}  // namespace corvina::screenshots
