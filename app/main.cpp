#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i)
        if (QByteArrayLiteral("--init-database") == argv[i])
            return 0;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tovrel"));
    QMainWindow w;
    w.show();
    return app.exec();
}
