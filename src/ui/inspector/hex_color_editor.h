#pragma once
// The editor of one preset colour: a colour well (the colour dialog, alpha included) and a text
// field holding a draft of the colour text ("#AARRGGBB" or "#RRGGBB"). A picked colour is offered
// as eight-digit "#AARRGGBB" text; typed text is offered, upper-cased, only when it is valid colour
// text and the user submits it (Return, or leaving the field); after a submit, and on Escape, the
// draft returns to the bound text, so invalid input never leaves the field. The bound text is set
// from outside (`setColorText`) and the draft follows it. Main thread only.
#include <QString>
#include <QWidget>

class QLineEdit;

namespace sayloom::ui {

class ColorWell;

class HexColorEditor : public QWidget {
  Q_OBJECT
public:
  static inline const QString placeholder = QStringLiteral("#AARRGGBB");
  static inline const QString accessibleSuffix = QStringLiteral(" HEX, 알파-빨강-초록-파랑 순서");

  // `title` names the colour ("배경", "원문"...): the well is labelled with it, the field with it
  // followed by the accessible suffix.
  explicit HexColorEditor(const QString& title, QWidget* parent = nullptr);

  const QString& colorText() const { return m_text; }
  void setColorText(const QString& text);

  QLineEdit* field() const { return m_field; }
  ColorWell* well() const { return m_well; }

signals:
  // The user chose this colour text (valid, upper-case).
  void colorTextEdited(const QString& text);

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void submit();

  QString m_text;
  ColorWell* m_well;
  QLineEdit* m_field;
};

}  // namespace sayloom::ui
