// The first printed page of a message, drawn by the printer's own page
// painter onto an A4 image at 100 dpi: what the print preview shows.

#include <QPageSize>
#include <QPrinter>
#include <ctime>
#include <memory>

#include "Scene.h"
#include "ScriptedDialogs.h"
#include "TestSupport.h"
#include "common/CodePage.h"
#include "editor/EditorOptions.h"
#include "message/MailMessage.h"
#include "message/mime/MessageParser.h"
#include "ui/editor/CIlkaView.h"
#include "ui/editor/ViewPrinter.h"

namespace corvina::screenshots {

CORVINA_SCENE("print-preview") {
    // The Japanese system with its default print font; the other scenes
    // keep their code page.
    const int codePage = CodePage::Working().Id();
    CodePage::SetWorking(932);
    EditorOptions options;
    options.header = "&f - page &p";
    options.headAlign = 1;
    options.footer = "&n &&  &d&t";
    options.footAlign = 2;
    options.printFont = "FixedSys";
    test::ScriptedDialogs dialogs;
    CIlkaView view(options, nullptr, dialogs);
    auto message = std::make_unique<MailMessage>();
    ParseMessage(*message, test::ReadFileBytes(test::DataPath("print/japanese-cc-three-pages.eml")),
                 {});
    view.Attach(std::move(message));
    // A marked line prints bold.
    view.Editor().SetLineMarked(4, true);

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    std::tm printed{};
    strptime("2026-12-10 09:30:00", "%Y-%m-%d %H:%M:%S", &printed);
    QImage page = ViewPrinter::RenderPage(view, printer, 1, 100, printed);
    CodePage::SetWorking(codePage);
    return page;
}

}  // namespace corvina::screenshots
