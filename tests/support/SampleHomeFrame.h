#pragma once
// The main window over a home on disk, as the client's start builds it:
// settings loaded from the home's settings file, the profile selected, the
// run's context and the frame. For the screenshots and the main-window
// benchmark (header only: the support library itself links no Qt).

#include <QAbstractItemModel>
#include <QApplication>
#include <QTreeView>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "RecordingPrompt.h"
#include "app/AppState.h"
#include "app/ProfileSelection.h"
#include "app/SettingsLoader.h"
#include "editor/EditorEnvironment.h"
#include "platform/ConfigStore.h"
#include "store/MessageList.h"
#include "ui/main/CMainFrame.h"
#include "ui/main/CMoList.h"
#include "ui/main/MainContext.h"

namespace corvina::test {

// What the client's start does before it shows the window: loads the
// settings of `config`, selects the default profile, and builds the run's
// context and the frame. False with `why` when the settings do not load.
inline bool BuildMainFrame(ConfigStore& config, UserPrompt& prompt, AppState& app,
                           EditorEnvironment& editor, std::unique_ptr<MainContext>& context,
                           std::unique_ptr<CMainFrame>& frame, std::string* why) {
    LoadContext load;
    load.enterHomeDirectory = false;
    if (!LoadSettings(config, prompt, load, app, why) ||
        !SelectProfile(app, app.settings.defUser)) {
        return false;
    }
    context = std::make_unique<MainContext>(app, config, prompt, editor);
    frame = std::make_unique<CMainFrame>(*context);
    return true;
}

class SampleHomeFrame {
public:
    // `settingsFile` holds the settings of the home (WriteSampleSettings).
    explicit SampleHomeFrame(const std::filesystem::path& settingsFile) : config_(settingsFile) {
        config_.Load();
    }
    ~SampleHomeFrame() {
        frame_.reset();
        context_.reset();
    }

    // Loads the settings, selects the default profile and shows the frame
    // at the given size; `beforeShow` (when set) sees the frame first. Null
    // with `why` when the settings do not load.
    CMainFrame* Show(int width, int height, std::string* why,
                     const std::function<void(CMainFrame&)>& beforeShow = {}) {
        if (!BuildMainFrame(config_, prompt_, app_, editor_, context_, frame_, why)) {
            return nullptr;
        }
        frame_->resize(width, height);
        if (beforeShow) {
            beforeShow(*frame_);
        }
        frame_->show();
        QApplication::processEvents();
        return frame_.get();
    }

    CMainFrame* Frame() { return frame_.get(); }

    // Selects the first message whose subject contains `text` (W bytes):
    // through the list widget when it shows rows, else through the core
    // list the widget forwards to. False when no row has it.
    bool SelectMessage(const std::string& text) {
        if (frame_ && SelectRowContaining(frame_->List(), QString::fromUtf8(text.c_str()))) {
            return true;
        }
        MessageList& list = context_->list;
        for (int row = 0; row < list.Count(); ++row) {
            if (list.Items()[static_cast<std::size_t>(row)].message &&
                list.ColumnText(row, 0).find(text) != std::string::npos) {
                list.Select(row);
                QApplication::processEvents();
                return true;
            }
        }
        return false;
    }

    // Makes the first row whose text contains `text` (in any column, at any
    // thread depth) the current row of a list or tree view.
    static bool SelectRowContaining(QTreeView& view, const QString& text) {
        QAbstractItemModel* model = view.model();
        if (!model) {
            return false;
        }
        for (int column = 0; column < model->columnCount(); ++column) {
            const QModelIndexList found =
                model->match(model->index(0, column), Qt::DisplayRole, text, 1,
                             Qt::MatchContains | Qt::MatchRecursive | Qt::MatchWrap);
            if (!found.isEmpty()) {
                view.setCurrentIndex(found.front());
                view.scrollTo(found.front());
                QApplication::processEvents();
                return true;
            }
        }
        return false;
    }

private:
    ConfigStore config_;
    AppState app_;
    RecordingPrompt prompt_;
    EditorEnvironment editor_;
    std::unique_ptr<MainContext> context_;
    std::unique_ptr<CMainFrame> frame_;
};

}  // namespace corvina::test
