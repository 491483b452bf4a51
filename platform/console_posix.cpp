#include "platform/console.h"

namespace pelvarn {

void UseBinaryStdio() {}

} // namespace pelvarn
