#pragma once

#include <QStringList>

namespace app {

struct Options
{
    QString folder;          // --folder DIR
    bool initDatabase = false;  // --init-database: make an empty database if none is there, then stop
    bool help = false;
    bool version = false;    // --version
    QStringList rest;        // arguments not known here (batch commands add theirs)
};

// Parses the command line; throws AppError for a malformed option.
[[nodiscard]] Options parseOptions(const QStringList& arguments);

// The whole program: sets up the application object, runs start-up and the event loop, or a batch command.
int runProgram(int argc, char* argv[]);

} // namespace app
