#pragma once

#include <QByteArray>
#include <QFile>

namespace bench {

namespace detail {
inline double statusMegabytes(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}
} // namespace detail

// Peak resident memory since the last resetPeak(), from the kernel's high-water mark.
inline void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

inline double peakMegabytes() { return detail::statusMegabytes("VmHWM:"); }
inline double residentMegabytes() { return detail::statusMegabytes("VmRSS:"); }

} // namespace bench
