#include "Ramnex.h"

namespace ramnex {

const char* version() {
    return "0.1.0";
}

} // namespace ramnex
