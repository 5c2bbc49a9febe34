// The main window's layout in the settings file, and the County pick list, on showing and closing.
#include "app/HomeGrid.h"

#include "app/HomeGridView.h"
#include "app/IniFile.h"
#include "app/ListFile.h"
#include "platform/ErrorBox.h"
#include "platform/ProgramFolder.h"

#include <QApplication>

namespace {
const QString MainForm = QStringLiteral("MainForm");
const QString DBGrid = QStringLiteral("DBGrid");
} // namespace

void TfmHomeAddMain::FormShow()
{
    platform::guard([this] {
        m_ini = std::make_unique<IniFile>(platform::programFile(QStringLiteral("TovrelIni.ini")));
        restoreLayout();
    });
    loadCountyPickList();
}

void TfmHomeAddMain::FormClose()
{
    platform::guard([this] {
        if (!m_ini)
            m_ini = std::make_unique<IniFile>(platform::programFile(QStringLiteral("TovrelIni.ini")));
        saveLayout();
    });
    m_ini.reset();
    m_pendingOuterSize.reset();
}

void TfmHomeAddMain::restoreLayout()
{
    if (m_ini->readInteger(MainForm, QStringLiteral("Status"), 0) != 0) {
        // Top, Left, Width and Height are the outer frame's, as they are saved.
        const QRect frame = frameGeometry();
        const int top = m_ini->readInteger(MainForm, QStringLiteral("Top"), frame.top());
        const int left = m_ini->readInteger(MainForm, QStringLiteral("Left"), frame.left());
        move(left, top);
        const int width = m_ini->readInteger(MainForm, QStringLiteral("Width"), frame.width());
        const int height = m_ini->readInteger(MainForm, QStringLiteral("Height"), frame.height());
        const QSize outer(width, height);
        resize(outer - (frame.size() - size()));
        // Before the window manager has framed the window its frame is unknown; the size is corrected once it is.
        if (frame.size() == size())
            m_pendingOuterSize = outer;
    }
    const auto& columns = gridColumns();
    for (int i = 0; i < columns.size(); ++i)
        dbGrid1->setColumnWidth(
            i, m_ini->readInteger(DBGrid, QString::fromLatin1(columns[i].key), dbGrid1->columnWidth(i)));
}

void TfmHomeAddMain::saveLayout()
{
    const Qt::WindowStates states = windowState();
    if (!(states & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen))) {
        const QRect frame = frameGeometry();
        m_ini->writeInteger(MainForm, QStringLiteral("Top"), frame.top());
        m_ini->writeInteger(MainForm, QStringLiteral("Left"), frame.left());
        m_ini->writeInteger(MainForm, QStringLiteral("Width"), frame.width());
        m_ini->writeInteger(MainForm, QStringLiteral("Height"), frame.height());
    }
    int status = (states & Qt::WindowMaximized) ? 3 : 1;
    if (!isActiveWindow())
        status = 2;
    m_ini->writeInteger(MainForm, QStringLiteral("Status"), status);
    const auto& columns = gridColumns();
    for (int i = 0; i < columns.size(); ++i)
        m_ini->writeInteger(DBGrid, QString::fromLatin1(columns[i].key), dbGrid1->columnWidth(i));
}

void TfmHomeAddMain::loadCountyPickList()
{
    platform::guard([this] { setCountyPickList(readListFile(platform::programFile(QStringLiteral("ListFile.txt")))); });
}

void TfmHomeAddMain::applyPendingSize()
{
    if (!m_pendingOuterSize)
        return;
    const QSize frameExtra = frameGeometry().size() - size();
    if (frameExtra.isNull())
        return;
    const QSize outer = *m_pendingOuterSize;
    m_pendingOuterSize.reset();
    resize(outer - frameExtra);
}

void TfmHomeAddMain::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    applyPendingSize();
}

void TfmHomeAddMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    applyPendingSize();
}
