#include "platform/ui/ErrorBox.h"

#include "platform/AppError.h"
#include "platform/Services.h"

#include <QApplication>
#include <cstdio>

namespace platform {

QString withFullStop(const QString& text)
{
    if (!text.isEmpty() && text.back() > QLatin1Char('.'))
        return text + QLatin1Char('.');
    return text;
}

namespace {
int& consoleDepth()
{
    static int depth = 0;
    return depth;
}
} // namespace

ErrorsToConsole::ErrorsToConsole() { ++consoleDepth(); }
ErrorsToConsole::~ErrorsToConsole() { --consoleDepth(); }
bool errorsGoToConsole() { return consoleDepth() > 0; }

void showDefaultError(const QString& text)
{
    if (errorsGoToConsole()) {
        std::fprintf(stderr, "tovrel: %s\n", qPrintable(withFullStop(text)));
        return;
    }
    QWidget* parent = QApplication::activeWindow();
    prompts().message(parent, QStringLiteral("Tovrel"), withFullStop(text), Icon::Error, Buttons::Ok);
}

bool reportCurrentException()
{
    try {
        throw;
    } catch (const AppError& e) {
        showDefaultError(e.message());
    } catch (const std::exception& e) {
        showDefaultError(QString::fromLocal8Bit(e.what()));
    }
    return false;
}

} // namespace platform
