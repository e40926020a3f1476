#pragma once
#include <QtGlobal>
#if defined(VERDIXHOST_LIBRARY)
#define DZHOST_EXPORT Q_DECL_EXPORT
#else
#define DZHOST_EXPORT Q_DECL_IMPORT
#endif
