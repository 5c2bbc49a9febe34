#include "help/HelpMemoBox.h"

#include "platform/ui/Accessibility.h"
#include "platform/ui/CaptionStrip.h"
#include "platform/ProgramFolder.h"
#include "platform/Services.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <memory>

TfmHelpMemo::TfmHelpMemo(QWidget* parent) : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint)
{
    setWindowTitle(QStringLiteral("Tovrel Help Note")); // a title of its own, told apart from the main window

    Panel1 = new platform::CaptionStrip(this);
    Panel1->setFixedHeight(32);
    Label1 = new QLabel(QStringLiteral("Help Information"), Panel1);
    QFont heading = Label1->font();
    heading.setBold(true);
    heading.setPixelSize(16);
    Label1->setFont(heading);
    QPalette white = Label1->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    Label1->setPalette(white);
    auto* strip = new QHBoxLayout(Panel1);
    strip->setContentsMargins(8, 0, 8, 0);
    strip->addWidget(Label1);

    RichEdit1 = new QTextEdit(this);
    RichEdit1->setReadOnly(true);
    RichEdit1->setAccessibleName(QStringLiteral("Help Information"));
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // One block per paragraph, wrapped to the box: fixed line breaks inside a sentence give ragged lines.
    RichEdit1->setPlainText(noteParagraphs().join(QLatin1Char('\n')));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addWidget(RichEdit1);

    // The designed width; as tall as the whole text needs with the fonts at hand, and never below the design.
    RichEdit1->ensurePolished();
    const int frame = RichEdit1->frameWidth();
    // Measured on a copy: the box's own document is laid out for the box as it is now.
    const std::unique_ptr<QTextDocument> probe(RichEdit1->document()->clone());
    probe->setDefaultFont(RichEdit1->font());
    probe->setTextWidth(ClientWidth - 2 * frame);
    const int textHeight = int(std::ceil(probe->size().height())) + 2 * frame;
    int height = std::max(ClientHeight, int(Panel1->height()) + textHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        // On a small or scaled screen the text scrolls rather than the window running off the bottom.
        height = std::min(height, std::max(ClientHeight, screen->availableGeometry().height() - 48));
        setFixedSize(ClientWidth, height);
        move(screen->availableGeometry().center() - rect().center());
    } else {
        setFixedSize(ClientWidth, height);
    }
    platform::closeOnEscape(this);
}

QStringList TfmHelpMemo::noteParagraphs()
{
    return {
        QStringLiteral("A LITTLE HELP"),
        QString(),
        QStringLiteral("Tovrel is simple, and I hope you can find your way about easily."),
        QString(),
        QStringLiteral("For full indexed instructions with illustrations, click on Help or press F1 to view the more "
                       "detailed Acrobat PDF file."),
        QString(),
        QStringLiteral("It uses one database file (SQLite) to store useful info about people. Other tools that read "
                       "SQLite can open that file if you like, and Backup copies it. You can view, edit, delete, or "
                       "add records in the main Table, which is what you see when you open the application."),
        QString(),
        QStringLiteral("IMPROVEMENTS"),
        QString(),
        QStringLiteral("We welcome constructive comments and suggestions."),
        QString(),
        QStringLiteral("Please email to: suggestions@tovrel.example.org"),
        QStringLiteral("Or visit https://tovrel.example.org/contact and leave a message."),
        QStringLiteral("Or write to : Tovrel Suggestions, 4 Orchard Row, Ledbury, Herefordshire HR8 1AA, England"),
    };
}

namespace help {

void Help1Click(TfmHelpMemo* note)
{
    if (!note)
        return;
    note->show();
    note->raise();
    note->activateWindow();
}

QString manualFileName()
{
    return QStringLiteral("Manual.pdf");
}

QStringList manualCandidates()
{
    const QString beside = platform::executableFolder();
    QStringList candidates{platform::programFile(manualFileName()), beside + manualFileName(),
                           QDir::cleanPath(beside + QStringLiteral("../share/doc/tovrel/")) + QLatin1Char('/') +
                               manualFileName()};
    candidates.removeDuplicates();
    return candidates;
}

QString manualPath()
{
    // The web page first where it lies beside the PDF: a screen reader reads it far better.
    const QStringList candidates = manualCandidates();
    for (const QString& path : candidates) {
        const QFileInfo pdf(path);
        const QString html = pdf.path() + QLatin1Char('/') + pdf.completeBaseName() + QStringLiteral(".html");
        if (QFileInfo::exists(html))
            return html;
        if (QFileInfo::exists(path))
            return path;
    }
    return candidates.constFirst();
}

void Help2Click(QWidget* owner)
{
    const QStringList places = manualCandidates();
    const QString path = manualPath();
    if (!QFileInfo(path).isFile()) {
        platform::prompts().message(
            owner, QStringLiteral("Information"),
            QStringLiteral("The manual %1 was not found. It was looked for here:\n%2")
                .arg(manualFileName(), QDir::toNativeSeparators(places.join(QLatin1Char('\n')))),
            platform::Icon::Information, platform::Buttons::Ok);
        return;
    }
    const bool page = path.endsWith(QLatin1String(".html"));
    if (!platform::shell().open(path))
        platform::prompts().message(owner, QStringLiteral("Information"),
                                    (page ? QStringLiteral("No program to show web pages could be started. The manual "
                                                           "is:\n%1")
                                          : QStringLiteral("No program to show PDF files could be started. The manual "
                                                           "is:\n%1"))
                                        .arg(QDir::toNativeSeparators(path)),
                                    platform::Icon::Information, platform::Buttons::Ok);
}

} // namespace help
