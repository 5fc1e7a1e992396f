#include "frame/user_settings.h"

namespace {
bool g_disabled = false;
}

namespace UserSettings {

void disable()
{
    g_disabled = true;
}

bool enabled()
{
    return !g_disabled;
}

std::unique_ptr<QSettings> open()
{
    if (g_disabled)
        return nullptr;
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("logic-analyzer"),
                                       QStringLiteral("logic-analyzer"));
}

} // namespace UserSettings
