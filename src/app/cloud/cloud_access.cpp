// The do-nothing cloud seam; its meta-object code is generated beside this file.
#include "app/cloud/cloud_access.h"
