#include "ui/main/CMoList.h"

#include "ui/main/MainContext.h"

namespace corvina {

CMoList::CMoList(MainContext& context, QWidget* parent) : QTreeView(parent), context_(context) {
    setObjectName("MessageList");
}

CMoList::~CMoList() = default;

void CMoList::ShowFolder(MailFolder* folder) {
    context_.list.FillMessageList(folder);
}

}  // namespace corvina
