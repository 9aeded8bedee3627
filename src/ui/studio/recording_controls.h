#pragma once
// The recording card of the studio: what the next recording will be (title, input, recognition
// language, display, live translation with its language and workspace), the input level, the
// elapsed time and the record button, with the line under it. Main thread only.
#include <QFrame>

namespace sayloom {
class AppModel;
}

namespace sayloom::ui {

class AppActions;

class RecordingControls : public QFrame {
  Q_OBJECT
public:
  RecordingControls(AppModel& model, AppActions& actions, QWidget* parent = nullptr);

  static inline const QString localLine =
      QStringLiteral("오디오는 이 컴퓨터에 저장됩니다. 클라우드 작업은 직접 선택할 때만 실행됩니다.");
  static inline const QString translationLine =
      QStringLiteral("번역을 켜면 대본을 선택한 워크스페이스에 저장하며 기존 시간권을 사용합니다.");
};

}  // namespace sayloom::ui
