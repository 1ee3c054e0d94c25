// The main menu as the user meets it: captions, menus, the heading's face and wrapping, the
// keyboard, and the places that do nothing when clicked.

#include "app/ApplicationSetup.h"
#include "app/DesignedWindow.h"
#include "app/DesignLabel.h"
#include "app/KitWindows.h"
#include "app/Program.h"
#include "app/WindowRegistry.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QtTest>

using namespace zyr;

class TestMainMenu : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { setUpApplication(*qApp); }
    void init();
    void cleanup();

    void captionsAsDesigned_data();
    void captionsAsDesigned();
    void menusInOrder();
    void headingIsBookmanSemiboldOnTwoLines();
    void iconIs32By32();
    void altKeysOpenMenusAndPressExit();
    void escapeDoesNothing();
    void clickingHeadingLineOrEmptyAreaDoesNothing();

private:
    std::unique_ptr<WindowRegistry> m_registry;
    DesignedWindow *m_main = nullptr;
};

void TestMainMenu::init()
{
    Program::resetForTesting();
    m_registry = std::make_unique<WindowRegistry>(kitWindowFactories());
    m_main = &m_registry->get(WindowClass::MainMenu);
    WindowRegistry::show(*m_main);
    QVERIFY(QTest::qWaitForWindowExposed(m_main));
}

void TestMainMenu::cleanup()
{
    m_main = nullptr;
    m_registry.reset();
}

void TestMainMenu::captionsAsDesigned_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::newRow("Label1") << "Label1"
                            << "Choose a Multimedia Program you wish to use:";
    QTest::newRow("Label2") << "Label2"
                            << "AVI Movie Viewer:";
    QTest::newRow("Label3") << "Label3"
                            << "Compact Disc Player:";
    QTest::newRow("Label4") << "Label4"
                            << "WAV Player";
    QTest::newRow("Label5") << "Label5"
                            << "Midi Player";
}

void TestMainMenu::captionsAsDesigned()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QCOMPARE(m_main->control<QLabel>(name)->text(), caption);
    QCOMPARE(m_main->windowTitle(), QStringLiteral("Welcome to the ZYR Multimedia Kit"));
    QCOMPARE(m_main->control<QPushButton>(QStringLiteral("cmdExit"))->text(),
             QStringLiteral("E&xit"));
}

void TestMainMenu::menusInOrder()
{
    const QList<QAction *> titles = m_main->menuBar()->actions();
    QCOMPARE(titles.size(), 2);
    QCOMPARE(titles[0]->text(), QStringLiteral("&File"));
    QCOMPARE(titles[1]->text(), QStringLiteral("&Help"));
    QStringList file;
    for (QAction *a : titles[0]->menu()->actions()) {
        QVERIFY(!a->isSeparator());
        QVERIFY(a->shortcut().isEmpty());
        QVERIFY(!a->isCheckable());
        QVERIFY(a->isEnabled() && a->isVisible());
        file << a->text();
    }
    QCOMPARE(file,
             (QStringList{"&AVI Viewer", "&CD Player", "&WAV Player", "&MIDI Player", "E&xit"}));
    QCOMPARE(titles[1]->menu()->actions().size(), 1);
    QCOMPARE(titles[1]->menu()->actions()[0]->text(), QStringLiteral("&About"));
}

void TestMainMenu::headingIsBookmanSemiboldOnTwoLines()
{
    auto *heading = m_main->control<QLabel>(QStringLiteral("Label1"));
    const QFontInfo info(heading->font());
    QVERIFY2(info.family().startsWith(QStringLiteral("URW Bookman")), qPrintable(info.family()));
    QCOMPARE(info.weight(), int(QFont::DemiBold));
    QCOMPARE(info.pointSizeF(), 12.0);
    QVERIFY(!info.italic());
    const QFontMetrics fm(heading->font());
    const QRect wrapped =
        fm.boundingRect(QRect(0, 0, heading->width(), 1000), Qt::TextWordWrap, heading->text());
    QCOMPARE(wrapped.height(), 2 * fm.lineSpacing() - fm.leading());
    QVERIFY(wrapped.height() <= heading->height());
    // Still above the first row, whose label starts at 960 twips.
    QVERIFY(heading->geometry().bottom() < m_main->control(QStringLiteral("Label2"))->y());
    // The other labels keep the window's default face.
    QVERIFY(!QFontInfo(m_main->control(QStringLiteral("Label2"))->font())
                 .family()
                 .startsWith(QStringLiteral("URW Bookman")));
}

void TestMainMenu::iconIs32By32()
{
    const QIcon icon = m_main->windowIcon();
    QVERIFY(!icon.isNull());
    QVERIFY(icon.availableSizes().contains(QSize(32, 32)));
    QCOMPARE(QApplication::windowIcon().cacheKey() != 0, true);
    QVERIFY(!QApplication::windowIcon().availableSizes().isEmpty());
}

void TestMainMenu::altKeysOpenMenusAndPressExit()
{
    m_main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_main));
    QTest::keyClick(m_main, Qt::Key_F, Qt::AltModifier);
    QTRY_COMPARE(QApplication::activePopupWidget(), m_main->menu(QStringLiteral("mnuFile")));
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
    QTRY_VERIFY(!QApplication::activePopupWidget());
    QTest::keyClick(m_main->menuBar(), Qt::Key_Escape); // leaves the menu bar
    QTest::keyClick(m_main, Qt::Key_H, Qt::AltModifier);
    QTRY_COMPARE(QApplication::activePopupWidget(), m_main->menu(QStringLiteral("mnuHelp")));
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
    QTRY_VERIFY(!QApplication::activePopupWidget());
    QTest::keyClick(m_main->menuBar(), Qt::Key_Escape);
    QVERIFY(!Program::ending());
    m_main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_main));
    QTest::keySequence(m_main->windowHandle(), QKeySequence(QStringLiteral("Alt+X")));
    QTRY_VERIFY(Program::ending()); // the button is pressed and released as if clicked
}

void TestMainMenu::escapeDoesNothing()
{
    m_main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_main));
    m_main->control(QStringLiteral("cmdExit"))->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QTest::keyClick(m_main, Qt::Key_Escape);
    QVERIFY(!Program::ending());
    QVERIFY(m_main->isVisible());
}

void TestMainMenu::clickingHeadingLineOrEmptyAreaDoesNothing()
{
    QTest::mouseClick(m_main->control(QStringLiteral("Label1")), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseClick(m_main->clientArea(), Qt::LeftButton, {}, QPoint(0, 0)); // on the line
    QTest::mouseClick(m_main->clientArea(), Qt::LeftButton, {}, QPoint(250, 70));
    QVERIFY(m_main->isVisible());
    QVERIFY(!Program::ending());
    for (WindowClass c : kAllWindowClasses)
        QCOMPARE(m_registry->exists(c), c == WindowClass::MainMenu);
}

QTEST_MAIN(TestMainMenu)
#include "tst_mainmenu.moc"
