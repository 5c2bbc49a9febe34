#pragma once

#include "data/ContactStore.h"

#include <QString>
#include <QStringList>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace bench {

// The contact query of the book in `folder` opened again with `sql` on every iteration.
inline void reopenQuery(benchmark::State& state, const QString& folder, const QStringList& sql)
{
    data::ContactStore store;
    store.configure(folder);
    store.HomeQuery.open();
    for (auto _ : state) {
        store.HomeQuery.close();
        store.HomeQuery.setSql(sql);
        store.HomeQuery.open();
    }
    state.counters["rows"] = store.HomeQuery.recordCount();
}

inline QString shellQuoted(const QString& text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// The whole sqlite3 shell run over the same book: start, open the file, run the statement, print every row (to
// nowhere), end.
inline void shellQuery(benchmark::State& state, const QString& folder, const QString& sql)
{
    const QByteArray command = (QStringLiteral("sqlite3 ") + shellQuoted(folder + QStringLiteral("Tovrel.mdb")) +
                                QLatin1Char(' ') + shellQuoted(sql) + QStringLiteral(" > /dev/null"))
                                   .toLocal8Bit();
    for (auto _ : state)
        if (std::system(command.constData()) != 0)
            state.SkipWithError("sqlite3 shell failed");
}

} // namespace bench
