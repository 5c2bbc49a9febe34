#pragma once

#include <QString>
#include <exception>

namespace platform {

// The one exception type of the program: it carries the text the default error box shows.
class AppError : public std::exception
{
public:
    explicit AppError(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    [[nodiscard]] const QString& message() const noexcept { return m_message; }
    [[nodiscard]] const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// A malformed command line (an unknown option, a missing value): the batch commands exit with status 2 for it.
class UsageError : public AppError
{
public:
    using AppError::AppError;
};

} // namespace platform
