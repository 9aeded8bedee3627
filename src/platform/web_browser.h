#pragma once
// The desktop's default browser, for the web application's pairing and note pages.
//
// Thread contract: main thread only.
#include <QUrl>

namespace sayloom::platform {

class WebBrowser {
public:
  virtual ~WebBrowser() = default;
  // Asks the desktop to show `url`; whether a browser appears is the desktop's business.
  virtual void open(const QUrl& url) = 0;
};

// The desktop's URL handler (xdg-open and its peers).
class DesktopWebBrowser final : public WebBrowser {
public:
  void open(const QUrl& url) override;
};

}  // namespace sayloom::platform
