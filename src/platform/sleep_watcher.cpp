#include "platform/sleep_watcher.h"
