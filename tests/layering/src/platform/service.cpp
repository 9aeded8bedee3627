// A platform file that reaches up and into Widgets: three offending includes.
#include <QString>
#include <pulse/pulseaudio.h>

#include "core/native_note.h"
#include "platform/audio_source.h"
#include "app/recording/audio_capture.h"
#include "ui/studio_window.h"
#include <QtWidgets/QFileDialog>
