#include "platform/console.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>

namespace pelvarn {

void UseBinaryStdio() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

} // namespace pelvarn
