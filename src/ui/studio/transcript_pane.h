#pragma once
// The transcript of the selected note: its entries in order (start time, text, translation), an
// empty state until the first one, and the note's commands (export, recovery from the stored
// audio, the web note of a cloud-linked note). It follows a running recording: new entries are
// appended, and the newest stays in view unless the user has scrolled up. Main thread only.
#include <QFrame>
#include <vector>

#include "core/native_note.h"

class QLabel;
class QMenu;
class QStackedWidget;
class QTextBrowser;

namespace sayloom {
class AppModel;
}

namespace sayloom::ui {

class TranscriptPane : public QFrame {
  Q_OBJECT
public:
  explicit TranscriptPane(AppModel& model, QWidget* parent = nullptr);

  // The entries' view (for the views around it and for tests).
  QTextBrowser* entriesView() const { return m_entries; }
  // The "내보내기" menu; more formats may be added to it.
  QMenu* exportMenu() const { return m_exportMenu; }

  static inline const QString listeningTitle = QStringLiteral("목소리를 듣고 있습니다");
  static inline const QString waitingTitle = QStringLiteral("첫 문장을 기다리고 있어요");
  static inline const QString emptyHint = QStringLiteral("녹음을 시작하면 인식한 문장이 차례로 쌓입니다.");

private:
  void showEntries(const NativeNote* note);

  AppModel& m_model;
  QStackedWidget* m_stack;
  QLabel* m_emptyTitle;
  QTextBrowser* m_entries;
  QMenu* m_exportMenu;
  // What the view shows now, so that a recording's new entries are appended, not redrawn.
  std::string m_shownNoteID;
  std::vector<TranscriptEntry> m_shown;
};

}  // namespace sayloom::ui
