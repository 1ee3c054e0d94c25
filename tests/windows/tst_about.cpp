// The About window: its notice exactly as written, the version always readable, and the only
// way out, Main Menu.

#include "app/ApplicationSetup.h"
#include "app/DesignedWindow.h"
#include "app/KitWindows.h"
#include "app/Program.h"
#include "app/WindowRegistry.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

using namespace zyr;

class TestAbout : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { setUpApplication(*qApp); }
    void init() { Program::resetForTesting(); }

    void textsExactly_data();
    void textsExactly();
    void versionFullyReadableAboveProgrammerLine();
    void escapeAndClicksDoNothing();
    void mainMenuByMnemonicReturns();
};

void TestAbout::textsExactly_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("Label1") << "Label1"
                            << "Programmed by: ZYR Software";
    QTest::newRow("Label2") << "Label2"
                            << "Contact: support@zyr.example";
    QTest::newRow("Label3") << "Label3"
                            << "        Visit: http://www.zyr.example/";
    QTest::newRow("Label4") << "Label4"
                            << "VERSION 1.00";
}

void TestAbout::textsExactly()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    WindowRegistry registry(kitWindowFactories());
    DesignedWindow &about = registry.get(WindowClass::About);
    QCOMPARE(about.windowTitle(), QStringLiteral("About The ZYR Multimedia Kit"));
    QCOMPARE(about.control<QGroupBox>(QStringLiteral("Frame1"))->title(),
             QStringLiteral("The ZYR Multimedia Kit - Freeware "));
    QCOMPARE(about.control<QPushButton>(QStringLiteral("cmdBack"))->text(),
             QStringLiteral("&Main Menu"));
    QCOMPARE(about.control<QLabel>(name)->text(), text);
    QVERIFY(about.menuWidget() == nullptr);
}

void TestAbout::versionFullyReadableAboveProgrammerLine()
{
    WindowRegistry registry(kitWindowFactories());
    DesignedWindow &about = registry.get(WindowClass::About);
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    auto *programmer = about.control<QLabel>(QStringLiteral("Label1"));
    auto *version = about.control<QLabel>(QStringLiteral("Label4"));
    QVERIFY(programmer->geometry().intersects(version->geometry()));
    // The version lies above the programmer's line among the frame's children...
    const QObjectList children = version->parentWidget()->children();
    QVERIFY(children.indexOf(version) > children.indexOf(programmer));
    // ...and the programmer's caption ends before the version's box begins.
    const int captionEnd =
        programmer->x() + programmer->fontMetrics().horizontalAdvance(programmer->text());
    QVERIFY2(captionEnd < version->x(), qPrintable(QString::number(captionEnd)));
    QVERIFY(version->fontMetrics().horizontalAdvance(version->text()) <= version->width());
}

void TestAbout::escapeAndClicksDoNothing()
{
    WindowRegistry registry(kitWindowFactories());
    DesignedWindow &main = registry.get(WindowClass::MainMenu);
    DesignedWindow &about = registry.get(WindowClass::About);
    WindowRegistry::show(about);
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QTest::keyClick(&about, Qt::Key_Escape);
    for (const char *name : {"Label1", "Label2", "Label3", "Label4", "Frame1"})
        QTest::mouseClick(about.control(QString::fromLatin1(name)), Qt::LeftButton, {},
                          QPoint(3, 3));
    QVERIFY(about.isVisible());
    QVERIFY(!main.isVisible());
    QVERIFY(!Program::ending());
}

void TestAbout::mainMenuByMnemonicReturns()
{
    WindowRegistry registry(kitWindowFactories());
    DesignedWindow &main = registry.get(WindowClass::MainMenu);
    DesignedWindow &about = registry.get(WindowClass::About);
    WindowRegistry::show(about);
    about.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&about));
    QTest::keySequence(about.windowHandle(), QKeySequence(QStringLiteral("Alt+M")));
    QTRY_VERIFY(main.isVisible());
    QVERIFY(!about.isVisible());
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
