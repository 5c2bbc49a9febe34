#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QStringList>

#include <functional>
#include <initializer_list>

namespace testsupport {

// A file whose writing fails, for the tests of every writer that must say so, name the file and keep what was there.
// The failure is made, never compared: the system's wording of it is the system's business.
class FailingWrite
{
public:
    enum class Cause {
        MissingFolder,  // the file's folder is not there
        FolderInTheWay, // a folder stands where the file would
        ReadOnlyFolder, // the folder may not be written to (root may, so it does not fail there)
        FullDisk,       // writes fail part way, as on a full disk
    };

    // Adds a "cause" column and one row per cause to the current _data table.
    static void addRows(std::initializer_list<Cause> causes = {Cause::MissingFolder, Cause::FolderInTheWay,
                                                               Cause::ReadOnlyFolder, Cause::FullDisk});

    // Sets the file up at folder/fileName, holding former (no file when former is null).
    FailingWrite(Cause cause, const QString& folder, const QString& fileName, const QByteArray& former = {});
    ~FailingWrite();
    FailingWrite(const FailingWrite&) = delete;
    FailingWrite& operator=(const FailingWrite&) = delete;

    [[nodiscard]] const QString& path() const { return m_path; }
    // False where the cause cannot be made here (a read-only folder for root): the test should skip.
    [[nodiscard]] bool applies() const;

    // Runs the write while the cause holds; the message of the platform::AppError it threw, or an empty text.
    [[nodiscard]] QString run(const std::function<void()>& write);

    // After run(): the file as it was (the former bytes, the folder, or nothing) and nothing left beside it.
    [[nodiscard]] bool formerKept() const;

private:
    Cause m_cause;
    QString m_folder;
    QString m_path;
    QByteArray m_former;
    QStringList m_entries; // the folder's entries before the write
};

// Whether message is "<lead>: <a reason>" (a full stop after it allowed): the failure reported, the file named,
// and some reason given, whatever the system's words for it.
[[nodiscard]] bool reportsFailure(const QString& message, const QString& lead);

} // namespace testsupport

Q_DECLARE_METATYPE(testsupport::FailingWrite::Cause)
