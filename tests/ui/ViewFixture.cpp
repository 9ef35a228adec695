#include "ViewFixture.h"

namespace corvina::test {

std::unique_ptr<MailMessage> MessageWithBody(std::string_view text) {
    auto message = std::make_unique<MailMessage>();
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        const std::size_t stop = end == std::string_view::npos ? text.size() : end;
        message->AddBodyLine(text.substr(start, stop - start));
        start = stop + 1;
    }
    return message;
}

CIlkaView& ViewFixture::MakeView(std::string_view text, int codePage) {
    CodePage::SetWorking(codePage);
    view = std::make_unique<CIlkaView>(options, nullptr, dialogs);
    view->Attach(MessageWithBody(text));
    view->resize(640, 480);
    view->show();
    view->activateWindow();
    view->setFocus();
    QApplication::processEvents();
    return *view;
}

}  // namespace corvina::test
