// Writes a database of generated contacts: tool_makecontacts FOLDER COUNT [SEED]
#include "ContactGenerator.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: tool_makecontacts FOLDER COUNT [SEED]\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int count = QByteArray(argv[2]).toInt();
    const unsigned seed = argc > 3 ? QByteArray(argv[3]).toUInt() : 42u;
    bench::writeContacts(folder + QStringLiteral("/Tovrel.mdb"), count, seed);
    std::printf("%d contacts written to %s/Tovrel.mdb\n", count, argv[1]);
    return 0;
}
