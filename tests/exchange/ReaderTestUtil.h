#pragma once

// What a contact reader makes of some bytes: the contacts, its notes on the file and how it describes it.
#include "exchange/ContactReader.h"
#include "exchange/ImportLog.h"

#include <QBuffer>
#include <QFile>

namespace readertest {

struct Read
{
    QList<exchange::ReadContact> contacts;
    exchange::ImportLog log;
    QString description;

    [[nodiscard]] bool hasNotice(qint64 record, qint64 line, const QString& part) const
    {
        for (const exchange::Notice& n : log.notices()) {
            if (n.record == record && n.line == line && n.text.contains(part))
                return true;
        }
        return false;
    }
    [[nodiscard]] QString allNotices() const
    {
        QStringList all;
        for (const exchange::Notice& n : log.notices())
            all << n.toString();
        return all.join(QLatin1Char('\n'));
    }
};

template <class Reader>
Read readBytes(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    Reader reader(buffer, exchange::ReadOptions{2024});
    Read r;
    exchange::ReadContact rc;
    while (reader.next(rc))
        r.contacts << rc;
    r.log = reader.log();
    r.description = reader.description();
    return r;
}

// A file of tests/data/exchange.
template <class Reader>
Read readFixture(const char* name)
{
    QFile f(QStringLiteral(TOVREL_TEST_DATA "/exchange/") + QLatin1String(name));
    if (!f.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", name);
    return readBytes<Reader>(f.readAll());
}

} // namespace readertest
