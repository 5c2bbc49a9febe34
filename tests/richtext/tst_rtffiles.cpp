#include "DocDump.h"
#include "platform/AppError.h"
#include "richtext/RichText.h"

#include <QDir>
#include <QFont>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

#include <csignal>
#include <sys/resource.h>

using namespace rtftest;

namespace {

QString errorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const platform::AppError& e) {
        return e.message();
    }
    return {};
}

QByteArray contentOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Makes every write past `bytes` fail, as a full disk would, while it lives.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_saved{};
    void (*m_oldHandler)(int) = nullptr;
};

} // namespace

class TestRtfFiles : public QObject
{
    Q_OBJECT

    const QFont m_base{QStringLiteral("MS Sans Serif"), 8};
    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void savedTextFileHoldsRtf()
    {
        QTextDocument doc;
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        bold.setFontFamilies({u"Arial"_qs});
        QTextCursor(&doc).insertText(u"Dear Zoë"_qs, bold);
        const QString file = path(u"untitled.txt"_qs);
        richtext::saveFile(file, doc);
        QVERIFY(contentOf(file).startsWith("{\\rtf1"));

        QTextDocument back;
        richtext::loadFile(file, back, m_base);
        QCOMPARE(paragraphs(back), u"Dear Zoë"_qs);
        QCOMPARE(formatOf(back, u"Dear"_qs).fontWeight(), int(QFont::Bold));
        QCOMPARE(family(formatOf(back, u"Dear"_qs)), u"Arial"_qs);
    }

    void loadsPlainText()
    {
        const QString file = path(u"notes.rtf"_qs);
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("line one\r\nline two");
        f.close();
        QTextDocument doc;
        richtext::loadFile(file, doc, m_base);
        QCOMPARE(paragraphs(doc), u"line one\nline two"_qs);
    }

    void cannotOpen_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing file") << u"missing.rtf"_qs;
        QTest::newRow("missing folder") << u"no/such/file.rtf"_qs;
        QTest::newRow("a folder") << u"folder"_qs;
    }
    void cannotOpen()
    {
        QFETCH(QString, name);
        QVERIFY(QDir(m_dir.path()).mkpath(u"folder"_qs));
        QTextDocument doc;
        doc.setPlainText(u"kept"_qs);
        const QString file = path(name);
        QCOMPARE(errorOf([&] { richtext::loadFile(file, doc, m_base); }), u"Cannot open file "_qs + file);
        QCOMPARE(paragraphs(doc), u"kept"_qs);
    }

    void readFailure()
    {
        // Opens, but every read fails with an I/O error.
        const QString file = u"/proc/self/mem"_qs;
        QTextDocument doc;
        doc.setPlainText(u"kept"_qs);
        QCOMPARE(errorOf([&] { richtext::loadFile(file, doc, m_base); }), u"Failed to Load Stream"_qs);
        QCOMPARE(paragraphs(doc), u"kept"_qs);
    }

    void unreadableRtf()
    {
        const QString file = path(u"cut.rtf"_qs);
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("{\\rtf1");
        f.close();
        QTextDocument doc;
        QCOMPARE(errorOf([&] { richtext::loadFile(file, doc, m_base); }), u"Failed to Load Stream"_qs);
    }

    void cannotCreate_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing folder") << u"no/such/letter.rtf"_qs;
        QTest::newRow("name of a folder") << u"folder"_qs;
    }
    void cannotCreate()
    {
        QFETCH(QString, name);
        QVERIFY(QDir(m_dir.path()).mkpath(u"folder"_qs));
        QTextDocument doc;
        doc.setPlainText(u"text"_qs);
        const QString file = path(name);
        QCOMPARE(errorOf([&] { richtext::saveFile(file, doc); }), u"Cannot create file "_qs + file);
    }

    // A write that fails half-way leaves the former file as it was, and no temporary file behind.
    void failedSaveKeepsFormerFile()
    {
        QVERIFY(QDir(m_dir.path()).mkpath(u"full"_qs));
        const QString file = path(u"full/letter.rtf"_qs);
        QTextDocument small;
        small.setPlainText(u"former letter"_qs);
        richtext::saveFile(file, small);
        const QByteArray former = contentOf(file);

        QTextDocument large;
        large.setPlainText(QString(200000, QLatin1Char('x')));
        QString error;
        {
            FileSizeLimit limit(64 * 1024);
            error = errorOf([&] { richtext::saveFile(file, large); });
        }
        QCOMPARE(error, u"Failed to Save Stream"_qs);
        QCOMPARE(contentOf(file), former);
        QCOMPARE(QDir(path(u"full"_qs)).entryList(QDir::Files), QStringList{u"letter.rtf"_qs});
    }
};

QTEST_MAIN(TestRtfFiles)
#include "tst_rtffiles.moc"
