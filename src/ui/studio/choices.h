#pragma once
// The fixed option lists of the studio's pickers: label shown and value stored, in order.
#include <vector>

#include "ui/binding.h"

namespace sayloom::ui::choices {

// "마이크" → microphone, "시스템 오디오" → system.
std::vector<Choice> inputSource();
// "한국어", "English", "日本語", "자동 감지".
std::vector<Choice> recognitionLanguage();
// The target of live translation while recording: "English", "한국어", "日本語".
std::vector<Choice> liveTranslationLanguage();
// The target of a cloud save: the live ones and "中文".
std::vector<Choice> cloudTranslationLanguage();

}  // namespace sayloom::ui::choices
