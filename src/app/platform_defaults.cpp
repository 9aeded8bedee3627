// The desktop's defaults for the pieces the application model reaches.
#include "app/app_services.h"
#include "app/cloud/account_cloud_access.h"
#include "app/recording/audio_capture.h"
#include "platform/logind_sleep_watcher.h"
#include "platform/web_browser.h"

namespace sayloom {

AppServices AppServices::platformDefaults() {
  AppServices services;
  services.sleepWatcher = std::make_unique<platform::LogindSleepWatcher>();
  services.displayList = std::make_unique<platform::DesktopDisplayList>();
  services.settings = std::make_unique<platform::DesktopSettingsStore>();
  services.makeCapture = [] { return std::make_unique<AudioCapture>(); };
  services.cloud = std::make_unique<AccountCloudAccess>(FirebaseAccountLink::forThisDesktop(),
                                                        std::make_unique<platform::DesktopWebBrowser>());
  return services;
}

}  // namespace sayloom
