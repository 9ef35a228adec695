#pragma once
// "Manual Filtering" (and the exit filter): every InBox message that a rule
// sends elsewhere is moved into that folder.

namespace corvina {

class FilterList;
class FolderTree;

// Returns the number of messages moved, -1 when nothing was done (the list
// shows no folder, or the tree has no InBox). A message whose delivery fails
// stays in InBox.
int ManualFiltering(FolderTree& tree, const FilterList& filters);

}  // namespace corvina
