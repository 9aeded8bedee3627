// Cards, headings, captions and key caps of the studio's views.
#include "ui/studio/studio_style.h"

#include <QDesktopServices>
#include <QUrl>
#include <QVBoxLayout>

#include "core/data_paths.h"

namespace sayloom::ui {

QFrame* makeCard(QWidget* parent) {
  auto* card = new QFrame(parent);
  card->setObjectName(QStringLiteral("card"));
  auto* layout = new QVBoxLayout(card);
  layout->setContentsMargins(14, 12, 14, 12);
  layout->setSpacing(8);
  return card;
}

QLabel* makeHeading(const QString& text, QWidget* parent, int pointSizeDelta) {
  auto* label = new QLabel(text, parent);
  QFont font = label->font();
  font.setBold(true);
  font.setPointSize(font.pointSize() + pointSizeDelta);
  label->setFont(font);
  return label;
}

QLabel* makeCaption(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QStringLiteral("caption"));
  label->setWordWrap(true);
  return label;
}

QLabel* makeKeyCap(const QString& key, QWidget* parent) {
  auto* label = new QLabel(key, parent);
  label->setObjectName(QStringLiteral("keyCap"));
  label->setAlignment(Qt::AlignCenter);
  return label;
}

QLabel* makeFieldLabel(const QString& text, QWidget* control, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setBuddy(control);
  control->setAccessibleName(text);
  return label;
}

void openDataFolder(const std::filesystem::path& root) {
  DataPaths::createPrivateRoot(root);
  QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(root.string())));
}

QString studioStyleSheet() {
  return QStringLiteral(
      "QFrame#card { background: palette(base); border: 1px solid palette(mid); border-radius: 10px; }"
      "QLabel#caption { color: palette(placeholder-text); }"
      "QLabel#keyCap { border: 1px solid palette(mid); border-radius: 5px; padding: 1px 7px;"
      "  background: palette(button); font-weight: bold; }"
      "QLabel#tag { color: #0b6b5f; background: #d6f3ee; border-radius: 7px; padding: 0px 6px; }"
      "QLabel#mark { font-size: 17pt; font-weight: 800; }"
      "QLabel#markLine { color: palette(placeholder-text); font-size: 8pt; letter-spacing: 2px; }");
}

}  // namespace sayloom::ui
