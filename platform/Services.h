#pragma once

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QWidget;
class QPrinter;

namespace platform {

enum class Icon { None, Information, Warning, Question, Error };
// YesNoSaveAs: Yes, No (the default) and "Save As...". SaveDiscardCancel: Save (the default), Discard, Cancel.
enum class Buttons { Ok, OkCancel, OkCancelDefaultCancel, YesNo, YesNoDefaultNo, YesNoSaveAs, SaveDiscardCancel };
enum class Answer { Ok, Cancel, Yes, No, SaveAs, Save, Discard };

// Message boxes. Closing a box with its close box answers Cancel (or No).
class Prompts
{
public:
    virtual ~Prompts() = default;
    virtual Answer message(QWidget* parent, const QString& caption, const QString& text, Icon icon,
                           Buttons buttons) = 0;
};

struct FileDialogRequest
{
    QString title;
    QString folder;          // starting folder
    QString fileName;        // proposed name
    QString filter;          // "Text files (*.txt);;All files (*)"
    QString defaultSuffix;   // without dot
    // When set: in, the filter shown first; out, the filter the user chose.
    QString* chosenFilter = nullptr;
};

class FileDialogs
{
public:
    virtual ~FileDialogs() = default;
    // Empty result: the user cancelled.
    virtual QString openFile(QWidget* parent, const FileDialogRequest& request) = 0;
    virtual QString saveFile(QWidget* parent, const FileDialogRequest& request) = 0;
};

struct FontChoice
{
    QFont font;
    QColor color;
};

class FontDialog
{
public:
    virtual ~FontDialog() = default;
    virtual std::optional<QFont> chooseFont(QWidget* parent, const QFont& initial, const QString& title) = 0;
    // The font dialog with a colour to choose as well.
    virtual std::optional<FontChoice> chooseFontAndColor(QWidget* parent, const QFont& initial,
                                                         const QColor& initialColor, const QString& title) = 0;
};

class PrintDialogs
{
public:
    virtual ~PrintDialogs() = default;
    // The print dialog: printer, copies, orientation, page range. false: cancelled.
    virtual bool print(QWidget* parent, QPrinter& printer, int pageCount) = 0;
    // The system's printer set-up dialog. false: cancelled.
    virtual bool printerSetup(QWidget* parent, QPrinter& printer) = 0;
    // Whether any printer is installed.
    virtual bool hasPrinter() = 0;
};

class Sound
{
public:
    virtual ~Sound() = default;
    // Starts a wave file without waiting; a file that cannot be found plays the default sound.
    virtual void playFile(const QString& name) = 0;
    // A system event sound such as "RestoreUp".
    virtual void playEvent(const QString& event) = 0;
};

class Shell
{
public:
    virtual ~Shell() = default;
    // Hands a document path or an address such as "mailto:..." to the desktop. false: nothing handled it.
    virtual bool open(const QString& target) = 0;
};

class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() = 0;
};

struct Services
{
    std::unique_ptr<Prompts> prompts;
    std::unique_ptr<FileDialogs> fileDialogs;
    std::unique_ptr<FontDialog> fontDialog;
    std::unique_ptr<PrintDialogs> printDialogs;
    std::unique_ptr<Sound> sound;
    std::unique_ptr<Shell> shell;
    std::unique_ptr<Clock> clock;
};

// The services in use: the real ones once the start-up installed them (platform/ui/RealServices.h), or a test's
// fakes.
Services& services();
[[nodiscard]] inline bool servicesInstalled() { return services().prompts != nullptr; }

inline Prompts& prompts() { return *services().prompts; }
inline FileDialogs& fileDialogs() { return *services().fileDialogs; }
inline FontDialog& fontDialog() { return *services().fontDialog; }
inline PrintDialogs& printDialogs() { return *services().printDialogs; }
inline Sound& sound() { return *services().sound; }
inline Shell& shell() { return *services().shell; }
inline Clock& clock() { return *services().clock; }

} // namespace platform
