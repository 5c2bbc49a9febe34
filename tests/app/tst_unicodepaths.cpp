// A folder whose name is not ASCII, as many users' names are: every place that opens a database finds it.
#include "backup/BackupRestore.h"
#include "support/Program.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using testsupport::Run;
using testsupport::tovrel;

namespace {

const QString Card = QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Brontë;Zoë;;;\r\nFN:Zoë Brontë\r\n"
                                    "ADR:;;1 Ørsted Way;Łódź;;;\r\nEND:VCARD\r\n");

} // namespace

class TestUnicodePaths : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_folder;
    QString m_other;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_folder = m_dir.filePath(QStringLiteral("Zoë Ørsted — 連絡先"));
        m_other = m_dir.filePath(QStringLiteral("Ångström family"));
        QVERIFY(QDir().mkpath(m_folder));
        QVERIFY(QDir().mkpath(m_other));
    }

    // In order: each step opens the database through another of the program's openers.
    void everyOpenerFindsTheFile()
    {
        // Creating an empty address book.
        Run r = tovrel({"--init-database", "--folder", m_folder});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QVERIFY(QFileInfo::exists(m_folder + QStringLiteral("/Tovrel.mdb")));

        // The contact store's connection and the import's own connection.
        const QString card = testsupport::writeFile(m_dir.filePath(QStringLiteral("Zoë.vcf")), Card.toUtf8());
        r = tovrel({"--import", card, "--folder", m_folder});
        QVERIFY2(r.status == 0, qPrintable(r.err));

        // Another address book read as an import source.
        r = tovrel({"--init-database", "--folder", m_other});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        r = tovrel({"--import", m_folder + QStringLiteral("/Tovrel.mdb"), "--folder", m_other});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        const QString csv = m_dir.filePath(QStringLiteral("Łódź.csv"));
        r = tovrel({"--export", csv, "--folder", m_other});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QVERIFY(QString::fromUtf8(testsupport::readBytes(csv)).contains(QStringLiteral("Brontë")));

        // Backup and restore open both files themselves.
        const QString database = m_folder + QStringLiteral("/Tovrel.mdb");
        const QString copy = m_folder + QStringLiteral("/Tovrel.bak");
        backup::backUpDatabase(database, copy);
        QVERIFY(QFileInfo(copy).size() > 0);
        backup::restoreDatabase(copy, database);
        backup::checkContactDatabase(database);
    }
};

QTEST_GUILESS_MAIN(TestUnicodePaths)
#include "tst_unicodepaths.moc"
