#include "support/FailingWrite.h"

#include "platform/AppError.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTest>

#include <unistd.h>

namespace testsupport {

namespace {

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

void FailingWrite::addRows(std::initializer_list<Cause> causes)
{
    QTest::addColumn<Cause>("cause");
    for (const Cause cause : causes) {
        switch (cause) {
        case Cause::MissingFolder:
            QTest::newRow("missing folder") << cause;
            break;
        case Cause::FolderInTheWay:
            QTest::newRow("a folder in the way") << cause;
            break;
        case Cause::ReadOnlyFolder:
            QTest::newRow("read-only folder") << cause;
            break;
        case Cause::FullDisk:
            QTest::newRow("full disk") << cause;
            break;
        }
    }
}

FailingWrite::FailingWrite(Cause cause, const QString& folder, const QString& fileName, const QByteArray& former)
    : m_cause(cause), m_folder(folder), m_former(former)
{
    if (cause == Cause::MissingFolder) {
        m_folder = QDir(folder).filePath(QStringLiteral("gone"));
        m_former = QByteArray();
    }
    m_path = QDir(m_folder).filePath(fileName);
    if (cause == Cause::FolderInTheWay) {
        QDir(m_folder).mkpath(fileName);
        m_former = QByteArray();
    } else if (!m_former.isNull()) {
        writeFile(m_path, m_former);
    }
    m_entries = entriesOf(m_folder);
}

FailingWrite::~FailingWrite()
{
    if (m_cause == Cause::ReadOnlyFolder)
        QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

bool FailingWrite::applies() const
{
    return m_cause != Cause::ReadOnlyFolder || ::geteuid() != 0;
}

QString FailingWrite::run(const std::function<void()>& write)
{
    try {
        if (m_cause == Cause::ReadOnlyFolder) {
            QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::ExeOwner);
            const auto writable = qScopeGuard(
                [&] { QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); });
            write();
        } else if (m_cause == Cause::FullDisk) {
            const FileSizeLimit limit(1);
            write();
        } else {
            write();
        }
    } catch (const platform::AppError& error) {
        return error.message();
    }
    return QString();
}

bool FailingWrite::formerKept() const
{
    if (entriesOf(m_folder) != m_entries)
        return false;
    if (m_cause == Cause::FolderInTheWay)
        return QFileInfo(m_path).isDir();
    if (m_former.isNull())
        return !QFileInfo::exists(m_path);
    return readBytes(m_path) == m_former;
}

bool reportsFailure(const QString& message, const QString& lead)
{
    const QString prefix = lead + QStringLiteral(": ");
    if (!message.startsWith(prefix))
        return false;
    QString reason = message.mid(prefix.size());
    if (reason.endsWith(QLatin1Char('.')))
        reason.chop(1);
    return !reason.trimmed().isEmpty();
}

} // namespace testsupport
