#include "ui/inspector/preset_inspector.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>
#include <optional>

#include "app/presets/preset_editor.h"
#include "ui/inspector/gradient_editor.h"
#include "ui/inspector/hex_color_editor.h"
#include "ui/inspector/value_slider.h"

namespace sayloom::ui {

// Keeps a text field and one text of the selected preset in step. Typing edits the preset at once;
// until the edit is finished (Return, or leaving the field) the field keeps the text as typed even
// where the stored value is normalised (trimmed, lower-cased...), unless the stored value changes
// from elsewhere (undo, another preset). Finishing shows the stored value.
class TextFieldLink {
public:
  TextFieldLink(QLineEdit* field, std::function<QString()> read, std::function<void(const QString&)> write)
      : m_field(field), m_read(std::move(read)), m_write(std::move(write)) {
    QObject::connect(field, &QLineEdit::textEdited, field, [this](const QString& text) {
      m_writing = true;  // the edit refreshes the form before it returns
      m_write(text);
      m_writing = false;
      m_written = m_read();
    });
    QObject::connect(field, &QLineEdit::editingFinished, field, [this] {
      m_written.reset();
      refresh();
    });
  }

  // `force`: another preset is shown, whatever the field holds.
  void refresh(bool force = false) {
    const QString stored = m_read();
    if (!force && (m_writing || m_written == stored)) {
      return;
    }
    m_written.reset();
    if (m_field->text() != stored) {
      m_field->setText(stored);
    }
  }

private:
  QLineEdit* m_field;
  std::function<QString()> m_read;
  std::function<void(const QString&)> m_write;
  bool m_writing = false;
  // What the preset held right after this field's last edit.
  std::optional<QString> m_written;
};

namespace {

QLabel* noteLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setWordWrap(true);
  label->setForegroundRole(QPalette::PlaceholderText);
  return label;
}

QString fromStd(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

PresetInspector::PresetInspector(PresetEditor& editor, QWidget* parent) : QWidget(parent), m_editor(editor) {
  auto* form = new QWidget();
  auto* layout = new QVBoxLayout(form);
  layout->setSpacing(14);
  layout->addWidget(buildHeader());

  auto* general = new QWidget(form);
  auto* generalLayout = new QVBoxLayout(general);
  generalLayout->setContentsMargins(0, 0, 0, 0);
  addTextField(
      generalLayout, QStringLiteral("프리셋 이름"),
      [this] { return fromStd(m_editor.selectedPreset().Name); },
      [this](const QString& text) { m_editor.binding(&OverlayPreset::Name).set(text.toStdString()); });
  addToggle(generalLayout, QStringLiteral("화면에 표시"), &OverlayPreset::IsEnabled);
  m_editable.push_back(general);
  layout->addWidget(general);

  layout->addWidget(buildBackground());
  layout->addWidget(buildCaption());

  m_advancedToggle = new QToolButton(form);
  m_advancedToggle->setText(advancedTitle);
  m_advancedToggle->setCheckable(true);
  m_advancedToggle->setAutoRaise(true);
  m_advancedToggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  m_advancedToggle->setArrowType(Qt::RightArrow);
  layout->addWidget(m_advancedToggle);
  m_advanced = buildAdvanced();
  m_advanced->setVisible(false);
  layout->addWidget(m_advanced);
  connect(m_advancedToggle, &QToolButton::toggled, this, &PresetInspector::setAdvancedOpen);

  layout->addWidget(noteLabel(footer(), form));
  layout->addStretch(1);

  auto* scroll = new QScrollArea(this);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll->setWidget(form);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(scroll);

  connect(&m_editor, &PresetEditor::presetsChanged, this, &PresetInspector::refresh);
  connect(&m_editor, &PresetEditor::selectedPresetIDChanged, this, &PresetInspector::refresh);
  connect(&m_editor, &PresetEditor::presetReadOnlyChanged, this, &PresetInspector::refresh);
  refresh();
}

QString PresetInspector::footer() {
  return QStringLiteral("변경 내용은 자동으로 저장됩니다. %1로 되돌릴 수 있습니다.")
      .arg(QKeySequence(QKeySequence::Undo).toString(QKeySequence::NativeText));
}

PresetInspector::~PresetInspector() {
  // Let a field that has focus finish its edit now, while the form is whole, rather than when the
  // closing window takes the focus away.
  if (QWidget* focused = QApplication::focusWidget(); focused != nullptr && isAncestorOf(focused)) {
    focused->clearFocus();
  }
}

QWidget* PresetInspector::buildHeader() {
  auto* header = new QWidget();
  auto* layout = new QHBoxLayout(header);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* heading = new QLabel(title, header);
  QFont font = heading->font();
  font.setPointSizeF(font.pointSizeF() * 1.25);
  font.setWeight(QFont::Bold);
  heading->setFont(font);
  layout->addWidget(heading, 1);

  auto* menuButton = new QToolButton(header);
  menuButton->setIcon(QIcon::fromTheme(QStringLiteral("view-more-symbolic")));
  if (menuButton->icon().isNull()) {
    menuButton->setText(QStringLiteral("⋯"));
  }
  menuButton->setAccessibleName(QStringLiteral("프리셋 메뉴"));
  menuButton->setPopupMode(QToolButton::InstantPopup);
  auto* menu = new QMenu(menuButton);
  QAction* duplicate = menu->addAction(QIcon::fromTheme(QStringLiteral("edit-copy")), QStringLiteral("복제"));
  m_delete = menu->addAction(QIcon::fromTheme(QStringLiteral("edit-delete")), QStringLiteral("삭제"));
  connect(duplicate, &QAction::triggered, this, [this] { m_editor.newPreset(true); });
  connect(m_delete, &QAction::triggered, this, [this] { m_editor.deletePreset(); });
  menuButton->setMenu(menu);
  layout->addWidget(menuButton);
  m_editable.push_back(menuButton);
  return header;
}

QWidget* PresetInspector::buildBackground() {
  auto* box = new QGroupBox(QStringLiteral("배경"));
  auto* layout = new QVBoxLayout(box);
  addColor(layout, QStringLiteral("배경"), &OverlayPreset::BackgroundColor);
  addChoice(layout, QStringLiteral("배경 모드"), &OverlayPreset::BackgroundMode,
            {{QStringLiteral("Solid"), QStringLiteral("단색")},
             {QStringLiteral("Linear"), QStringLiteral("선형")},
             {QStringLiteral("Radial"), QStringLiteral("방사형")}});
  addSlider(layout, QStringLiteral("배경 불투명도"), &OverlayPreset::BackgroundOpacity, QStringLiteral("%"),
            100, 0, 100);

  m_gradientControls = new QWidget(box);
  auto* gradientLayout = new QVBoxLayout(m_gradientControls);
  gradientLayout->setContentsMargins(0, 0, 0, 0);
  ValueSlider* angle = addSlider(gradientLayout, QStringLiteral("각도"), &OverlayPreset::GradientAngle,
                                 QStringLiteral("°"), 1, 0, 360);
  auto* angleField = new QSpinBox();
  angleField->setRange(0, 360);
  angleField->setSuffix(QStringLiteral("°"));
  angleField->setKeyboardTracking(false);
  angleField->setAccessibleName(QStringLiteral("그라데이션 각도 숫자 입력"));
  angle->addTrailing(angleField);
  connect(angleField, &QSpinBox::valueChanged, this,
          [this](int degrees) { m_editor.binding(&OverlayPreset::GradientAngle).set(degrees); });
  m_updaters.push_back([angleField](const OverlayPreset& preset) {
    const QSignalBlocker blocker(angleField);
    angleField->setValue(static_cast<int>(std::lround(preset.GradientAngle)));
  });
  m_gradient = new GradientEditor(m_editor, m_gradientControls);
  gradientLayout->addWidget(m_gradient);
  layout->addWidget(m_gradientControls);

  addSlider(layout, QStringLiteral("표면 빛"), &OverlayPreset::GlassIntensity, QStringLiteral("%"), 100, 0,
            100);
  m_editable.push_back(box);
  return box;
}

QWidget* PresetInspector::buildCaption() {
  auto* box = new QGroupBox(QStringLiteral("자막"));
  auto* layout = new QVBoxLayout(box);
  addSlider(layout, QStringLiteral("글자 크기"), &OverlayPreset::FontSize, QStringLiteral("pt"), 1, 14, 96);
  addChoice(
      layout, QStringLiteral("정렬"), &OverlayPreset::Alignment,
      {{QStringLiteral("Left"), QStringLiteral("왼쪽 정렬"), QStringLiteral("format-justify-left")},
       {QStringLiteral("Center"), QStringLiteral("가운데 정렬"), QStringLiteral("format-justify-center")},
       {QStringLiteral("Right"), QStringLiteral("오른쪽 정렬"), QStringLiteral("format-justify-right")}});
  addToggle(layout, QStringLiteral("원문 표시"), &OverlayPreset::ShowOriginal);
  addToggle(layout, QStringLiteral("번역 표시"), &OverlayPreset::ShowTranslations);
  addToggle(layout, QStringLiteral("헤더 표시"), &OverlayPreset::ShowHeader);
  addColor(layout, QStringLiteral("원문"), &OverlayPreset::ForegroundColor);
  addColor(layout, QStringLiteral("번역"), &OverlayPreset::TranslationColor);
  m_editable.push_back(box);
  return box;
}

QWidget* PresetInspector::buildAdvanced() {
  auto* advanced = new QWidget();
  auto* layout = new QVBoxLayout(advanced);
  layout->setContentsMargins(0, 0, 0, 0);
  addTextField(
      layout, QStringLiteral("글꼴 이름"), [this] { return fromStd(m_editor.selectedPreset().FontFamily); },
      [this](const QString& text) { m_editor.binding(&OverlayPreset::FontFamily).set(text.toStdString()); });
  layout->addWidget(
      noteLabel(QStringLiteral("설치되지 않은 글꼴은 시스템 글꼴로 표시합니다. 원래 글꼴 이름은 유지됩니다."),
                advanced));
  addSlider(layout, QStringLiteral("모서리"), &OverlayPreset::CornerRadius, QStringLiteral("pt"), 1, 0, 60);
  addSlider(layout, QStringLiteral("안쪽 여백"), &OverlayPreset::Padding, QStringLiteral("pt"), 1, 4, 64);
  addColor(layout, QStringLiteral("테두리"), &OverlayPreset::BorderColor);
  addTextField(
      layout, QStringLiteral("번역 언어 필터 (en, ko)"),
      [this] { return languagesText(m_editor.selectedPreset().Languages); },
      [this](const QString& text) {
        m_editor.binding(&OverlayPreset::Languages).set(languagesFromText(text));
      });
  m_editable.push_back(advanced);
  return advanced;
}

QLineEdit* PresetInspector::addTextField(QVBoxLayout* layout, const QString& label,
                                         std::function<QString()> read,
                                         std::function<void(const QString&)> write) {
  auto* title = new QLabel(label);
  auto* field = new QLineEdit();
  title->setBuddy(field);
  field->setAccessibleName(label);
  layout->addWidget(title);
  layout->addWidget(field);
  m_textLinks.push_back(std::make_unique<TextFieldLink>(field, std::move(read), std::move(write)));
  return field;
}

ValueSlider* PresetInspector::addSlider(QVBoxLayout* layout, const QString& label,
                                        double OverlayPreset::*field, const QString& unit, double factor,
                                        int minimum, int maximum) {
  auto* slider = new ValueSlider(label, {unit, factor, minimum, maximum});
  layout->addWidget(slider);
  connect(slider, &ValueSlider::valueEdited, this,
          [this, field](double value) { m_editor.binding(field).set(value); });
  m_updaters.push_back([slider, field](const OverlayPreset& preset) { slider->setValue(preset.*field); });
  return slider;
}

QCheckBox* PresetInspector::addToggle(QVBoxLayout* layout, const QString& label, bool OverlayPreset::*field) {
  auto* toggle = new QCheckBox(label);
  layout->addWidget(toggle);
  connect(toggle, &QCheckBox::toggled, this, [this, field](bool on) { m_editor.binding(field).set(on); });
  m_updaters.push_back([toggle, field](const OverlayPreset& preset) {
    const QSignalBlocker blocker(toggle);
    toggle->setChecked(preset.*field);
  });
  return toggle;
}

HexColorEditor* PresetInspector::addColor(QVBoxLayout* layout, const QString& title,
                                          std::string OverlayPreset::*field) {
  auto* row = new QHBoxLayout();
  auto* editor = new HexColorEditor(title);
  auto* label = new QLabel(title);
  label->setBuddy(editor->field());
  row->addWidget(label);
  row->addWidget(editor, 1);
  layout->addLayout(row);
  connect(editor, &HexColorEditor::colorTextEdited, this,
          [this, field](const QString& text) { m_editor.binding(field).set(text.toStdString()); });
  m_updaters.push_back(
      [editor, field](const OverlayPreset& preset) { editor->setColorText(fromStd(preset.*field)); });
  return editor;
}

SegmentedChoice* PresetInspector::addChoice(QVBoxLayout* layout, const QString& label,
                                            std::string OverlayPreset::*field,
                                            std::vector<SegmentedChoice::Option> options) {
  auto* title = new QLabel(label);
  auto* choice = new SegmentedChoice(label, std::move(options));
  layout->addWidget(title);
  layout->addWidget(choice);
  connect(choice, &SegmentedChoice::chosen, this,
          [this, field](const QString& value) { m_editor.binding(field).set(value.toStdString()); });
  m_updaters.push_back(
      [choice, field](const OverlayPreset& preset) { choice->setCurrent(fromStd(preset.*field)); });
  return choice;
}

void PresetInspector::refresh() {
  const OverlayPreset& preset = m_editor.selectedPreset();
  const bool otherPreset = preset.Id != m_shownPresetId;
  m_shownPresetId = preset.Id;
  for (const auto& update : m_updaters) {
    update(preset);
  }
  for (const auto& link : m_textLinks) {
    link->refresh(otherPreset);
  }
  m_gradientControls->setVisible(preset.BackgroundMode != "Solid");
  m_gradient->refresh();
  const bool editable = !m_editor.presetReadOnly();
  for (QWidget* widget : m_editable) {
    widget->setEnabled(editable);
  }
  m_delete->setEnabled(m_editor.presets().size() >= 2);
}

bool PresetInspector::advancedOpen() const { return m_advancedToggle->isChecked(); }

void PresetInspector::setAdvancedOpen(bool open) {
  const QSignalBlocker blocker(m_advancedToggle);
  m_advancedToggle->setChecked(open);
  m_advancedToggle->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
  m_advanced->setVisible(open);
}

QString PresetInspector::languagesText(const std::vector<std::string>& languages) {
  QStringList parts;
  for (const std::string& language : languages) {
    parts << fromStd(language);
  }
  return parts.join(QStringLiteral(", "));
}

std::vector<std::string> PresetInspector::languagesFromText(const QString& text) {
  std::vector<std::string> languages;
  for (const QString& part : text.split(QLatin1Char(','))) {
    languages.push_back(part.toStdString());
  }
  return languages;
}

}  // namespace sayloom::ui
