// The services' own members. The desktop's defaults are in platform_defaults.cpp, apart, so that
// programs which make their own services (sayloom-cli) do not link the desktop's pieces.
#include "app/app_services.h"

#include "app/cloud/cloud_access.h"

namespace sayloom {

AppServices::AppServices() = default;
AppServices::AppServices(AppServices&&) noexcept = default;
AppServices& AppServices::operator=(AppServices&&) noexcept = default;
AppServices::~AppServices() = default;

}  // namespace sayloom
