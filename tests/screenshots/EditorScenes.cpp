// The editor view as it paints a reply in Japanese and English: editing,
// read-only and with a box selection.

#include <QFile>
#include <QTemporaryDir>

#include "Scene.h"
#include "ScriptedDialogs.h"
#include "common/CodePage.h"
#include "editor/EditorOptions.h"
#include "editor/KeywordTable.h"
#include "message/MailMessage.h"
#include "ui/editor/CIlkaView.h"

namespace corvina::screenshots {

namespace {

constexpr const char* kReply =
    "田中様\n"
    "\n"
    "いつもお世話になっております。山田です。\n"
    "先日のお問い合わせの件、以下のとおり回答いたします。\n"
    "\n"
    "> 来週の打ち合わせは何曜日が\n"
    "> ご都合よろしいでしょうか。\n"
    "\n"
    "水曜日の午後はいかがでしょうか。詳細は https://www.example.co.jp/meeting/ "
    "をご覧ください。\n"
    "資料:\t会議室Ｂ\u3000（３階）\n"
    "ご不明な点は yamada@example.co.jp までご連絡ください。\n"
    "This long line of English text runs on well past the wrap width of eighty "
    "columns, so it wraps.\n"
    "Regards,\n"
    "\n"
    "--\n"
    "山田 太郎 <yamada@example.co.jp>";

// Everything a scene's view refers to lives as long as the scene.
struct EditorScene {
    EditorOptions options;
    test::ScriptedDialogs dialogs;
    KeywordTable keywords;
    QTemporaryDir folder;
    std::unique_ptr<CIlkaView> view;

    explicit EditorScene(bool readOnly) {
        CodePage::SetWorking(65001);
        options.colors.keyword[1] = Rgb{0, 128, 0};
        options.colors.keyword[2] = Rgb{192, 0, 0};
        const QString file = folder.filePath("Ilka.KWD");
        QFile words(file);
        if (words.open(QIODevice::WriteOnly))
            words.write("Regards\t1\nEnglish\t2\n水曜日\t2\n");
        words.close();
        keywords.Load(file.toStdString(), CodePage::Working());

        view = std::make_unique<CIlkaView>(options, &keywords, dialogs);
        auto message = std::make_unique<MailMessage>();
        std::string_view text(kReply);
        for (std::size_t start = 0; start <= text.size();) {
            const std::size_t end = std::min(text.find('\n', start), text.size());
            message->AddBodyLine(text.substr(start, end - start));
            start = end + 1;
        }
        view->Attach(std::move(message));
        view->SetReadOnly(readOnly);
        view->SetShowLineNumbers(true);
        view->resize(860, 440);
        view->show();
        view->activateWindow();
        view->setFocus();
    }
};

}  // namespace

CORVINA_SCENE("editor-edit") {
    EditorScene scene(false);
    TextEditor& editor = scene.view->Editor();
    editor.SetLineMarked(5, true);
    editor.SetLineMarked(6, true);
    // A changed line, still open in the editor.
    editor.MoveCaretTo(12, 8);
    editor.TypeText(" Best");
    editor.SelectRange({2, 0}, {3, 9});
    return Grab(*scene.view);
}

CORVINA_SCENE("editor-readonly") {
    EditorScene scene(true);
    scene.view->Editor().MoveCaretTo(8, 0);
    return Grab(*scene.view);
}

CORVINA_SCENE("editor-box") {
    EditorScene scene(false);
    TextEditor& editor = scene.view->Editor();
    editor.MoveCaretTo(2, 0);
    editor.StartBoxSelection();
    editor.MoveCaretToRow(6, 14);
    editor.SetInsertMode(false);
    return Grab(*scene.view);
}

}  // namespace corvina::screenshots
