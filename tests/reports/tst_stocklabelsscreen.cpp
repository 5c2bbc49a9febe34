// Reports ▸ Labels on Other Stock opens showing all of its choices on a 1366 x 768 screen, and scrolls them only
// on a smaller one, where the whole window still fits.
#include "platform/ui/Accessibility.h"
#include "reports/stocks/SettingsStore.h"
#include "reports/ui/StockLabels.h"

#include <QApplication>
#include <QFile>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

class TestStockLabelsScreen : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { platform::keepWindowsOnScreen(); }

    void showsAllWhereTheScreenAllows_data()
    {
        QTest::addColumn<QString>("screen");
        QTest::addColumn<bool>("scrolls");
        QTest::newRow("1366 x 768") << "laptop" << false;
        QTest::newRow("640 x 480") << "small" << true;
    }
    void showsAllWhereTheScreenAllows()
    {
        QFETCH(QString, screen);
        QFETCH(bool, scrolls);
        QScreen* target = nullptr;
        for (QScreen* s : QGuiApplication::screens())
            if (s->name() == screen)
                target = s;
        QVERIFY(target);
        TfmStockLabels dialog(std::make_shared<reports::MemorySettingsStore>());
        dialog.move(target->availableGeometry().topLeft() + QPoint(10, 10));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QRect area = target->availableGeometry();
        QVERIFY2(area.contains(dialog.frameGeometry()),
                 qPrintable(QStringLiteral("%1x%2").arg(dialog.frameGeometry().width()).arg(dialog.frameGeometry().height())));
        auto* scroll = dialog.findChild<QScrollArea*>(QStringLiteral("scrChoices"));
        QVERIFY(scroll);
        QCOMPARE(scroll->verticalScrollBar()->isVisible() || scroll->horizontalScrollBar()->isVisible(), scrolls);
    }
};

int main(int argc, char* argv[])
{
    // A 1366 x 768 laptop screen less a 40-pixel task bar, at 100 %, and beside it a small one.
    QTemporaryDir config;
    const QString file = config.filePath(QStringLiteral("screens.json"));
    QFile json(file);
    if (!json.open(QIODevice::WriteOnly))
        return 1;
    json.write(R"({"screens": [{"name": "laptop", "x": 0, "y": 0, "width": 1366, "height": 728,
                                 "logicalDpi": 96, "logicalBaseDpi": 96},
                                {"name": "small", "x": 1366, "y": 0, "width": 640, "height": 480,
                                 "logicalDpi": 96, "logicalBaseDpi": 96}]})");
    json.close();
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + QFile::encodeName(file));
    QApplication app(argc, argv);
    TestStockLabelsScreen test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_stocklabelsscreen.moc"
