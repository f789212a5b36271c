#pragma once

#include <QtCore/qglobal.h>

#if defined(OSTRAK_LIBRARY)
#define OSTRAK_EXPORT Q_DECL_EXPORT
#else
#define OSTRAK_EXPORT Q_DECL_IMPORT
#endif
