#include "ui/main/CMainFrame.h"

#include <QSplitter>
#include <QStatusBar>

#include "ui/bridge/MailThread.h"
#include "ui/editor/QtEditorDialogs.h"
#include "ui/main/CFolderTree.h"
#include "ui/main/CMoList.h"
#include "ui/main/CMoView.h"
#include "ui/main/MainContext.h"

namespace corvina {

CMainFrame::CMainFrame(MainContext& context, QWidget* parent)
    : QMainWindow(parent), context_(context) {
    setObjectName("MarloMainFrameClass");
    dialogs_ = std::make_unique<QtEditorDialogs>(this, &context_.config, context_.search);
    mail_ = new MailThread(context_, this);
    BuildPanes();
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::BuildPanes() {
    tree_ = new CFolderTree(context_);
    list_ = new CMoList(context_);
    view_ = new CMoView(context_, *dialogs_);

    auto* right = new QSplitter(Qt::Vertical);
    right->addWidget(list_);
    right->addWidget(view_);
    auto* main = new QSplitter(Qt::Horizontal);
    main->addWidget(tree_);
    main->addWidget(right);
    main->setStretchFactor(1, 1);
    setCentralWidget(main);

    connect(tree_, &CFolderTree::FolderOpened, list_, &CMoList::ShowFolder);
    connect(list_, &CMoList::FolderSelectRequested, tree_, &CFolderTree::SelectFolderOf);
    connect(list_, &CMoList::StatusMessage, statusBar(),
            [this](const QString& text) { statusBar()->showMessage(text); });
    connect(tree_, &CFolderTree::StatusMessage, statusBar(),
            [this](const QString& text) { statusBar()->showMessage(text); });
    tree_->Rebuild();
}

bool CMainFrame::RunCommand(int) {
    return false;
}

}  // namespace corvina
