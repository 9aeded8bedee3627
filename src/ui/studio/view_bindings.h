#pragma once
// Bindings to the application model that several studio views share. Main thread only.
#include <QComboBox>
#include <functional>

namespace sayloom {
class AppModel;
class CloudAccess;
}

namespace sayloom::ui {

// The account's workspaces, choosing the cloud's `workspaceID`; "선택하세요" when there is none.
void bindWorkspaces(QComboBox* box, CloudAccess& cloud);

// A recording, a start, stop or export, or recognition runs: commands on a note wait meanwhile.
bool isBusy(AppModel& model);
// Calls `refresh` now and whenever `isBusy` may have changed.
void followBusy(QObject* control, AppModel& model, const std::function<void()>& refresh);

}  // namespace sayloom::ui
