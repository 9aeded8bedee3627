#pragma once
// One workspace membership of the signed-in account, as the cloud lists it: a plain value compared
// field by field; any thread.
#include <string>

namespace sayloom {

struct CloudWorkspace {
  std::string id;    // the membership document's `workspaceId`
  std::string name;  // `workspaceName`
  std::string type;  // `workspaceType`, for example "personal"
  std::string role;  // `role`

  bool operator==(const CloudWorkspace&) const = default;
};

}  // namespace sayloom
