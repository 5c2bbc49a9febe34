#pragma once

#include <QString>

namespace data {

// An advisory whole-file lock (flock) on a database file, beside the engine's own locks, which it does not disturb.
// Every program that has the database open holds it shared; replacing the file needs it exclusively.
class FileLock
{
public:
    enum class Mode { Shared, Exclusive };

    FileLock() = default;
    ~FileLock() { release(); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Takes the lock on the file now at path, waiting at most waitMs for a holder of the other mode to let go.
    // False when it is held elsewhere or the file cannot be opened (errorCode() then says why, 0 when held).
    [[nodiscard]] bool acquire(const QString& path, Mode mode, int waitMs);
    void release();
    [[nodiscard]] bool isHeld() const { return m_fd >= 0; }
    [[nodiscard]] int errorCode() const { return m_error; }

private:
    int m_fd = -1;
    int m_error = 0;
};

} // namespace data
