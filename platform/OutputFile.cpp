#include "platform/OutputFile.h"

#include "platform/AppError.h"
#include "platform/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <sqlite3.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

struct OwnFile
{
    const char* name;
    const char* what;
};

// Stored names: the backup may also be a folder holding the database's copy.
constexpr OwnFile OwnFileNames[] = {
    {"Tovrel.mdb", "the address book"},
    {"Tovrel.mdb-journal", "the address book's journal"},
    {"Tovrel.mdb-wal", "the address book's journal"},
    {"Tovrel.mdb-shm", "the address book's journal"},
    {"Tovrel.mdb.access", "the address book's Access-format original"},
    {"Tovrel.bak", "the backup of the address book"},
    {"Tovrel.bak/Tovrel.mdb", "the backup of the address book"},
    {"TovrelIni.ini", "the program's settings"},
    {"ListFile.txt", "the county list"},
};

// The path with every link followed, as far as the files exist: a link that points nowhere gives the path it
// points to, where writing through it would create the file.
QString resolvedPath(const QString& path)
{
    QString current = QFileInfo(path).absoluteFilePath();
    for (int hops = 0; hops < 40; ++hops) {
        const QFileInfo info(current);
        if (!info.isSymLink())
            break;
        const QString target = info.symLinkTarget();
        if (target.isEmpty())
            break;
        current = target;
    }
    const QFileInfo info(current);
    const QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return QDir::cleanPath((folder.isEmpty() ? info.absolutePath() : folder) + QLatin1Char('/') + info.fileName());
}

// Whether the regular file at path (followed through links) is an address book: an SQLite file with the contact
// table. One whose tables cannot be read (locked, damaged, a journal to roll back) is taken for one: the doubt costs
// the user a file name, the mistake would cost every contact in it.
bool isAddressBook(const QString& path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    static constexpr char Header[] = "SQLite format 3";
    if (file.read(sizeof Header) != QByteArray(Header, sizeof Header))
        return false;
    file.close();
    sqlite3* db = nullptr;
    bool found = true;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'HomeAd' COLLATE NOCASE",
                               -1, &st, nullptr) == SQLITE_OK) {
            const int rc = sqlite3_step(st);
            found = rc != SQLITE_DONE;
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return found;
}

// A file opened from a descriptor has no name of its own; its errors should still name what the user gave.
class NamedFile : public QFile
{
public:
    explicit NamedFile(QString name) : m_name(std::move(name)) {}
    [[nodiscard]] QString fileName() const override { return m_name; }

private:
    QString m_name;
};

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error != 0 ? error : EIO));
}

AppError cannotWrite(const QString& path, const QString& reason)
{
    return AppError(QStringLiteral("Cannot write the file %1: %2").arg(path, reason));
}

} // namespace

bool sameFile(const QString& a, const QString& b)
{
    struct stat sa = {};
    struct stat sb = {};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0 &&
           sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

QStringList ownFiles()
{
    QStringList files;
    for (const OwnFile& own : OwnFileNames)
        files << programFile(QString::fromLatin1(own.name));
    return files;
}

void refuseOwnFile(const QString& path)
{
    const QString target = resolvedPath(path);
    for (const OwnFile& own : OwnFileNames) {
        const QString file = programFile(QString::fromLatin1(own.name));
        if (resolvedPath(file) == target || sameFile(file, path))
            throw AppError(QStringLiteral("Cannot write the file %1: it is %2 (%3); nothing was changed, choose "
                                          "another file name")
                               .arg(path, QString::fromLatin1(own.what), QDir::toNativeSeparators(file)));
    }
    // Another folder's address book is as much the user's contacts as this one.
    if (isAddressBook(target))
        throw AppError(QStringLiteral("Cannot write the file %1: it is an address book (%2); nothing was changed, "
                                      "choose another file name")
                           .arg(path, QDir::toNativeSeparators(target)));
}

OutputFile::OutputFile(QString path) : m_path(std::move(path)) {}

// An unfinished QSaveFile is discarded, leaving the file at the path as it was.
OutputFile::~OutputFile() = default;

void OutputFile::open()
{
    if (m_path.isEmpty())
        throw AppError(QStringLiteral("No file name was given"));
    refuseOwnFile(m_path);
    const QByteArray native = QFile::encodeName(m_path);
    struct stat st = {};
    if (::stat(native.constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        if (S_ISDIR(st.st_mode))
            throw cannotWrite(m_path, QStringLiteral("it is a folder; name a file in it"));
        // A device or a pipe cannot be replaced by a file of ours: its bytes go to it as they come. Not waiting
        // for a reader: a pipe nobody reads would hold the command for ever.
        const int fd = ::open(native.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) {
            const int error = errno;
            throw cannotWrite(m_path,
                              error == ENXIO ? QStringLiteral("no program is reading from it") : systemReason(error));
        }
        // A reader that goes away is a write error to report, not a reason for the system to end the program.
        ::signal(SIGPIPE, SIG_IGN);
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags >= 0)
            ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
        m_direct = std::make_unique<NamedFile>(m_path);
        if (!m_direct->open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            throw cannotWrite(m_path, m_direct->errorString());
        }
        return;
    }
    // Through a link to the file it names, so that the link stays a link.
    m_replacing = std::make_unique<QSaveFile>(resolvedPath(m_path));
    errno = 0;
    if (!m_replacing->open(QIODevice::WriteOnly)) {
        const int error = errno;
        const QFileInfo folder(QFileInfo(m_replacing->fileName()).absolutePath());
        if (!folder.exists())
            throw cannotWrite(m_path, QStringLiteral("the folder %1 does not exist")
                                          .arg(QDir::toNativeSeparators(folder.absoluteFilePath())));
        const QString text = m_replacing->errorString();
        throw cannotWrite(m_path,
                          text.isEmpty() || text == QLatin1String("Unknown error") ? systemReason(error) : text);
    }
}

QIODevice& OutputFile::device()
{
    if (m_direct)
        return *m_direct;
    return *m_replacing;
}

void OutputFile::commit()
{
    QFileDevice* file = m_direct ? static_cast<QFileDevice*>(m_direct.get()) : m_replacing.get();
    if (!file)
        throw cannotWrite(m_path, QStringLiteral("the file was not opened"));
    errno = 0;
    const bool flushed = file->flush();
    const int error = errno;
    if (!flushed || file->error() != QFileDevice::NoError) {
        const QString text = file->errorString();
        const QString reason = text.isEmpty() || text == QLatin1String("Unknown error") ? systemReason(error) : text;
        if (m_replacing)
            m_replacing->cancelWriting();
        throw cannotWrite(m_path, reason);
    }
    if (m_direct) {
        m_direct->close();
        return;
    }
    if (!m_replacing->commit())
        throw cannotWrite(m_path, m_replacing->errorString());
}

} // namespace platform
