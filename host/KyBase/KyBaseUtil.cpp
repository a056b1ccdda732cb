#include "KyBaseUtil.h"

#include "KyProjectManager.h"
#include "KyValueStore.h"

namespace {

KyValueStore currentStore()
{
    return KyValueStore(KyValueStore::storePath(KyProjectManager::instance().define().projectPath));
}

void reportProblem(const KyValueStore &store)
{
    if (!store.errorString().isEmpty())
        KyProjectManager::instance().warnOnce(store.fileName(), store.errorString());
}

} // namespace

namespace KyBaseUtil {

QVariant projectValue(const QString &key, const QVariant &defaultValue)
{
    if (!KyProjectManager::instance().isOpen())
        return defaultValue;
    KyValueStore store = currentStore();
    const QVariant value = store.value(key, defaultValue);
    reportProblem(store);
    return value;
}

bool setProjectValue(const QString &key, const QVariant &value)
{
    if (!KyProjectManager::instance().isOpen())
        return false;
    KyValueStore store = currentStore();
    const bool ok = store.setValue(key, value);
    reportProblem(store);
    return ok;
}

} // namespace KyBaseUtil
