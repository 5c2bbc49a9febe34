#include "platform/FileAttributes.h"
#include "platform/FileCopy.h"
#include "platform/AppError.h"
#include "support/FailingWrite.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

#include <unistd.h>

using testsupport::readBytes;
using testsupport::writeFile;

namespace {

// Bytes that differ from block to block, so a block lost, repeated or shifted shows.
QByteArray pattern(qsizetype size, int seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 31 + i / 8192 * 7 + seed) % 251);
    return bytes;
}

QString errorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const platform::AppError& error) {
        return error.message();
    }
    return QString();
}

// A writer that gives out after a number of bytes: either short, as a full disk does (part of a block, then
// nothing), or with -1.
BlockWriter failingAfter(qint64 limit, bool shortWrite)
{
    auto written = std::make_shared<qint64>(0);
    return [=](QIODevice& to, const char* data, qint64 size) -> qint64 {
        const qint64 count = std::min(size, limit - *written);
        if (count < size && !shortWrite)
            return -1;
        *written += count;
        return to.write(data, count);
    };
}

} // namespace

class TestFileCopy : public QObject
{
    Q_OBJECT
private slots:
    void copiesWholeFile_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("formerSize"); // -1: no destination yet
        QTest::newRow("empty") << 0 << -1;
        QTest::newRow("one byte") << 1 << -1;
        QTest::newRow("just under a block") << 8191 << -1;
        QTest::newRow("one whole block") << 8192 << -1;
        QTest::newRow("just over a block") << 8193 << -1;
        QTest::newRow("two whole blocks") << 16384 << -1;
        QTest::newRow("blocks and a bit") << 3 * 8192 + 100 << -1;
        QTest::newRow("replaces a longer file") << 8192 << 30000;
        QTest::newRow("empty replaces a file") << 0 << 100;
    }
    void copiesWholeFile()
    {
        QFETCH(int, size);
        QFETCH(int, formerSize);
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("Tovrel.mdb"));
        const QString destination = dir.filePath(QStringLiteral("Tovrel.bak"));
        writeFile(source, pattern(size, 1));
        if (formerSize >= 0)
            writeFile(destination, pattern(formerSize, 2));
        CopyDataFile(source, destination);
        QCOMPARE(readBytes(destination), pattern(size, 1));
        QCOMPARE(readBytes(source), pattern(size, 1));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({"Tovrel.bak", "Tovrel.mdb"}));
    }

    void folderAsDestination_data()
    {
        QTest::addColumn<QString>("destination");
        QTest::newRow("folder") << QStringLiteral("Tovrel.bak");
        QTest::newRow("folder with separator") << QStringLiteral("Tovrel.bak/");
        QTest::newRow("folder through dot-dot") << QStringLiteral("Tovrel.bak/../Tovrel.bak");
    }
    void folderAsDestination()
    {
        QFETCH(QString, destination);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Tovrel.bak")));
        const QString source = dir.filePath(QStringLiteral("Tovrel.mdb"));
        writeFile(source, pattern(10000, 3));
        CopyDataFile(source, dir.filePath(destination));
        QCOMPARE(readBytes(dir.filePath(QStringLiteral("Tovrel.bak/Tovrel.mdb"))), pattern(10000, 3));
    }

    // On Windows the open source keeps the destination from being created; here the copy must not empty the file.
    void copyOntoItselfKeepsTheFile()
    {
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("Tovrel.mdb"));
        writeFile(source, pattern(20000, 4));
        CopyDataFile(source, source);
        QCOMPARE(readBytes(source), pattern(20000, 4));
        CopyDataFile(source, dir.path());
        QCOMPARE(readBytes(source), pattern(20000, 4));
    }

    void sourceCannotBeOpened_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("destinationExists");
        QTest::newRow("no backup yet") << QStringLiteral("Tovrel.bak") << true;
        QTest::newRow("no backup, no database") << QStringLiteral("Tovrel.bak") << false;
        QTest::newRow("a folder") << QStringLiteral("folder") << true;
    }
    void sourceCannotBeOpened()
    {
        QFETCH(QString, source);
        QFETCH(bool, destinationExists);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        const QString from = dir.filePath(source);
        const QString to = dir.filePath(QStringLiteral("Tovrel.mdb"));
        if (destinationExists)
            writeFile(to, pattern(5000, 5));
        const QString message = errorOf([&] { CopyDataFile(from, to); });
        QVERIFY2(testsupport::reportsFailure(message, QStringLiteral("Cannot open file %1").arg(from)),
                 qPrintable(message));
        QCOMPARE(QFile::exists(to), destinationExists);
        if (destinationExists)
            QCOMPARE(readBytes(to), pattern(5000, 5));
    }

    // The destination as the user would find it: the full path, "." and ".." resolved.
    void destinationCannotBeCreated_data()
    {
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("reported");
        QTest::newRow("dot-dot expanded") << QStringLiteral("sub/../gone/x") << QStringLiteral("gone/x");
        QTest::newRow("separator of a missing folder") << QStringLiteral("gone/") << QStringLiteral("gone/");
        QTest::newRow("file taken for a folder") << QStringLiteral("Tovrel.mdb/") << QStringLiteral("Tovrel.mdb/");
    }
    void destinationCannotBeCreated()
    {
        QFETCH(QString, destination);
        QFETCH(QString, reported);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
        const QString source = dir.filePath(QStringLiteral("Tovrel.mdb"));
        writeFile(source, pattern(100, 6));
        const QString message = errorOf([&] { CopyDataFile(source, dir.filePath(destination)); });
        QVERIFY2(testsupport::reportsFailure(message, QStringLiteral("Cannot create file %1").arg(dir.filePath(reported))),
                 qPrintable(message));
        QCOMPARE(readBytes(source), pattern(100, 6));
    }

    // Whatever stops the copy, the error names the backup and the former backup is still whole. (A folder where the
    // backup would be takes the copy inside it: folderAsDestination.)
    void writeFailureKeepsTheFormerFile_data()
    {
        using Cause = testsupport::FailingWrite::Cause;
        testsupport::FailingWrite::addRows({Cause::MissingFolder, Cause::ReadOnlyFolder, Cause::FullDisk});
    }
    void writeFailureKeepsTheFormerFile()
    {
        QFETCH(testsupport::FailingWrite::Cause, cause);
        QTemporaryDir dir;
        const QString source = writeFile(dir.filePath(QStringLiteral("Tovrel.mdb")), pattern(5 * 8192, 3));
        testsupport::FailingWrite target(cause, dir.path(), QStringLiteral("Tovrel.bak"), pattern(100, 4));
        if (!target.applies())
            QSKIP("permissions do not apply to root");
        const QString message = target.run([&] { CopyDataFile(source, target.path()); });
        QVERIFY2(testsupport::reportsFailure(message, QStringLiteral("Cannot create file %1").arg(target.path())),
                 qPrintable(message));
        QVERIFY(target.formerKept());
        QCOMPARE(readBytes(source), pattern(5 * 8192, 3));
    }

    // A disk that fills up part way: an error, never success, and the former backup is still whole.
    void failedWriteKeepsTheFormerFile_data()
    {
        QTest::addColumn<int>("limit");
        QTest::addColumn<bool>("shortWrite");
        QTest::newRow("nothing written") << 0 << false;
        QTest::newRow("short first block") << 100 << true;
        QTest::newRow("fails after a whole block") << 8192 << false;
        QTest::newRow("short second block") << 10000 << true;
        QTest::newRow("fails on the last block") << 3 * 8192 << false;
    }
    void failedWriteKeepsTheFormerFile()
    {
        QFETCH(int, limit);
        QFETCH(bool, shortWrite);
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("Tovrel.mdb"));
        const QString destination = dir.filePath(QStringLiteral("Tovrel.bak"));
        writeFile(source, pattern(3 * 8192 + 100, 7));
        writeFile(destination, pattern(12345, 8));
        QCOMPARE(errorOf([&] { CopyDataFile(source, destination, failingAfter(limit, shortWrite)); }),
                 QStringLiteral("Cannot create file %1: the write fell short").arg(destination));
        QCOMPARE(readBytes(destination), pattern(12345, 8));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"Tovrel.bak", "Tovrel.mdb"}));
    }

    void attributes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<FileAttributes>("attributes");
        QTest::addColumn<bool>("expected");
        const FileAttributes none;
        QTest::newRow("folder is a folder")
            << QStringLiteral("folder") << FileAttributes(FileAttribute::Directory) << true;
        QTest::newRow("file is no folder")
            << QStringLiteral("file") << FileAttributes(FileAttribute::Directory) << false;
        QTest::newRow("missing is no folder")
            << QStringLiteral("missing") << FileAttributes(FileAttribute::Directory) << false;
        QTest::newRow("existing, no flags") << QStringLiteral("file") << none << true;
        QTest::newRow("missing, no flags") << QStringLiteral("missing") << none << false;
        QTest::newRow("hidden folder") << QStringLiteral(".hidden")
                                       << (FileAttribute::Directory | FileAttribute::Hidden) << true;
        QTest::newRow("visible folder is not hidden")
            << QStringLiteral("folder") << (FileAttribute::Directory | FileAttribute::Hidden) << false;
        QTest::newRow("read-only file") << QStringLiteral("readonly") << FileAttributes(FileAttribute::ReadOnly)
                                        << true;
        QTest::newRow("writable file") << QStringLiteral("file") << FileAttributes(FileAttribute::ReadOnly) << false;
        QTest::newRow("read-only file is no folder")
            << QStringLiteral("readonly") << (FileAttribute::ReadOnly | FileAttribute::Directory) << false;
    }
    void attributes()
    {
        QFETCH(QString, name);
        QFETCH(FileAttributes, attributes);
        QFETCH(bool, expected);
        QTemporaryDir dir;
        QDir(dir.path()).mkdir(QStringLiteral("folder"));
        QDir(dir.path()).mkdir(QStringLiteral(".hidden"));
        writeFile(dir.filePath(QStringLiteral("file")), "x");
        writeFile(dir.filePath(QStringLiteral("readonly")), "x");
        QVERIFY(QFile::setPermissions(dir.filePath(QStringLiteral("readonly")), QFile::ReadOwner));
        QCOMPARE(hasFileAttributes(dir.filePath(name), attributes), expected);
    }
};

QTEST_GUILESS_MAIN(TestFileCopy)
#include "tst_filecopy.moc"

