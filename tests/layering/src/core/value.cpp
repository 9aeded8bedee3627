// A core file with every kind of include the core may not have: seven offending includes.
#include <queue>
#include <string>

#include "audioring/sl_ring.h"
#include "core/native_note.h"
#include <QString>
#include <QtCore/QObject>
#include <qcoro/qcorotask.h>
#include <pulse/pulseaudio.h>
#include "platform/audio_source.h"
#include "app/recording/audio_capture.h"
  #  include "ui/studio_window.h"
