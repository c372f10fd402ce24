#include "NativeFilters.h"

#include "AVApi.h"
#include "EFFmpegError.h"
#include "TAVLibrary.h"

#include <map>
#include <mutex>

namespace {

std::mutex registryMutex;
std::map<std::string, std::string> registered; // our name -> FFmpeg's

bool Register(const char* ours, const char* builtIn, bool quiet)
{
    if (!TAVLibrary::Loaded() || !AV().avfilter_get_by_name(builtIn)) {
        if (quiet)
            return false;
        throw EFFmpegError("Failed to register video filter. It requires several private APIs "
                           "of ffmpeg libraries.");
    }
    std::lock_guard lock(registryMutex);
    registered[ours] = builtIn;
    return true;
}

} // namespace

bool RegisterNativeEqFilter(bool quiet)
{
    return Register("nativeeq", "eq", quiet);
}

bool RegisterNativeHueFilter(bool quiet)
{
    return Register("nativehue", "hue", quiet);
}

std::string NativeFilterTarget(const std::string& name)
{
    std::lock_guard lock(registryMutex);
    const auto it = registered.find(name);
    return it == registered.end() ? std::string() : it->second;
}
