#include "core/PgSession.h"

QString PgSession::keptReadPlans()
{
    return QStringLiteral("SET plan_cache_mode = force_custom_plan");
}
