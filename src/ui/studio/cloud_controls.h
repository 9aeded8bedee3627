#pragma once
// The cloud card: signed out, the invitation to link the existing account ("계정 연결", or
// "로그인 취소" while pairing); signed in, the workspace and translation language of a cloud save
// and the two save commands. Main thread only.
#include <QFrame>

namespace sayloom {
class AppModel;
}

namespace sayloom::ui {

class AppActions;

class CloudControls : public QFrame {
  Q_OBJECT
public:
  CloudControls(AppModel& model, AppActions& actions, QWidget* parent = nullptr);

  static inline const QString invitation = QStringLiteral("번역·AI 회의록을 기존 계정에서 이어가세요.");
  static inline const QString creditsNote =
      QStringLiteral("클라우드 저장·번역에는 기존 시간권이 적용됩니다. AI 회의록·공유는 웹에서 이어집니다.");
};

}  // namespace sayloom::ui
