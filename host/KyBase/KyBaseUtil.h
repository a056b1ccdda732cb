#pragma once

#include "KyBaseGlobal.h"

#include <QString>
#include <QVariant>

namespace KyBaseUtil {

// The value stored under key in the current project, or defaultValue when the key is absent,
// no project is open or the project's store cannot be read.
KYBASE_EXPORT QVariant projectValue(const QString &key, const QVariant &defaultValue = QVariant());

// Stores value under key in the current project, keeping its type. False when no project is
// open, the store cannot be parsed or written, or the type cannot be kept.
KYBASE_EXPORT bool setProjectValue(const QString &key, const QVariant &value);

} // namespace KyBaseUtil
