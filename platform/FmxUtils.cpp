#include "platform/FmxUtils.h"

#include "platform/AppError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The system's reason for a failed file operation: the device's own text, else the last system error.
QString reasonOf(const QFileDevice& file, int error = 0)
{
    const QString text = file.errorString();
    if (error == 0 && file.error() != QFileDevice::NoError && !text.isEmpty() && text != QLatin1String("Unknown error"))
        return text;
    return QString::fromLocal8Bit(std::strerror(error != 0 ? error : errno));
}

// Forces the temporary file's bytes to disk before it replaces anything.
[[nodiscard]] bool syncToDisk(QSaveFile& file, QString* reason)
{
    if (!file.flush()) {
        if (reason)
            *reason = reasonOf(file);
        return false;
    }
    int result = 0;
    do {
        result = ::fsync(file.handle());
    } while (result != 0 && errno == EINTR);
    if (result != 0 && reason)
        *reason = reasonOf(file, errno);
    return result == 0;
}

// Makes the rename itself durable. Best effort: by now the new file is in place either way.
void syncFolder(const QString& filePath)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(filePath).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

// Checked commit: flush, fsync, rename over the final name.
[[nodiscard]] bool commitToDisk(QSaveFile& file, QString* reason)
{
    if (!syncToDisk(file, reason)) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (reason)
            *reason = reasonOf(file);
        return false;
    }
    syncFolder(file.fileName());
    return true;
}

// The full path, with "." and ".." resolved; a trailing separator is kept, since it says "a folder".
QString expandFileName(const QString& name)
{
    QString full = QDir::cleanPath(QFileInfo(name).absoluteFilePath());
    if ((name.endsWith(QLatin1Char('/')) || name.endsWith(QDir::separator())) && !full.endsWith(QLatin1Char('/')))
        full += QLatin1Char('/');
    return full;
}

// Windows-1252 bytes 0x80 to 0x9F. The five bytes the code page leaves undefined map to the control characters of
// the same value, as Windows itself reads them, so every byte has a character and back.
constexpr std::array<char16_t, 32> HighControlRange = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QString decodeWindows1252(const QByteArray& bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        *out++ = (byte >= 0x80 && byte <= 0x9F) ? QChar(HighControlRange[byte - 0x80]) : QChar(byte);
    }
    return text;
}

// False when some character has no Windows-1252 byte.
[[nodiscard]] bool encodeWindows1252(const QString& text, QByteArray& bytes)
{
    bytes.clear();
    bytes.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t code = ch.unicode();
        if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
            bytes.append(static_cast<char>(code));
            continue;
        }
        const auto* found = std::find(HighControlRange.begin(), HighControlRange.end(), code);
        if (found == HighControlRange.end())
            return false;
        bytes.append(static_cast<char>(0x80 + (found - HighControlRange.begin())));
    }
    return true;
}

const QByteArray Utf8Bom("\xEF\xBB\xBF");

} // namespace

bool hasFileAttributes(const QString& path, FileAttributes attributes)
{
    const QFileInfo info(path);
    if (!info.exists())
        return false;
    if (attributes.testFlag(FileAttribute::Directory) && !info.isDir())
        return false;
    if (attributes.testFlag(FileAttribute::Hidden) && !info.fileName().startsWith(QLatin1Char('.')))
        return false;
    if (attributes.testFlag(FileAttribute::ReadOnly) && info.permission(QFileDevice::WriteOwner))
        return false;
    return true;
}

void CopyDataFile(const QString& source, const QString& destination)
{
    CopyDataFile(source, destination,
                 [](QIODevice& to, const char* data, qint64 size) { return to.write(data, size); });
}

void CopyDataFile(const QString& source, const QString& destination, const BlockWriter& write)
{
    QString target = expandFileName(destination);
    if (hasFileAttributes(target, FileAttribute::Directory)) {
        if (!target.endsWith(QLatin1Char('/')))
            target += QLatin1Char('/');
        target += QFileInfo(source).fileName();
    }

    // The source first: a missing or unreadable source never touches the destination.
    QFile from(source);
    if (!from.open(QIODevice::ReadOnly))
        throw platform::AppError(QStringLiteral("Cannot open file %1: %2").arg(source, reasonOf(from)));

    QSaveFile to(target);
    const auto cannotCreate = [&](const QString& reason) {
        to.cancelWriting();
        return platform::AppError(QStringLiteral("Cannot create file %1: %2").arg(target, reason));
    };
    if (!to.open(QIODevice::WriteOnly))
        throw cannotCreate(reasonOf(to));
    // The copy is as private as its source: a backup of the address book is the address book. Best effort: a
    // memory stick's file system keeps no modes and refuses to be given one.
    struct stat mode = {};
    if (::fstat(from.handle(), &mode) == 0)
        (void)::fchmod(to.handle(), mode.st_mode & 07777);

    // Until the end of the source, not until the first short read: a file of whole blocks is copied whole too.
    QByteArray buffer(CopyBlockSize, Qt::Uninitialized);
    for (;;) {
        const qint64 count = from.read(buffer.data(), CopyBlockSize);
        if (count < 0) {
            const QString reason = reasonOf(from);
            to.cancelWriting();
            throw platform::AppError(QStringLiteral("Cannot read file %1: %2").arg(source, reason));
        }
        if (count == 0)
            break;
        errno = 0;
        if (write(to, buffer.constData(), count) != count) {
            const bool systemError = errno != 0 || to.error() != QFileDevice::NoError;
            throw cannotCreate(systemError ? reasonOf(to) : QStringLiteral("the write fell short"));
        }
    }
    QString reason;
    if (!commitToDisk(to, &reason))
        throw platform::AppError(QStringLiteral("Cannot create file %1: %2").arg(target, reason));
}

DecodedText decodeText(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8(bytes);
    if (utf8.hasError())
        return {decodeWindows1252(bytes), TextEncoding::Windows1252};
    if (bytes.startsWith(Utf8Bom))
        return {std::move(text), TextEncoding::Utf8WithBom};
    const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) == 0; });
    return {std::move(text), ascii ? TextEncoding::Windows1252 : TextEncoding::Utf8};
}

QByteArray encodeText(const QString& text, TextEncoding preferred)
{
    if (preferred == TextEncoding::Windows1252) {
        // Windows-1252 bytes can happen to form valid UTF-8 ("Ã©"), which would be read back as other text.
        QByteArray bytes;
        if (encodeWindows1252(text, bytes) && decodeText(bytes).text == text)
            return bytes;
    }
    // The reader drops one leading byte-order mark, so a text that starts with one needs another in front.
    const bool bom = preferred == TextEncoding::Utf8WithBom || text.startsWith(QChar(0xFEFF));
    return bom ? Utf8Bom + text.toUtf8() : text.toUtf8();
}

bool writeFileSafely(const QString& path, const QByteArray& bytes, QString* reason)
{
    QSaveFile file(path);
    const bool existed = QFileInfo::exists(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (reason)
            *reason = reasonOf(file);
        return false;
    }
    // The program's own files are nobody else's business; one that is there keeps the mode it was given. Best
    // effort, as for a copy.
    if (!existed)
        (void)::fchmod(file.handle(), S_IRUSR | S_IWUSR);
    if (file.write(bytes) != bytes.size()) {
        if (reason)
            *reason = reasonOf(file);
        file.cancelWriting();
        return false;
    }
    return commitToDisk(file, reason);
}
