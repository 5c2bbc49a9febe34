#include "platform/Fakes.h"

namespace platform {

Answer FakePrompts::message(QWidget*, const QString& caption, const QString& text, Icon icon, Buttons buttons)
{
    const PromptRecord record{caption, text, icon, buttons};
    asked << record;
    if (onAsk)
        onAsk(record);
    if (!answers.isEmpty())
        return answers.dequeue();
    // The box's default button.
    switch (buttons) {
    case Buttons::YesNo: return Answer::Yes;
    case Buttons::YesNoDefaultNo: return Answer::No;
    case Buttons::OkCancelDefaultCancel: return Answer::Cancel;
    case Buttons::SaveDiscardCancel: return Answer::Save;
    default: return Answer::Ok;
    }
}

QString FakeFileDialogs::openFile(QWidget*, const FileDialogRequest& request)
{
    opened << request;
    if (request.chosenFilter && !filterAnswers.isEmpty())
        *request.chosenFilter = filterAnswers.dequeue();
    return answers.isEmpty() ? QString() : answers.dequeue();
}

QString FakeFileDialogs::saveFile(QWidget*, const FileDialogRequest& request)
{
    saved << request;
    if (request.chosenFilter && !filterAnswers.isEmpty())
        *request.chosenFilter = filterAnswers.dequeue();
    return answers.isEmpty() ? QString() : answers.dequeue();
}

std::optional<QFont> FakeFontDialog::chooseFont(QWidget*, const QFont& initial, const QString&)
{
    initialFonts << initial;
    return answers.isEmpty() ? std::nullopt : answers.dequeue();
}

std::optional<FontChoice> FakeFontDialog::chooseFontAndColor(QWidget* parent, const QFont& initial,
                                                             const QColor& initialColor, const QString& title)
{
    initialColors << initialColor;
    const std::optional<QFont> font = chooseFont(parent, initial, title);
    if (!font)
        return std::nullopt;
    return FontChoice{*font, colorAnswers.isEmpty() ? initialColor : colorAnswers.dequeue()};
}

bool FakePrintDialogs::print(QWidget*, QPrinter& printer, int)
{
    ++printAsked;
    return onPrint ? onPrint(printer) : false;
}

bool FakePrintDialogs::printerSetup(QWidget*, QPrinter&)
{
    ++setupAsked;
    return setupAnswer;
}

Fakes installFakes()
{
    Services& s = services();
    auto prompts = std::make_unique<FakePrompts>();
    auto fileDialogs = std::make_unique<FakeFileDialogs>();
    auto fontDialog = std::make_unique<FakeFontDialog>();
    auto printDialogs = std::make_unique<FakePrintDialogs>();
    auto sound = std::make_unique<FakeSound>();
    auto shell = std::make_unique<FakeShell>();
    auto clock = std::make_unique<FakeClock>();
    Fakes f{prompts.get(), fileDialogs.get(), fontDialog.get(), printDialogs.get(),
            sound.get(),   shell.get(),       clock.get()};
    s.prompts = std::move(prompts);
    s.fileDialogs = std::move(fileDialogs);
    s.fontDialog = std::move(fontDialog);
    s.printDialogs = std::move(printDialogs);
    s.sound = std::move(sound);
    s.shell = std::move(shell);
    s.clock = std::move(clock);
    return f;
}

} // namespace platform
