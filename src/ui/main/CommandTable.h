#pragma once
// The main window's commands as Qt actions, one per row of the core
// command table (app/MainCommandTable.h): menus, tool bar, tray menu and
// shortcuts all hold the same actions. The window gives each command its
// handler; a command without one stays greyed.

#include <QObject>
#include <functional>
#include <map>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;
class QToolBar;
class QWidget;

namespace corvina {

class CommandTable : public QObject {
    Q_OBJECT

public:
    explicit CommandTable(QObject* parent = nullptr);
    ~CommandTable() override;

    void SetHandler(int id, std::function<void()> handler);
    // A further condition beyond the row's rule (e.g. the mail commands'
    // own); empty = none.
    void SetEnabledCheck(std::function<bool(int id)> check) { enabledCheck_ = std::move(check); }

    // The action of a row; null for an id not in the table.
    QAction* Action(int id) const;

    // The "&File", "&Edit" and "&Mail" menus and the tool bar.
    void Populate(QMenuBar& menuBar, QToolBar& toolBar);
    // A menu of these commands (0 = separator), e.g. the tray menu.
    QMenu* BuildMenu(const std::vector<int>& ids, QWidget* parent) const;

    // Enables every action by its rule for this busy count.
    void UpdateEnabled(int busyCount);
    bool Enabled(int id, int busyCount) const;
    // Runs the handler when the command is enabled now. False otherwise.
    bool Run(int id, int busyCount);

private:
    std::map<int, QAction*> actions_;
    std::map<int, std::function<void()>> handlers_;
    std::function<bool(int)> enabledCheck_;
};

}  // namespace corvina
