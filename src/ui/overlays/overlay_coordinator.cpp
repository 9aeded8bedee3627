#include "ui/overlays/overlay_coordinator.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <set>

#include "platform/screen_geometry.h"
#include "ui/overlays/global_hot_key.h"
#include "ui/overlays/overlay_panel.h"
#include "ui/overlays/panel_window_system.h"

namespace sayloom::ui {

namespace {

constexpr std::chrono::milliseconds pollInterval{150};
constexpr Qt::KeyboardModifiers editKeys = Qt::AltModifier | Qt::MetaModifier;  // Meta is Super

}  // namespace

OverlayCoordinator::OverlayCoordinator(QObject* parent)
    : OverlayCoordinator(PanelWindowSystem::forApplication(), GlobalHotKey::forApplication(), parent) {}

OverlayCoordinator::OverlayCoordinator(std::unique_ptr<PanelWindowSystem> windowSystem,
                                       std::unique_ptr<GlobalHotKey> hotKey, QObject* parent)
    : QObject(parent), m_windowSystem(std::move(windowSystem)), m_hotKey(std::move(hotKey)) {
  m_modifierTimer.setInterval(pollInterval);
  connect(&m_modifierTimer, &QTimer::timeout, this, &OverlayCoordinator::pollModifiers);

  m_screenChange.setSingleShot(true);
  m_screenChange.setInterval(0);
  connect(&m_screenChange, &QTimer::timeout, this, &OverlayCoordinator::recoverAll);
  if (qGuiApp != nullptr) {
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
      watchScreen(screen);
      m_screenChange.start();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, [this] { m_screenChange.start(); });
    for (QScreen* screen : QGuiApplication::screens()) {
      watchScreen(screen);
    }
  }

  // The press is handled from the event loop, so the toggle never runs inside the key handling.
  connect(
      m_hotKey.get(), &GlobalHotKey::pressed, this,
      [this] {
        if (m_toggleAction) {
          m_toggleAction();
        }
      },
      Qt::QueuedConnection);
}

OverlayCoordinator::~OverlayCoordinator() = default;

void OverlayCoordinator::watchScreen(QScreen* screen) {
  connect(screen, &QScreen::geometryChanged, this, [this] { m_screenChange.start(); });
  connect(screen, &QScreen::availableGeometryChanged, this, [this] { m_screenChange.start(); });
}

void OverlayCoordinator::update(const std::vector<OverlayPreset>& presets, const QString& original,
                                const QString& translation, const QString& language,
                                const LayoutMap& layouts) {
  std::set<QString> enabled;
  for (const OverlayPreset& preset : presets) {
    if (preset.IsEnabled) {
      enabled.insert(QString::fromStdString(preset.Id));
    }
  }
  std::erase_if(m_panels, [&](const auto& entry) { return !enabled.contains(entry.first); });

  for (const OverlayPreset& preset : presets) {
    if (!preset.IsEnabled) {
      continue;
    }
    const QString id = QString::fromStdString(preset.Id);
    auto it = m_panels.find(id);
    if (it == m_panels.end()) {
      const Rect frame = OverlayGeometry::firstFrame(preset, layouts, screens(), mainScreen());
      auto panel = std::make_unique<OverlayPanel>(*m_windowSystem, frame);
      panel->setOnFrame([coordinator = QPointer<OverlayCoordinator>(this), id](const Rect& frame) {
        if (coordinator && coordinator->m_saveLayout) {
          coordinator->m_saveLayout(id, frame);
        }
      });
      it = m_panels.emplace(id, std::move(panel)).first;
    }
    OverlayPanel& panel = *it->second;
    panel.showCaption(preset, original, translation, language);
    if (m_hidden) {
      panel.conceal();
    } else {
      panel.present();
    }
  }

  if (m_panels.empty()) {
    m_modifierTimer.stop();
  } else if (!m_modifierTimer.isActive()) {
    m_modifierTimer.start();
  }
}

std::vector<ScreenInfo> OverlayCoordinator::screens() const { return platform::desktopScreens(); }

std::optional<std::size_t> OverlayCoordinator::mainScreen() const { return platform::desktopMainScreen(); }

Rect OverlayCoordinator::clampFrame(const Rect& frame) const {
  return OverlayGeometry::clamp(frame, OverlayGeometry::visibleFrames(screens()));
}

OverlayPanel* OverlayCoordinator::panel(const QString& id) const {
  const auto it = m_panels.find(id);
  return it != m_panels.end() ? it->second.get() : nullptr;
}

void OverlayCoordinator::setManualEdit(bool on) {
  m_manualEdit = on;
  pollModifiers();
}

void OverlayCoordinator::pollModifiers() {
  const bool editing = m_manualEdit || (QGuiApplication::queryKeyboardModifiers() & editKeys) == editKeys;
  for (const auto& [id, panel] : m_panels) {
    panel->setEditing(editing);
  }
}

void OverlayCoordinator::recoverAll() {
  for (const auto& [id, panel] : m_panels) {
    panel->setFrame(clampFrame(panel->frame()));
    panel->reportFrame();
  }
}

bool OverlayCoordinator::registerShortcut(Qt::Key key) { return m_hotKey->registerKey(key); }

}  // namespace sayloom::ui
