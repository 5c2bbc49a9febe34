#include "platform/ui/RealServices.h"
#include "platform/Services.h"

#include "platform/ProgramFolder.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QSoundEffect>
#include <QUrl>

namespace platform {

namespace {

class QtPrompts final : public Prompts
{
public:
    Answer message(QWidget* parent, const QString& caption, const QString& text, Icon icon, Buttons buttons) override
    {
        QMessageBox box(parent);
        box.setWindowTitle(caption);
        box.setText(text);
        switch (icon) {
        case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
        case Icon::Information: box.setIcon(QMessageBox::Information); break;
        case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
        case Icon::Question: box.setIcon(QMessageBox::Question); break;
        case Icon::Error: box.setIcon(QMessageBox::Critical); break;
        }
        switch (buttons) {
        case Buttons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
        case Buttons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
        case Buttons::OkCancelDefaultCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Cancel);
            break;
        case Buttons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
        case Buttons::YesNoDefaultNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::No);
        case Buttons::YesNoSaveAs:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::No);
            box.setEscapeButton(QMessageBox::No);
            break;
        case Buttons::SaveDiscardCancel:
            box.setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Save);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
        }
        QPushButton* saveAs =
            buttons == Buttons::YesNoSaveAs ? box.addButton(QStringLiteral("Save &As..."), QMessageBox::ActionRole)
                                            : nullptr;
        const int result = box.exec();
        if (saveAs && box.clickedButton() == saveAs)
            return Answer::SaveAs;
        switch (result) {
        case QMessageBox::Ok: return Answer::Ok;
        case QMessageBox::Yes: return Answer::Yes;
        case QMessageBox::No: return Answer::No;
        case QMessageBox::Save: return Answer::Save;
        case QMessageBox::Discard: return Answer::Discard;
        default: return buttons == Buttons::YesNo || buttons == Buttons::YesNoDefaultNo || buttons == Buttons::YesNoSaveAs
                            ? Answer::No
                            : Answer::Cancel;
        }
    }
};

class QtFileDialogs final : public FileDialogs
{
public:
    QString openFile(QWidget* parent, const FileDialogRequest& r) override { return run(parent, r, false); }
    QString saveFile(QWidget* parent, const FileDialogRequest& r) override { return run(parent, r, true); }

private:
    static QString run(QWidget* parent, const FileDialogRequest& r, bool save)
    {
        QFileDialog dialog(parent, r.title, r.folder, r.filter);
        dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        if (!r.defaultSuffix.isEmpty())
            dialog.setDefaultSuffix(r.defaultSuffix);
        if (!r.fileName.isEmpty())
            dialog.selectFile(r.fileName);
        if (r.chosenFilter && !r.chosenFilter->isEmpty())
            dialog.selectNameFilter(*r.chosenFilter);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        if (r.chosenFilter)
            *r.chosenFilter = dialog.selectedNameFilter();
        return dialog.selectedFiles().constFirst();
    }
};

class QtFontDialog final : public FontDialog
{
public:
    std::optional<QFont> chooseFont(QWidget* parent, const QFont& initial, const QString& title) override
    {
        bool ok = false;
        QFont font = QFontDialog::getFont(&ok, initial, parent, title);
        if (!ok)
            return std::nullopt;
        return font;
    }

    std::optional<FontChoice> chooseFontAndColor(QWidget* parent, const QFont& initial, const QColor& initialColor,
                                                 const QString& title) override
    {
        // Qt's font dialog has no colour of its own: it is embedded with a colour button below it.
        QDialog dialog(parent);
        dialog.setWindowTitle(title.isEmpty() ? QStringLiteral("Font") : title);
        auto* layout = new QVBoxLayout(&dialog);
        auto* fonts = new QFontDialog(initial, &dialog);
        fonts->setOptions(QFontDialog::NoButtons);
        fonts->setWindowFlags(Qt::Widget);
        layout->addWidget(fonts);
        QColor color = initialColor;
        auto* colorButton = new QPushButton(QStringLiteral("&Color..."), &dialog);
        const auto showColor = [colorButton, &color] {
            QPixmap swatch(16, 16);
            swatch.fill(color);
            colorButton->setIcon(QIcon(swatch));
        };
        showColor();
        QObject::connect(colorButton, &QPushButton::clicked, &dialog, [&] {
            const QColor chosen = QColorDialog::getColor(color, &dialog);
            if (chosen.isValid()) {
                color = chosen;
                showColor();
            }
        });
        layout->addWidget(colorButton, 0, Qt::AlignLeft);
        auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
        QObject::connect(box, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        QObject::connect(box, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        layout->addWidget(box);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return FontChoice{fonts->currentFont(), color};
    }
};

class QtPrintDialogs final : public PrintDialogs
{
public:
    bool print(QWidget* parent, QPrinter& printer, int pageCount) override
    {
        QPrintDialog dialog(&printer, parent);
        dialog.setMinMax(1, qMax(1, pageCount));
        dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
        return dialog.exec() == QDialog::Accepted;
    }
    bool printerSetup(QWidget* parent, QPrinter& printer) override
    {
        QPageSetupDialog dialog(&printer, parent);
        return dialog.exec() == QDialog::Accepted;
    }
    bool hasPrinter() override { return !QPrinterInfo::availablePrinterNames().isEmpty(); }
};

class QtSound final : public Sound
{
public:
    void playFile(const QString& name) override
    {
        // Named without a folder: the program folder's own sound first, then the one shipped beside the program.
        // Never the working folder, which is wherever the desktop happened to start the program.
        QFileInfo info(platform::programFile(name));
        if (!info.isFile())
            info = QFileInfo(platform::executableFolder() + name);
        if (!info.isFile()) {
            QApplication::beep();
            return;
        }
        if (!m_effect)
            m_effect = std::make_unique<QSoundEffect>();
        m_effect->setSource(QUrl::fromLocalFile(info.absoluteFilePath()));
        m_effect->play();
    }
    void playEvent(const QString&) override { QApplication::beep(); }

private:
    std::unique_ptr<QSoundEffect> m_effect;
};

class QtShell final : public Shell
{
public:
    bool open(const QString& target) override
    {
        const QUrl url = target.contains(QLatin1Char(':')) && !QFileInfo::exists(target)
                             ? QUrl(target)
                             : QUrl::fromLocalFile(target);
        if (!hasHandler(url))
            return false;
        return QDesktopServices::openUrl(url);
    }

private:
    // The desktop's opener starts without knowing whether anything takes the document, and says nothing when
    // nothing does: ask first which program is registered for its type. Where that cannot be asked, the opener's
    // own answer stands.
    static bool hasHandler(const QUrl& url)
    {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
        const QString type = url.isLocalFile() ? QMimeDatabase().mimeTypeForFile(url.toLocalFile()).name()
                                               : QStringLiteral("x-scheme-handler/") + url.scheme();
        QProcess query;
        query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), type});
        if (!query.waitForStarted(3000) || !query.waitForFinished(5000) || query.exitStatus() != QProcess::NormalExit)
            return true;
        return !query.readAllStandardOutput().trimmed().isEmpty();
#else
        Q_UNUSED(url);
        return true;
#endif
    }
};

} // namespace

void installRealServices()
{
    Services& s = services();
    s.prompts = std::make_unique<QtPrompts>();
    s.fileDialogs = std::make_unique<QtFileDialogs>();
    s.fontDialog = std::make_unique<QtFontDialog>();
    s.printDialogs = std::make_unique<QtPrintDialogs>();
    s.sound = std::make_unique<QtSound>();
    s.shell = std::make_unique<QtShell>();
}

} // namespace platform
