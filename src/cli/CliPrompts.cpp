#include "CliPrompts.h"

#include "TerminalText.h"

#include <cstdio>

bool CliPrompts::askYesNo(const QString& text)
{
    std::fprintf(stderr, "%s (answered no)\n", qPrintable(TerminalSafe(text)));
    return false;
}

void CliPrompts::information(const QString& text)
{
    std::fprintf(stderr, "%s\n", qPrintable(TerminalSafe(text)));
}

void CliPrompts::warning(const QString& text)
{
    std::fprintf(stderr, "warning: %s\n", qPrintable(TerminalSafe(text)));
}
