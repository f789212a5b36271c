#include "Folivo.h"

namespace folivo {

const char* version() {
    return "0.1.0";
}

} // namespace folivo
