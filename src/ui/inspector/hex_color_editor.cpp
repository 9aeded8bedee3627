#include "ui/inspector/hex_color_editor.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>

#include "core/overlay_preset.h"
#include "ui/captions/preset_background.h"
#include "ui/inspector/color_well.h"

namespace sayloom::ui {

HexColorEditor::HexColorEditor(const QString& title, QWidget* parent)
    : QWidget(parent), m_well(new ColorWell(title, this)), m_field(new QLineEdit(this)) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_well);
  layout->addWidget(m_field, 1);
  m_field->setPlaceholderText(placeholder);
  m_field->setAccessibleName(title + accessibleSuffix);
  m_field->installEventFilter(this);
  connect(m_field, &QLineEdit::editingFinished, this, &HexColorEditor::submit);
  connect(m_well, &ColorWell::colorPicked, this,
          [this](const QColor& color) { emit colorTextEdited(argbHex(color)); });
  setColorText(QString());
}

void HexColorEditor::setColorText(const QString& text) {
  if (text == m_text && !text.isEmpty()) {
    return;  // unchanged: a draft being typed stays
  }
  m_text = text;
  m_field->setText(text);
  m_well->setColor(presetColor(text.toStdString()));
}

void HexColorEditor::submit() {
  const QString draft = m_field->text();
  if (draft != m_text && ARGB::parse(draft.toStdString())) {
    emit colorTextEdited(draft.toUpper());
  }
  m_field->setText(m_text);
}

bool HexColorEditor::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_field && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    m_field->setText(m_text);
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace sayloom::ui
