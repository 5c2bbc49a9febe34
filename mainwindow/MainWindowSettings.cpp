// The main window's layout in the settings file, and the County pick list, on showing and closing.
#include "mainwindow/MainWindow.h"

#include "mainwindow/ContactGrid.h"
#include "platform/IniFile.h"
#include "platform/ListFile.h"
#include "platform/ui/ErrorBox.h"
#include "platform/ProgramFolder.h"
#include "platform/ui/ScreenPlace.h"

#include <QAction>
#include <QApplication>
#include <QSignalBlocker>

namespace {
const QString MainForm = QStringLiteral("MainForm");
const QString DBGrid = QStringLiteral("DBGrid");
} // namespace

void TfmHomeAddMain::FormShow()
{
    platform::guard([this] {
        m_ini = std::make_unique<IniFile>(platform::programFile(QStringLiteral("TovrelIni.ini")));
        restoreLayout();
        const QSignalBlocker quiet(miBirthdaysAtStart);
        miBirthdaysAtStart->setChecked(
            m_ini->readInteger(QStringLiteral("Birthdays"), QStringLiteral("AtStartUp"), 0) != 0);
    });
}

void TfmHomeAddMain::FormClose()
{
    platform::guard([this] {
        if (!m_ini)
            m_ini = std::make_unique<IniFile>(platform::programFile(QStringLiteral("TovrelIni.ini")));
        saveLayout();
    });
    m_ini.reset();
}

void TfmHomeAddMain::restoreLayout()
{
    if (m_ini->readInteger(MainForm, QStringLiteral("Status"), 0) != 0) {
        // Top and Left are the frame's corner, Width and Height the client area's, as they are saved.
        const platform::ScreenPlace current = platform::screenPlaceOf(*this);
        const int top = m_ini->readInteger(MainForm, QStringLiteral("Top"), current.frame.y());
        const int left = m_ini->readInteger(MainForm, QStringLiteral("Left"), current.frame.x());
        const int width = m_ini->readInteger(MainForm, QStringLiteral("Width"), current.client.width());
        const int height = m_ini->readInteger(MainForm, QStringLiteral("Height"), current.client.height());
        platform::placeWindow(*this, {QPoint(left, top), QSize(width, height)});
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
        const platform::ScreenPlace place = platform::screenPlaceOf(*this);
        m_ini->writeInteger(MainForm, QStringLiteral("Top"), place.frame.y());
        m_ini->writeInteger(MainForm, QStringLiteral("Left"), place.frame.x());
        m_ini->writeInteger(MainForm, QStringLiteral("Width"), place.client.width());
        m_ini->writeInteger(MainForm, QStringLiteral("Height"), place.client.height());
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
