#include "settings/rate_table.h"

namespace rates {

const QStringList &logicEntries()
{
    static const QStringList entries{QStringLiteral("20MHz"),  QStringLiteral("10MHz"),
                                     QStringLiteral("5MHz"),   QStringLiteral("2MHz"),
                                     QStringLiteral("1MHz"),   QStringLiteral("500KHz"),
                                     QStringLiteral("200KHz"), QStringLiteral("100KHz")};
    return entries;
}

const QStringList &analogEntries()
{
    static const QStringList entries{QStringLiteral("20KHz"), QStringLiteral("10KHz"),
                                     QStringLiteral("5KHz"),  QStringLiteral("2KHz"),
                                     QStringLiteral("1KHz"),  QStringLiteral("500Hz"),
                                     QStringLiteral("200Hz"), QStringLiteral("100Hz")};
    return entries;
}

bool periodUs(bool analog, int index, float *period)
{
    static const float logic[kCount] = {0.05f, 0.1f, 0.2f, 0.5f, 1.0f, 2.0f, 5.0f, 10.0f};
    static const float analogPeriods[kCount] = {50.0f, 100.0f, 200.0f, 500.0f,
                                                1000.0f, 2000.0f, 5000.0f, 10000.0f};
    if (index < 0 || index >= kCount)
        return false;
    *period = analog ? analogPeriods[index] : logic[index];
    return true;
}

} // namespace rates
