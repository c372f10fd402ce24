#include "ProgramVersion.h"

QString ProgramVersion()
{
    return QStringLiteral(QB_PROGRAM_VERSION);
}
