// A core file with every kind of include the core may not have: seven offending includes.
#include <pulse/pulseaudio.h>
#include <qcoro/qcorotask.h>

#include <QString>
#include <QtCore/QObject>
#include <queue>
#include <string>

#include "app/recording/audio_capture.h"
#include "audioring/sl_ring.h"
#include "core/native_note.h"
#include "platform/audio_source.h"
#include "ui/studio_window.h"
