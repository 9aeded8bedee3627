// The presets of the sidebar, bound to the preset editor.
#include "ui/studio/preset_list.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>

#include "app/presets/preset_editor.h"
#include "platform/accessibility_settings.h"
#include "ui/binding.h"
#include "ui/captions/preset_swatch.h"
#include "ui/icons/icons.h"

namespace sayloom::ui {

namespace {

constexpr QSize swatchSize(30, 20);

// Rows of presets carry their Id; headings carry none.
QString presetIdOf(const QListWidgetItem* item) { return item->data(Qt::UserRole).toString(); }

}  // namespace

PresetList::PresetList(PresetEditor& editor, QWidget* parent) : QListWidget(parent), m_editor(editor) {
  setAccessibleName(QStringLiteral("오버레이 프리셋"));
  setSelectionMode(QAbstractItemView::SingleSelection);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  follow(this, &editor, &PresetEditor::presetsChanged, [this] { refresh(); });
  follow(this, &editor, &PresetEditor::selectedPresetIDChanged, [this] { showSelection(); });
  // The swatches follow the desktop's contrast and transparency settings.
  connect(&platform::AccessibilitySettings::shared(), &platform::AccessibilitySettings::changed, this,
          [this] { refresh(); });
  connect(this, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
    if (item != nullptr && !presetIdOf(item).isEmpty()) {
      m_editor.setSelectedPresetID(presetIdOf(item));
    }
  });
}

QListWidgetItem* PresetList::addHeading(const QString& text) {
  auto* item = new QListWidgetItem(text, this);
  item->setFlags(Qt::NoItemFlags);
  QFont font = item->font();
  font.setBold(true);
  font.setPointSizeF(font.pointSizeF() * 0.9);
  item->setFont(font);
  item->setForeground(palette().color(QPalette::PlaceholderText));
  return item;
}

void PresetList::fillRow(QListWidgetItem* item, const OverlayPreset& preset) {
  const QString name = QString::fromStdString(preset.Name);
  item->setData(Qt::UserRole, QString::fromStdString(preset.Id));
  item->setData(Qt::AccessibleTextRole, preset.IsEnabled ? name + QLatin1Char('\n') + shownTag : name);
  QWidget* row = itemWidget(item);
  if (row == nullptr) {
    row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(6, 3, 6, 3);
    layout->setSpacing(7);
    for (const char* part : {"kind", "swatch", "name"}) {
      auto* label = new QLabel(row);
      label->setObjectName(QLatin1String(part));
      layout->addWidget(label, part == std::string_view("name") ? 1 : 0);
    }
    auto* tag = new QLabel(shownTag, row);
    tag->setObjectName(QStringLiteral("tag"));
    layout->addWidget(tag);
    setItemWidget(item, row);
  }
  const platform::AccessibilitySettings& accessibility = platform::AccessibilitySettings::shared();
  const RenderOptions options{.increasedContrast = accessibility.increasedContrast(),
                              .reduceTransparency = accessibility.reduceTransparency(),
                              .forceOpaque = false};
  row->findChild<QLabel*>(QStringLiteral("kind"))
      ->setPixmap(Icons::icon(Icons::presetKindSymbol(QString::fromStdString(preset.Kind))).pixmap(16, 16));
  row->findChild<QLabel*>(QStringLiteral("swatch"))
      ->setPixmap(PresetSwatch::pixmap(preset, swatchSize, devicePixelRatioF(), options));
  auto* nameLabel = row->findChild<QLabel*>(QStringLiteral("name"));
  nameLabel->setText(name);
  nameLabel->setToolTip(name);
  row->findChild<QLabel*>(QStringLiteral("tag"))->setVisible(preset.IsEnabled);
  // As wide as the list whatever the row would like, so that nothing hides under the scroll bar.
  item->setSizeHint(QSize(0, row->sizeHint().height()));
}

void PresetList::refresh() {
  std::vector<const OverlayPreset*> builtIn;
  std::vector<const OverlayPreset*> own;
  for (const OverlayPreset& preset : m_editor.presets()) {
    (preset.IsBuiltIn ? builtIn : own).push_back(&preset);
  }
  // The rows in order, headings as null.
  std::vector<const OverlayPreset*> rows{nullptr};
  rows.insert(rows.end(), builtIn.begin(), builtIn.end());
  rows.push_back(nullptr);
  rows.insert(rows.end(), own.begin(), own.end());

  bool sameRows = count() == static_cast<int>(rows.size());
  for (int i = 0; sameRows && i < count(); ++i) {
    const OverlayPreset* preset = rows[static_cast<std::size_t>(i)];
    sameRows = presetIdOf(item(i)) == (preset != nullptr ? QString::fromStdString(preset->Id) : QString());
  }
  const QSignalBlocker quiet(this);
  if (!sameRows) {
    clear();
    addHeading(builtInHeading);
    for (std::size_t i = 0; i < builtIn.size(); ++i) {
      new QListWidgetItem(this);
    }
    addHeading(QString());
    for (std::size_t i = 0; i < own.size(); ++i) {
      new QListWidgetItem(this);
    }
  }
  for (int i = 0; i < count(); ++i) {
    if (const OverlayPreset* preset = rows[static_cast<std::size_t>(i)]) {
      fillRow(item(i), *preset);
    }
  }
  item(static_cast<int>(builtIn.size()) + 1)->setText(QStringLiteral("%1 %2").arg(userHeading).arg(own.size()));
  showSelection();
}

void PresetList::showSelection() {
  const QSignalBlocker quiet(this);
  setCurrentItem(nullptr);
  for (int i = 0; i < count(); ++i) {
    if (!presetIdOf(item(i)).isEmpty() && presetIdOf(item(i)) == QString::fromStdString(m_editor.selectedPreset().Id)) {
      setCurrentItem(item(i));
      break;
    }
  }
}

}  // namespace sayloom::ui
