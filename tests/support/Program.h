#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace testsupport {

// What the program said and how it ended; status -1 where it crashed.
struct Run
{
    int status = -1;
    QString out;
    QString err;
};

// Runs the built program without a window and waits for it (two minutes at most). `whileRunning` is called
// every few milliseconds until it ends, and once more after.
Run tovrel(const QStringList& arguments, const std::function<void()>& whileRunning = {});

} // namespace testsupport
