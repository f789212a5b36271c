#pragma once

#include <QtCore/qglobal.h>

#if defined(FOLIVO_LIBRARY)
#define FOLIVO_EXPORT Q_DECL_EXPORT
#else
#define FOLIVO_EXPORT Q_DECL_IMPORT
#endif

namespace folivo {

// The library's version, for host programs that check what they loaded.
FOLIVO_EXPORT const char* version();

} // namespace folivo
