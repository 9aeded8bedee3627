// An application file that includes the views, the command line and Widgets: four offending
// includes (with the Widgets header folder given; three without it).
#include <QObject>
#include <QString>
#include <QWidget>
#include <QtWidgets/QApplication>

#include "app/recording/audio_capture.h"
#include "cli/cli_support.h"
#include "core/native_note.h"
#include "platform/audio_source.h"
#include "ui/studio_window.h"
