// The texts of the error codes that the interface defines itself (PlatErrorNotRegularFile and
// the others), for the backends' PlatErrorText; null for any other code.
#ifndef PLATFORM_OWN_ERRORS_H
#define PLATFORM_OWN_ERRORS_H

#include <stdint.h>

#include "platform/platform.h"

const char* PlatOwnErrorText(uint32_t error);

#endif
