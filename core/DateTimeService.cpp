#include "DateTimeService.h"

namespace vorlex {

DateTimeResult DateTimeService::compute(const QString& text)
{
    Q_UNUSED(text);
    return {{}, {}, {}, QStringLiteral("עכשיו")}; // placeholder: ICU formatting lands with the offline services
}

} // namespace vorlex
