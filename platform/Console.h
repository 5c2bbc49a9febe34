#pragma once

#include "platform/AppError.h"

#include <QString>
#include <QStringList>

#include <cstdio>

// What the commands that run without a window share on the command line.
namespace platform {

// A message on standard error, after the program's name.
inline void printError(const QString& text)
{
    std::fprintf(stderr, "tovrel: %s\n", qPrintable(text));
}

// The value that follows the option at arguments[i]; i moves onto it. Throws AppError ("--user needs a value") when
// the option is the last argument.
inline QString optionValue(const QStringList& arguments, int& i)
{
    if (i + 1 >= arguments.size())
        throw AppError(QStringLiteral("%1 needs a value").arg(arguments[i]));
    return arguments[++i];
}

} // namespace platform
