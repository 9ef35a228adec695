#include "ui/main/CFolderTree.h"

#include "ui/main/MainContext.h"

namespace corvina {

CFolderTree::CFolderTree(MainContext& context, QWidget* parent)
    : QTreeView(parent), context_(context) {
    setObjectName("FolderTree");
}

CFolderTree::~CFolderTree() = default;

void CFolderTree::Rebuild() {}

bool CFolderTree::SelectFolder(std::string_view folderName) {
    FolderNode* node = context_.tree.FindNode(folderName);
    if (!node) {
        return false;
    }
    emit FolderOpened(node->folder.get());
    return true;
}

}  // namespace corvina
