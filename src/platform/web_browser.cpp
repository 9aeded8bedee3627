// Opening web pages in the desktop's default browser.
#include "platform/web_browser.h"

#include <QDesktopServices>

namespace sayloom::platform {

void DesktopWebBrowser::open(const QUrl& url) { QDesktopServices::openUrl(url); }

}  // namespace sayloom::platform
