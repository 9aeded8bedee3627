#pragma once
// The card shown while the speech model is missing: what it is, the download button, the
// download's progress and its cancel button. Hidden once the model is ready. Main thread only.
#include <QFrame>

namespace sayloom {
class AppModel;
}

namespace sayloom::ui {

class SpeechModelCard : public QFrame {
  Q_OBJECT
public:
  explicit SpeechModelCard(AppModel& model, QWidget* parent = nullptr);
};

}  // namespace sayloom::ui
