#pragma once

#include "platform/Services.h"

#include <QList>
#include <QQueue>
#include <functional>

namespace platform {

// Recording stand-ins for tests: nothing blocks, every call is written down, answers are scripted.

struct PromptRecord
{
    QString caption;
    QString text;
    Icon icon;
    Buttons buttons;
};

class FakePrompts final : public Prompts
{
public:
    Answer message(QWidget* parent, const QString& caption, const QString& text, Icon icon, Buttons buttons) override;
    // Answers given in order; with none left, the default button answers: OK, Yes, or No where No is the default.
    QQueue<Answer> answers;
    QList<PromptRecord> asked;
    // Runs while a box is "open", e.g. to check what the window looks like behind it.
    std::function<void(const PromptRecord&)> onAsk;
};

class FakeFileDialogs final : public FileDialogs
{
public:
    QString openFile(QWidget* parent, const FileDialogRequest& request) override;
    QString saveFile(QWidget* parent, const FileDialogRequest& request) override;
    QQueue<QString> answers; // empty string: cancelled; none left: cancelled
    QQueue<QString> filterAnswers; // the filter chosen, for a request that asks; none left: the one shown first
    QList<FileDialogRequest> opened;
    QList<FileDialogRequest> saved;
};

class FakeFontDialog final : public FontDialog
{
public:
    std::optional<QFont> chooseFont(QWidget* parent, const QFont& initial, const QString& title) override;
    QQueue<std::optional<QFont>> answers; // none left: cancelled
    QList<QFont> initialFonts;
};

class FakePrintDialogs final : public PrintDialogs
{
public:
    bool print(QWidget* parent, QPrinter& printer, int pageCount) override;
    bool printerSetup(QWidget* parent, QPrinter& printer) override;
    bool hasPrinter() override { return printerInstalled; }
    // Runs on the printer when print() is asked, to set what the user would choose; its result answers.
    std::function<bool(QPrinter&)> onPrint;
    bool setupAnswer = false;
    bool printerInstalled = true;
    int printAsked = 0;
    int setupAsked = 0;
};

class FakeSound final : public Sound
{
public:
    void playFile(const QString& name) override { files << name; }
    void playEvent(const QString& event) override { events << event; }
    QStringList files;
    QStringList events;
};

class FakeShell final : public Shell
{
public:
    bool open(const QString& target) override
    {
        opened << target;
        return handled;
    }
    QStringList opened;
    bool handled = true;
};

class FakeClock final : public Clock
{
public:
    QDateTime now() override { return current; }
    QDateTime current = QDateTime(QDate(2026, 12, 10), QTime(9, 30));
};

struct Fakes
{
    FakePrompts* prompts;
    FakeFileDialogs* fileDialogs;
    FakeFontDialog* fontDialog;
    FakePrintDialogs* printDialogs;
    FakeSound* sound;
    FakeShell* shell;
    FakeClock* clock;
};

// Replaces every service by a fresh fake; the returned pointers stay valid until the next install.
Fakes installFakes();

} // namespace platform
