#include "ui/main/CommandTable.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

#include "app/MainCommandTable.h"
#include "app/MainCommands.h"
#include "ui/main/FrameIcons.h"

namespace corvina {

CommandTable::CommandTable(QObject* parent) : QObject(parent) {
    for (const MainCommandRow& row : MainCommandRows()) {
        auto* action = new QAction(QString::fromLatin1(row.text), this);
        action->setData(row.id);
        if (*row.shortcut) {
            action->setShortcut(QKeySequence(QString::fromLatin1(row.shortcut)));
            action->setShortcutContext(Qt::WindowShortcut);
        }
        if (*row.icon)
            action->setIcon(FrameIcon(row.icon));
        action->setEnabled(false);
        const int id = row.id;
        connect(action, &QAction::triggered, this, [this, id] {
            auto handler = handlers_.find(id);
            if (handler != handlers_.end() && handler->second)
                handler->second();
        });
        actions_[row.id] = action;
    }
}

CommandTable::~CommandTable() = default;

void CommandTable::SetHandler(int id, std::function<void()> handler) {
    handlers_[id] = std::move(handler);
}

QAction* CommandTable::Action(int id) const {
    auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

void CommandTable::Populate(QMenuBar& menuBar, QToolBar& toolBar) {
    const struct {
        CommandMenu menu;
        const char* title;
    } menus[] = {{CommandMenu::kFile, "&File"},
                 {CommandMenu::kEdit, "&Edit"},
                 {CommandMenu::kMail, "&Mail"}};
    for (const auto& entry : menus) {
        QMenu* menu = menuBar.addMenu(QString::fromLatin1(entry.title));
        for (const MainCommandRow& row : MainCommandRows()) {
            if (row.menu != entry.menu)
                continue;
            if (row.id == kCmdExit)
                menu->addSeparator();
            menu->addAction(Action(row.id));
        }
    }
    for (const MainCommandRow& row : MainCommandRows()) {
        if (row.toolBar)
            toolBar.addAction(Action(row.id));
    }
}

QMenu* CommandTable::BuildMenu(const std::vector<int>& ids, QWidget* parent) const {
    auto* menu = new QMenu(parent);
    for (int id : ids) {
        if (id == 0) {
            menu->addSeparator();
        } else if (QAction* action = Action(id)) {
            menu->addAction(action);
        }
    }
    return menu;
}

bool CommandTable::Enabled(int id, int busyCount) const {
    const MainCommandRow* row = FindCommandRow(id);
    if (!row || !RuleAllows(row->rule, busyCount))
        return false;
    auto handler = handlers_.find(id);
    if (handler == handlers_.end() || !handler->second)
        return false;
    return !enabledCheck_ || enabledCheck_(id);
}

void CommandTable::UpdateEnabled(int busyCount) {
    for (auto& [id, action] : actions_)
        action->setEnabled(Enabled(id, busyCount));
}

bool CommandTable::Run(int id, int busyCount) {
    if (!Enabled(id, busyCount))
        return false;
    handlers_[id]();
    return true;
}

}  // namespace corvina
