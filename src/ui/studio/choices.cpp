// The option lists of the studio's pickers.
#include "ui/studio/choices.h"

#include "ui/icons/icons.h"

namespace sayloom::ui::choices {

std::vector<Choice> inputSource() {
  return {{QStringLiteral("마이크"), QStringLiteral("microphone"), Icons::icon(QStringLiteral("mic"))},
          {QStringLiteral("시스템 오디오"), QStringLiteral("system"),
           Icons::icon(QStringLiteral("speaker.wave.2"))}};
}

std::vector<Choice> recognitionLanguage() {
  return {{QStringLiteral("한국어"), QStringLiteral("ko")},
          {QStringLiteral("English"), QStringLiteral("en")},
          {QStringLiteral("日本語"), QStringLiteral("ja")},
          {QStringLiteral("자동 감지"), QStringLiteral("auto")}};
}

std::vector<Choice> liveTranslationLanguage() {
  return {{QStringLiteral("English"), QStringLiteral("en")},
          {QStringLiteral("한국어"), QStringLiteral("ko")},
          {QStringLiteral("日本語"), QStringLiteral("ja")}};
}

std::vector<Choice> cloudTranslationLanguage() {
  std::vector<Choice> list = liveTranslationLanguage();
  list.push_back({QStringLiteral("中文"), QStringLiteral("zh")});
  return list;
}

}  // namespace sayloom::ui::choices
