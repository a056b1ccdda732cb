#pragma once

#include <QtGlobal>

#if defined(KYBASE_LIBRARY)
#define KYBASE_EXPORT Q_DECL_EXPORT
#else
#define KYBASE_EXPORT Q_DECL_IMPORT
#endif
