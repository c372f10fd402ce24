#include "AppSettings.h"

TAppSettings& AppSettings()
{
    static TAppSettings settings;
    return settings;
}
