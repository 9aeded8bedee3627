// The views may include every layer below them, but not the command line: one offending include.
#include <QWidget>

#include "app/recording/audio_capture.h"
#include "cli/commands.h"
#include "core/native_note.h"
#include "platform/audio_source.h"
