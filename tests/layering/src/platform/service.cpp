// A platform file that reaches up and into Widgets: three offending includes.
#include <pulse/pulseaudio.h>

#include <QString>
#include <QtWidgets/QFileDialog>

#include "app/recording/audio_capture.h"
#include "core/native_note.h"
#include "platform/audio_source.h"
#include "ui/studio_window.h"
