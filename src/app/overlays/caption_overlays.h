#pragma once
// The caption windows as the model sees them: whether they are all hidden, whether edit mode is
// on, and the one call that brings the windows in line with the presets and shows a caption. The
// windows themselves belong to the window layer, behind `OverlayWindows`.
//
// Thread contract: main thread only.
#include <QObject>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "app/overlay_windows.h"

namespace sayloom {

class CaptionOverlays : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool hidden READ hidden WRITE setHidden NOTIFY hiddenChanged)
  Q_PROPERTY(bool editing READ editing WRITE setEditing NOTIFY editingChanged)

public:
  // `windows` may be null: there is no window system, and nothing is shown.
  explicit CaptionOverlays(std::unique_ptr<OverlayWindows> windows, QObject* parent = nullptr);
  ~CaptionOverlays() override;

  bool hidden() const { return m_hidden; }
  void setHidden(bool hidden);
  bool editing() const { return m_editing; }
  void setEditing(bool editing);

  // One window per enabled preset, showing `original` and its `translation`.
  void show(const std::vector<OverlayPreset>& presets, const LayoutMap& layouts, const QString& original,
            const QString& translation, const QString& language);

  // The screens the windows stand on (bottom-left, y-up), and the main one among them.
  std::vector<ScreenInfo> screens() const;
  std::optional<std::size_t> mainScreen() const;

  OverlayWindows* windows() const { return m_windows.get(); }

signals:
  void hiddenChanged();
  void editingChanged();

private:
  std::unique_ptr<OverlayWindows> m_windows;
  bool m_hidden = false;
  bool m_editing = false;
};

}  // namespace sayloom
