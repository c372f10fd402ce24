#include "WorkerContext.h"

#include "TOutputFile.h"

#include <unistd.h>

namespace {

// The process id tells processes apart; the count, engines within one process.
QString uniqueTempFolderName()
{
    static std::atomic<int> engines{0};
    return QString::number(::getpid()) + QLatin1Char('-') + QString::number(++engines);
}

} // namespace

TWorkerContext::TWorkerContext(TDownloadState& s, TDownloadRows& r, TMessageQueue& g)
    : state(s), rows(r), gui(g), tempFolderName(uniqueTempFolderName())
{
}

TWorkerContext::~TWorkerContext() = default;
