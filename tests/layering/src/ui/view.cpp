// The views may include every layer below them: no offending include.
#include <QWidget>

#include "app/recording/audio_capture.h"
#include "core/native_note.h"
#include "platform/audio_source.h"
