#include "app/HelpMemoBox.h"

#include "app/Application.h"
#include "platform/CaptionStrip.h"
#include "platform/ProgramFolder.h"
#include "platform/Services.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTextEdit>
#include <QVBoxLayout>

TfmHelpMemo::TfmHelpMemo(QWidget* parent) : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint)
{
    setWindowTitle(QStringLiteral("Tovrel"));
    setFixedSize(442, 307);

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
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setPlainText(noteLines().join(QLatin1Char('\n')));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addWidget(RichEdit1);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

QStringList TfmHelpMemo::noteLines()
{
    return {
        QStringLiteral("A LITTLE HELP"),
        QString(),
        QStringLiteral("Tovrel is simple, and I hope you can find your way about easily."),
        QString(),
        QStringLiteral("For full indexed instructions with illustrations, click on Help of press F1 to view the"),
        QStringLiteral("more detailed Acrobat PDF file."),
        QString(),
        QStringLiteral("It uses one table in a Microsoft Access format to store useful info about people. You"),
        QStringLiteral("can access the table in Access if you like, but you do not have to have Access on your PC."),
        QStringLiteral("You can view, edit, delete, or add records in the main Table, which is what you see"),
        QStringLiteral("when you open the application."),
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

namespace app {

void Help1Click()
{
    TfmHelpMemo* note = Application::instance().fmHelpMemo;
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
                           QDir::cleanPath(beside + QStringLiteral("../share/tovrel/")) + QLatin1Char('/') +
                               manualFileName()};
    candidates.removeDuplicates();
    return candidates;
}

QString manualPath()
{
    const QStringList candidates = manualCandidates();
    for (const QString& path : candidates)
        if (QFileInfo::exists(path))
            return path;
    return candidates.constFirst();
}

void Help2Click()
{
    // The answer is of no interest: a missing manual or viewer is not reported.
    (void)platform::shell().open(manualPath());
}

} // namespace app
