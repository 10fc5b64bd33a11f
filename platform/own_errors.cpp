// Texts of the interface's own error codes, the same on every backend.
#include "platform/own_errors.h"

const char* PlatOwnErrorText(uint32_t error) {
  switch (error) {
    case PlatErrorNotRegularFile:
      return "not a regular file";
    case PlatErrorPathTooLong:
      return "the path is too long";
    case PlatErrorSizeChanged:
      return "the file's length is not its size (it changed while read, or is not a plain file)";
  }
  return nullptr;
}
