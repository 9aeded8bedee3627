// The studio window: layout, application commands, toolbar, status line and warnings.
#include "ui/studio/studio_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>

#include "app/app_model.h"
#include "app/app_status.h"
#include "ui/binding.h"
#include "ui/shell/app_actions.h"
#include "ui/studio/detail_column.h"
#include "ui/studio/sidebar.h"
#include "ui/studio/studio_style.h"

namespace sayloom::ui {

StudioWindow::StudioWindow(AppModel& model, AppActions& actions, std::function<bool()> keepsRunningWhenClosed,
                           QWidget* parent)
    : QMainWindow(parent),
      m_model(model),
      m_actions(actions),
      m_keepsRunningWhenClosed(std::move(keepsRunningWhenClosed)) {
  setObjectName(QStringLiteral("studio"));
  setWindowTitle(QStringLiteral("Sayloom · Studio"));
  setMinimumSize(minimumContentSize);
  resize(screen() != nullptr ? fittedSize(screen()->availableGeometry().size()) : defaultSize);
  setStyleSheet(studioStyleSheet());

  m_splitter = new QSplitter(Qt::Horizontal, this);
  m_splitter->setChildrenCollapsible(false);
  m_sidebar = new Sidebar(model, actions, m_splitter);
  m_detail = new DetailColumn(model, actions, m_splitter);
  m_splitter->addWidget(m_sidebar);
  m_splitter->addWidget(m_detail);
  m_splitter->setStretchFactor(0, 0);
  m_splitter->setStretchFactor(1, 1);
  m_splitter->setSizes({240, 1080});
  setCentralWidget(m_splitter);
  connect(m_sidebar, &Sidebar::sectionChanged, m_detail, &DetailColumn::showSection);

  buildMenus();
  buildToolBar();

  auto* statusLine = new QLabel(this);
  statusLine->setAccessibleDescription(QStringLiteral("상태"));
  statusBar()->addWidget(statusLine, 1);
  follow(statusLine, &model.appStatus(), &AppStatus::statusChanged,
         [statusLine, &model] { statusLine->setText(model.appStatus().status()); });
  follow(this, &model.appStatus(), &AppStatus::warningChanged, [this] { showWarning(); });

  // Ctrl+Z and Ctrl+Shift+Z undo preset edits even while a text field has the focus.
  qApp->installEventFilter(this);
}

void StudioWindow::buildMenus() {
  AppModel& model = m_model;

  QMenu* app = menuBar()->addMenu(QStringLiteral("Sayloom"));
  app->addAction(m_actions.record());
  app->addSeparator();
  app->addAction(m_actions.openDataFolder());
  app->addAction(m_actions.signIn());
  app->addAction(m_actions.settings());
  app->addSeparator();
  app->addAction(m_actions.quit());

  QMenu* edit = menuBar()->addMenu(QStringLiteral("편집"));
  m_undo = edit->addAction(QStringLiteral("실행 취소"));
  m_undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  onTrigger(m_undo, [&model] { model.undo(); });
  m_redo = edit->addAction(QStringLiteral("다시 실행"));
  m_redo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
  onTrigger(m_redo, [&model] { model.redo(); });

  QMenu* overlay = menuBar()->addMenu(QStringLiteral("오버레이"));
  overlay->addAction(m_actions.hideOverlays());
  overlay->addAction(m_actions.editOverlays());
  overlay->addAction(m_actions.recoverOverlays());
}

void StudioWindow::buildToolBar() {
  QToolBar* bar = addToolBar(QStringLiteral("도구"));
  bar->setObjectName(QStringLiteral("toolbar"));
  bar->setMovable(false);
  bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  auto* spacer = new QWidget(bar);
  spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  bar->addWidget(spacer);

  // A tool button shows an action's short text (its icon text).
  bar->addAction(m_actions.hideOverlays());
  bar->addAction(m_actions.settings());
}

QSize StudioWindow::fittedSize(const QSize& available) {
  // Room for the title bar and borders the window manager adds around the content.
  constexpr QSize frame{16, 48};
  return defaultSize.boundedTo(available - frame).expandedTo(minimumContentSize);
}

void StudioWindow::showWarning() {
  AppStatus& status = m_model.appStatus();
  if (!status.warning()) {
    if (m_warningBox != nullptr) {
      m_warningBox->close();
    }
    return;
  }
  // One alert at a time; a newer warning replaces the text of the one on screen.
  if (m_warningBox == nullptr) {
    m_warningBox =
        new QMessageBox(QMessageBox::Warning, warningTitle, QString(), QMessageBox::NoButton, this);
    m_warningBox->setAttribute(Qt::WA_DeleteOnClose);
    m_warningBox->addButton(QStringLiteral("확인"), QMessageBox::AcceptRole);
    connect(m_warningBox, &QMessageBox::finished, this, [this] {
      m_warningBox = nullptr;
      m_model.appStatus().setWarning(std::nullopt);
    });
    m_warningBox->setWindowModality(Qt::WindowModal);
  }
  m_warningBox->setText(*status.warning());
  m_warningBox->open();
}

void StudioWindow::closeEvent(QCloseEvent* event) {
  if (m_keepsRunningWhenClosed && m_keepsRunningWhenClosed()) {
    event->accept();
    return;
  }
  // Without a way back in, closing the window quits, after the orderly shutdown.
  event->ignore();
  m_actions.quit()->trigger();
}

bool StudioWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride) {
    auto* widget = qobject_cast<QWidget*>(watched);
    const auto* key = static_cast<QKeyEvent*>(event);
    const QKeySequence pressed(key->keyCombination());
    if (widget != nullptr && widget->window() == this &&
        (pressed == m_undo->shortcut() || pressed == m_redo->shortcut())) {
      // Not overridden: the key goes to the window's undo or redo command, not the field's own.
      event->ignore();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace sayloom::ui
