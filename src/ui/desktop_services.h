#pragma once
// The application model's services on the desktop: the platform's defaults and the pieces only the
// window layer can make. Main thread, with a QApplication.
#include "app/app_services.h"

namespace sayloom::ui {

// AppServices::platformDefaults() with the desktop's own open and save dialogs and the caption
// windows.
AppServices desktopServices();

}  // namespace sayloom::ui
