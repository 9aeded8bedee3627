// The transcript pane: the selected note's entries, its empty state and the note's commands.
#include "ui/studio/transcript_pane.h"

#include <QAbstractTextDocumentLayout>
#include <QHBoxLayout>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTextBlockFormat>
#include <QTextBrowser>
#include <QTextCursor>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <stdexcept>

#include "app/app_model.h"
#include "app/app_status.h"
#include "app/cloud/cloud_access.h"
#include "app/export/note_exporter.h"
#include "app/notes/note_library.h"
#include "app/recognition/recognition_queue.h"
#include "app/recording/recording_session.h"
#include "core/export_formats.h"
#include "ui/binding.h"
#include "ui/icons/icons.h"
#include "ui/studio/studio_style.h"
#include "ui/studio/view_bindings.h"

namespace sayloom::ui {

namespace {

// Appends one entry as its own paragraph: the start time, the text and, when present, the
// translation on a second line.
void appendEntry(QTextCursor& cursor, const TranscriptEntry& entry) {
  QTextBlockFormat paragraph;
  paragraph.setBottomMargin(10);
  if (cursor.atStart()) {
    cursor.setBlockFormat(paragraph);
  } else {
    cursor.insertBlock(paragraph);
  }
  QString html = QStringLiteral("<span style=\"color:#7a8291\">%1</span>&nbsp;&nbsp;<span>%2</span>")
                     .arg(NoteExporter::duration(static_cast<double>(entry.startTimeMs) / 1000.0),
                          QString::fromStdString(entry.text).toHtmlEscaped());
  if (!entry.translation.empty()) {
    html += QStringLiteral("<br><span style=\"color:#138a7e\">%1</span>")
                .arg(QString::fromStdString(entry.translation).toHtmlEscaped());
  }
  cursor.insertHtml(html);
  // Inserted text may bring its own paragraph format; the spacing between entries stays.
  cursor.setBlockFormat(paragraph);
}

// Calls `refresh` now, when another note is selected, when the notes are listed anew and when the
// selected note itself changes (a change of any other note does not concern the pane).
template <typename Refresh>
void followSelectedNote(QObject* control, NoteLibrary& library, Refresh refresh) {
  QObject::connect(&library, &NoteLibrary::selectedNoteIDChanged, control, refresh);
  QObject::connect(&library, &NoteLibrary::noteChanged, control, [&library, refresh](const QString& id) {
    if (library.selectedNoteID() == id) {
      refresh();
    }
  });
  follow(control, &library, &NoteLibrary::notesChanged, refresh);
}

}  // namespace

TranscriptPane::TranscriptPane(AppModel& model, QWidget* parent) : QFrame(parent), m_model(model) {
  setObjectName(QStringLiteral("card"));
  NoteLibrary& library = model.library();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(14, 12, 14, 12);

  auto* header = new QHBoxLayout;
  layout->addLayout(header);
  header->addWidget(makeHeading(QStringLiteral("대본")));
  auto* noteTitle = makeCaption(QString(), this);
  noteTitle->setWordWrap(false);
  noteTitle->setMinimumWidth(40);
  noteTitle->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  followSelectedNote(noteTitle, library, [noteTitle, &library] {
    const NativeNote* note = library.selectedNote();
    noteTitle->setText(note != nullptr ? QString::fromStdString(note->title) : QString());
  });
  header->addWidget(noteTitle, 1);

  // The web application's page of a note linked to the cloud.
  auto* web = new QPushButton(Icons::icon(QStringLiteral("globe")), QStringLiteral("웹 회의록"), this);
  onClick(web, [&model] { model.cloud().openWebNote(); });
  header->addWidget(web);

  auto* recover = new QPushButton(Icons::icon(QStringLiteral("arrow.clockwise")),
                                  QStringLiteral("저장 오디오에서 대본 복구"), this);
  onClick(recover, [&model] { start(model.recoverSelected()); });
  header->addWidget(recover);

  auto* exportButton = new QToolButton(this);
  exportButton->setText(QStringLiteral("내보내기"));
  exportButton->setIcon(Icons::icon(QStringLiteral("square.and.arrow.up")));
  exportButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  exportButton->setPopupMode(QToolButton::InstantPopup);
  m_exportMenu = new QMenu(exportButton);
  for (const ExportFormatDescription& format : exportFormats()) {
    onTrigger(m_exportMenu->addAction(QString::fromUtf8(format.menuText)),
              [&model, format = format.format] { start(model.exportNote(format)); });
  }
  exportButton->setMenu(m_exportMenu);
  header->addWidget(exportButton);

  // The commands need a note; recovery waits while a recording, export or recognition runs.
  const auto refreshCommands = [=, &library, &model] {
    const NativeNote* note = library.selectedNote();
    exportButton->setEnabled(note != nullptr);
    recover->setEnabled(note != nullptr && !model.busy());
    web->setVisible(note != nullptr && note->workspaceId && note->cloudNoteId);
  };
  follow(this, &model, &AppModel::busyChanged, refreshCommands);
  followSelectedNote(this, library, refreshCommands);

  m_stack = new QStackedWidget(this);
  layout->addWidget(m_stack, 1);

  auto* empty = new QWidget(m_stack);
  auto* emptyLayout = new QVBoxLayout(empty);
  emptyLayout->addStretch();
  m_emptyTitle = makeHeading(QString(), empty, 2);
  m_emptyTitle->setAlignment(Qt::AlignCenter);
  emptyLayout->addWidget(m_emptyTitle);
  auto* hint = makeCaption(emptyHint, empty);
  hint->setAlignment(Qt::AlignCenter);
  emptyLayout->addWidget(hint);
  emptyLayout->addStretch();
  m_stack->addWidget(empty);
  follow(m_emptyTitle, &model.session(), &RecordingSession::recordingChanged,
         [this] { m_emptyTitle->setText(m_model.session().recording() ? listeningTitle : waitingTitle); });

  m_entries = new QTextBrowser(m_stack);
  m_entries->setAccessibleName(QStringLiteral("대본"));
  m_entries->setOpenLinks(false);
  m_entries->setFrameShape(QFrame::NoFrame);
  m_stack->addWidget(m_entries);

  followSelectedNote(this, library, [this] { showEntries(m_model.library().selectedNote()); });
}

void TranscriptPane::showEntries(const NativeNote* note) {
  static const std::vector<TranscriptEntry> none;
  const std::vector<TranscriptEntry>& entries = note != nullptr ? note->segments : none;
  const std::string noteID = note != nullptr ? note->id : std::string();
  m_stack->setCurrentIndex(entries.empty() ? 0 : 1);
  if (noteID == m_shownNoteID && entries == m_shown) {
    return;
  }

  QScrollBar* scroll = m_entries->verticalScrollBar();
  const bool sameNote = noteID == m_shownNoteID;
  const bool followNewest = !sameNote || scroll->value() >= scroll->maximum() - 4;
  const int position = scroll->value();
  const bool appended = sameNote && entries.size() > m_shown.size() &&
                        std::equal(m_shown.begin(), m_shown.end(), entries.begin());
  if (!appended) {
    m_entries->clear();
  }
  QTextCursor cursor(m_entries->document());
  cursor.movePosition(QTextCursor::End);
  for (std::size_t i = appended ? m_shown.size() : 0; i < entries.size(); ++i) {
    appendEntry(cursor, entries[i]);
  }
  // Lays the whole text out now, so that the scroll range below is final.
  (void)m_entries->document()->documentLayout()->documentSize();
  m_shownNoteID = noteID;
  m_shown = entries;

  if (followNewest) {
    scroll->setValue(scroll->maximum());
  } else {
    scroll->setValue(position);
  }
}

}  // namespace sayloom::ui
