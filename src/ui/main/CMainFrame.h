#pragma once
// The main window: folder tree on the left, message list at the top right,
// the message below it; menus, tool bar, tray menu and context menus built
// from one command table; the status bar; the mail thread.

#include <QMainWindow>
#include <memory>

namespace corvina {

class CFolderTree;
class CMoList;
class CMoView;
class MailThread;
class MainContext;
class QtEditorDialogs;

class CMainFrame : public QMainWindow {
    Q_OBJECT

public:
    // The context outlives the window.
    explicit CMainFrame(MainContext& context, QWidget* parent = nullptr);
    ~CMainFrame() override;

    MainContext& Context() { return context_; }
    CFolderTree& Tree() { return *tree_; }
    CMoList& List() { return *list_; }
    CMoView& View() { return *view_; }
    MailThread& Mail() { return *mail_; }

    // Runs a command by its id as its menu entry would. False when the
    // command is unknown or not enabled now.
    bool RunCommand(int id);

private:
    void BuildPanes();

    MainContext& context_;
    std::unique_ptr<QtEditorDialogs> dialogs_;
    CFolderTree* tree_ = nullptr;
    CMoList* list_ = nullptr;
    CMoView* view_ = nullptr;
    MailThread* mail_ = nullptr;
};

}  // namespace corvina
