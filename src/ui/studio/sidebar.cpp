// The sidebar: sections, notes, presets, the data folder and the account box.
#include "ui/studio/sidebar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/app_model.h"
#include "app/cloud/cloud_access.h"
#include "app/notes/note_library.h"
#include "app/presets/preset_editor.h"
#include "ui/binding.h"
#include "ui/icons/icons.h"
#include "ui/shell/app_actions.h"
#include "ui/studio/note_list.h"
#include "ui/studio/preset_list.h"
#include "ui/studio/studio_style.h"

namespace sayloom::ui {

namespace {

// The account: the signed-in profile, or the local workspace that needs no account.
QWidget* makeAccountBox(CloudAccess& cloud, QWidget* parent) {
  auto* box = makeCard(parent);
  box->setAccessibleName(QStringLiteral("계정"));
  auto* layout = static_cast<QVBoxLayout*>(box->layout());
  layout->setContentsMargins(10, 8, 10, 8);
  layout->setSpacing(2);
  auto* row = new QHBoxLayout;
  layout->addLayout(row);
  auto* icon = new QLabel(box);
  icon->setPixmap(Icons::icon(QStringLiteral("person.crop.circle")).pixmap(22, 22));
  row->addWidget(icon, 0, Qt::AlignTop);
  auto* lines = new QVBoxLayout;
  lines->setSpacing(1);
  row->addLayout(lines, 1);
  auto* kicker = makeCaption(QString(), box);
  auto* name = makeHeading(QString(), box, 0);
  auto* detail = makeCaption(QString(), box);
  lines->addWidget(kicker);
  lines->addWidget(name);
  lines->addWidget(detail);
  follow(box, &cloud, &CloudAccess::profileChanged, [=, &cloud] {
    const std::optional<FirebaseProfile>& profile = cloud.profile();
    kicker->setVisible(profile.has_value());
    if (profile) {
      kicker->setText(QStringLiteral("기존 Sayloom 계정"));
      name->setText(
          QString::fromStdString(profile->displayName.empty() ? profile->email : profile->displayName));
      detail->setText(QString::fromStdString(profile->email));
    } else {
      name->setText(QStringLiteral("로컬 작업 공간"));
      detail->setText(QStringLiteral("로그인 없이 녹음 가능"));
    }
  });
  return box;
}

}  // namespace

Sidebar::Sidebar(AppModel& model, AppActions& actions, QWidget* parent) : QWidget(parent) {
  setMinimumWidth(215);
  setMaximumWidth(290);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 14, 8, 12);
  layout->setSpacing(6);

  auto* mark = new QLabel(QStringLiteral("Sayloom"), this);
  mark->setObjectName(QStringLiteral("mark"));
  layout->addWidget(mark);
  auto* markLine = new QLabel(QStringLiteral("NATIVE STUDIO"), this);
  markLine->setObjectName(QStringLiteral("markLine"));
  layout->addWidget(markLine);
  layout->addSpacing(6);

  layout->addWidget(makeCaption(QStringLiteral("작업 공간"), this));
  m_sections = new QListWidget(this);
  m_sections->setAccessibleName(QStringLiteral("작업 공간"));
  m_sections->addItem(
      new QListWidgetItem(Icons::icon(QStringLiteral("waveform")), QStringLiteral("스튜디오")));
  m_sections->addItem(
      new QListWidgetItem(Icons::icon(QStringLiteral("captions.bubble")), QStringLiteral("내 노트")));
  m_sections->setCurrentRow(0);
  m_sections->setFixedHeight(m_sections->sizeHintForRow(0) * 2 + 2 * m_sections->frameWidth() + 4);
  m_sections->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_sections->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  connect(m_sections, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0) {
      emit sectionChanged(section());
    }
  });
  layout->addWidget(m_sections);

  m_notes = new NoteList(model.library(), this);
  m_notes->setMinimumHeight(90);
  layout->addWidget(m_notes, 3);

  // The presets and their commands.
  auto* presetHeader = new QHBoxLayout;
  layout->addLayout(presetHeader);
  presetHeader->addWidget(makeCaption(QStringLiteral("오버레이 프리셋"), this), 1);
  auto* newPreset = new QPushButton(Icons::icon(QStringLiteral("plus")), QStringLiteral("새 프리셋"), this);
  onClick(newPreset, [&model] { model.newPreset(false); });
  presetHeader->addWidget(newPreset);
  auto* more = new QToolButton(this);
  more->setIcon(Icons::icon(QStringLiteral("ellipsis.circle")));
  more->setAccessibleName(QStringLiteral("프리셋 파일"));
  more->setToolTip(QStringLiteral("프리셋 파일"));
  more->setPopupMode(QToolButton::InstantPopup);
  auto* moreMenu = new QMenu(more);
  onTrigger(moreMenu->addAction(QStringLiteral("JSON 가져오기")), [&model] { start(model.importPresets()); });
  onTrigger(moreMenu->addAction(QStringLiteral("JSON 내보내기")), [&model] { start(model.exportPresets()); });
  more->setMenu(moreMenu);
  presetHeader->addWidget(more);
  follow(newPreset, &model.presetEditor(), &PresetEditor::presetReadOnlyChanged,
         [newPreset, &model] { newPreset->setEnabled(!model.presetEditor().presetReadOnly()); });

  m_presets = new PresetList(model.presetEditor(), this);
  m_presets->setMinimumHeight(190);
  layout->addWidget(m_presets, 2);

  auto* folder = new QPushButton(this);
  driveButton(folder, actions.openDataFolder());
  layout->addWidget(folder);

  layout->addWidget(makeAccountBox(model.cloud(), this));
}

Section Sidebar::section() const { return m_sections->currentRow() == 1 ? Section::notes : Section::studio; }

void Sidebar::setSection(Section section) { m_sections->setCurrentRow(section == Section::notes ? 1 : 0); }

}  // namespace sayloom::ui
