#include "TAVLibrary.h"

#include "AVApi.h"

#include <QDir>
#include <QFile>

#include <array>
#include <atomic>
#include <dlfcn.h>
#include <memory>
#include <mutex>

namespace {

constexpr std::size_t kLibraryCount = static_cast<std::size_t>(TAVLib::Count);

struct TLibraryFile
{
    const char* fileName;
    const char* versionSymbol;
    unsigned major;
};

// Load order and the major version each library must have.
constexpr std::array<TLibraryFile, kLibraryCount> kLibraries{{
    {"libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR), "avcodec_version",
     LIBAVCODEC_VERSION_MAJOR},
    {"libavdevice.so." AV_STRINGIFY(LIBAVDEVICE_VERSION_MAJOR), "avdevice_version",
     LIBAVDEVICE_VERSION_MAJOR},
    {"libavfilter.so." AV_STRINGIFY(LIBAVFILTER_VERSION_MAJOR), "avfilter_version",
     LIBAVFILTER_VERSION_MAJOR},
    {"libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR), "avformat_version",
     LIBAVFORMAT_VERSION_MAJOR},
    {"libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR), "avutil_version",
     LIBAVUTIL_VERSION_MAJOR},
    {"libswresample.so." AV_STRINGIFY(LIBSWRESAMPLE_VERSION_MAJOR), "swresample_version",
     LIBSWRESAMPLE_VERSION_MAJOR},
    {"libswscale.so." AV_STRINGIFY(LIBSWSCALE_VERSION_MAJOR), "swscale_version",
     LIBSWSCALE_VERSION_MAJOR},
}};

struct TDlClose
{
    void operator()(void* handle) const { ::dlclose(handle); }
};
using THandle = std::unique_ptr<void, TDlClose>;
using THandles = std::array<THandle, kLibraryCount>;

// Written once under the mutex, before `loaded` is set; read-only afterwards. The libraries
// are opened with RTLD_NODELETE, so the function pointers stay valid even while the handles
// are released at process exit.
std::mutex loadMutex;
THandles handles;
TAVApi api;
std::atomic<bool> loaded{false};

// "libswresample.so.4 in /opt/q/LibAV: reason": the file and the folder it was looked for in.
QString LoadError(const char* fileName, const QString& folder, const QString& reason)
{
    return QStringLiteral("%1 in %2: %3").arg(QLatin1String(fileName), folder, reason);
}

QString DlError()
{
    const char* text = ::dlerror();
    return text ? QString::fromLocal8Bit(text) : QStringLiteral("unknown error");
}

} // namespace

const TAVApi& AV()
{
    return api;
}

const char* const* TAVLibrary::FileNames()
{
    static const std::array<const char*, kLibraryCount + 1> names = [] {
        std::array<const char*, kLibraryCount + 1> all{};
        for (std::size_t i = 0; i < kLibraryCount; ++i)
            all[i] = kLibraries[i].fileName;
        return all;
    }();
    return names.data();
}

bool TAVLibrary::Loaded()
{
    return loaded.load(std::memory_order_acquire);
}

bool TAVLibrary::Load(const QString& folder, QString& error)
{
    std::lock_guard lock(loadMutex);
    if (loaded.load(std::memory_order_relaxed))
        return true;

    THandles opened;
    const QString where = QDir(folder).absolutePath();
    for (std::size_t i = 0; i < kLibraryCount; ++i) {
        const TLibraryFile& lib = kLibraries[i];
        const QString path = QDir(where).filePath(QString::fromLatin1(lib.fileName));
        // A missing file (or a link to nothing) is the usual fault: said plainly, as the
        // loader's own text would name the path only.
        if (!QFile::exists(path)) {
            error = QStringLiteral("%1 not found in %2").arg(QLatin1String(lib.fileName), where);
            return false; // `opened` releases what was loaded so far
        }
        opened[i].reset(
            ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE));
        if (!opened[i]) {
            error = LoadError(lib.fileName, where, DlError());
            return false;
        }
        ::dlerror();
        void* symbol = ::dlsym(opened[i].get(), lib.versionSymbol);
        if (!symbol) {
            error =
                LoadError(lib.fileName, where,
                          QStringLiteral("no function %1").arg(QLatin1String(lib.versionSymbol)));
            return false;
        }
        const unsigned version = reinterpret_cast<unsigned (*)()>(symbol)();
        if (AV_VERSION_MAJOR(version) != lib.major) {
            error = LoadError(lib.fileName, where,
                              QStringLiteral("major version %1 found, %2 needed")
                                  .arg(AV_VERSION_MAJOR(version))
                                  .arg(lib.major));
            return false;
        }
    }

    TAVApi resolved;
    bool complete = true;
    auto resolve = [&](TAVLib lib, const char* name, auto& slot) {
        if (!complete)
            return;
        const auto index = static_cast<std::size_t>(lib);
        ::dlerror();
        void* symbol = ::dlsym(opened[index].get(), name);
        if (!symbol) {
            error = LoadError(kLibraries[index].fileName, where,
                              QStringLiteral("no function %1").arg(QLatin1String(name)));
            complete = false;
            return;
        }
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(symbol);
    };
#define QB_AV_RESOLVE(lib, name) resolve(TAVLib::lib, #name, resolved.name);
    QB_AV_FUNCTIONS(QB_AV_RESOLVE)
#undef QB_AV_RESOLVE
    if (!complete)
        return false;

    // Our messages carry FFmpeg's reasons; its own log would only repeat them on stderr.
    resolved.av_log_set_level(AV_LOG_QUIET);
    api = resolved;
    handles = std::move(opened);
    loaded.store(true, std::memory_order_release);
    return true;
}
