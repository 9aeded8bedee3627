// Shared bindings of the studio views.
#include "ui/studio/view_bindings.h"

#include "app/cloud/cloud_access.h"
#include "ui/binding.h"

namespace sayloom::ui {

void bindWorkspaces(QComboBox* box, CloudAccess& cloud) {
  const auto refresh = [box, &cloud] {
    std::vector<Choice> list;
    for (const CloudWorkspace& each : cloud.workspaces()) {
      list.push_back({QString::fromStdString(each.name), QString::fromStdString(each.id)});
    }
    if (list.empty()) {
      list.push_back({QStringLiteral("선택하세요"), QString()});
    }
    setChoices(box, list);
    showChoice(box, cloud.workspaceID());
  };
  follow(box, &cloud, &CloudAccess::workspacesChanged, refresh);
  follow(box, &cloud, &CloudAccess::workspaceIDChanged, refresh);
  QObject::connect(box, &QComboBox::activated, box,
                   [box, &cloud](int index) { cloud.setWorkspaceID(box->itemData(index).toString()); });
}

}  // namespace sayloom::ui
