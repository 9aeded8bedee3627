// A command-line file that reaches into the views and the graphical Qt modules: four offending
// includes (with the Widgets header folder given, and so the Gui one beside it; three without it).
#include <QCoreApplication>
#include <QImage>
#include <QTimer>
#include <QtGui/QGuiApplication>
#include <QtWidgets/QApplication>

#include "app/notes/note_library.h"
#include "audioring/sl_ring.h"
#include "cli/commands.h"
#include "core/native_note.h"
#include "platform/settings_store.h"
#include "ui/studio_window.h"
