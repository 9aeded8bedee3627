#pragma once
// Bindings to the application model that several studio views share. Main thread only.
#include <QComboBox>

namespace sayloom {
class CloudAccess;
}

namespace sayloom::ui {

// The account's workspaces, choosing the cloud's `workspaceID`; "선택하세요" when there is none.
void bindWorkspaces(QComboBox* box, CloudAccess& cloud);

}  // namespace sayloom::ui
