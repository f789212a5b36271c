#pragma once

#include <QtCore/qglobal.h>

#if defined(RAMNEX_LIBRARY)
#define RAMNEX_EXPORT Q_DECL_EXPORT
#else
#define RAMNEX_EXPORT Q_DECL_IMPORT
#endif

namespace ramnex {

// The library's version, for host programs that check what they loaded.
RAMNEX_EXPORT const char* version();

} // namespace ramnex
