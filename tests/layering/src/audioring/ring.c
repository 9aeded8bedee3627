/* A ring buffer that reaches into other layers: two offending includes. */
#include <stdint.h>

#include <QtGlobal>

#include "audioring/sl_ring.h"
#include "core/native_error.h"
