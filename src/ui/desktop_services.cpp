#include "ui/desktop_services.h"

#include <memory>

#include "ui/dialogs/file_open_dialog.h"
#include "ui/dialogs/file_save_dialog.h"
#include "ui/overlays/overlay_coordinator.h"

namespace sayloom::ui {

AppServices desktopServices() {
  AppServices services = AppServices::platformDefaults();
  services.openDialog = std::make_unique<FileOpenDialog>();
  services.saveDialog = std::make_unique<FileSaveDialog>();
  services.overlays = std::make_unique<OverlayCoordinator>();
  return services;
}

}  // namespace sayloom::ui
