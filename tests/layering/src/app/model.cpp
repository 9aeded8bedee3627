// An application file that includes views and Widgets: three offending includes (with the
// Widgets header folder given; two without it).
#include <QObject>
#include <QString>

#include "app/recording/audio_capture.h"
#include "core/native_note.h"
#include "platform/audio_source.h"
#include "ui/studio_window.h"
#include <QWidget>
#include <QtWidgets/QApplication>
