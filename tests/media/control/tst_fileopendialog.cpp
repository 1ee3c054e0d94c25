// The file-open dialog component: its filter list, the preselected filter, cancel, the
// persisted block, and the real Qt dialog driven as a user would.

#include "media/ComponentError.h"
#include "media/FileOpenDialog.h"
#include "support/WhenModalShows.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace zyr::media;

namespace {

const QString kWavFilter = QStringLiteral("All Files (*.*)|*.*|WAV Files (*.wav)|*.wav");

QStringList listedFiles(QFileDialog &dialog)
{
    auto *view = dialog.findChild<QAbstractItemView *>(QStringLiteral("listView"));
    QStringList names;
    if (!view)
        return names;
    const QModelIndex root = view->rootIndex();
    for (int r = 0; r < view->model()->rowCount(root); ++r)
        names << view->model()->index(r, 0, root).data().toString();
    names.sort();
    return names;
}

} // namespace

class TestFileOpenDialog : public QObject {
    Q_OBJECT
private slots:
    void filterList_data();
    void filterList();
    void patternsMatch_data();
    void patternsMatch();
    void filterIndexClamped_data();
    void filterIndexClamped();
    void chosenPathAndCancel();
    void persistedBlock();
    void realDialogShowsFiltersAndReturnsTheChoice();
    void realDialogCancelRaises();
};

void TestFileOpenDialog::filterList_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("descriptions");
    QTest::addColumn<QStringList>("firstPatterns");
    QTest::newRow("kit") << kWavFilter << QStringList{"All Files (*.*)", "WAV Files (*.wav)"}
                         << QStringList{"*.*"};
    QTest::newRow("several patterns")
        << "Sound|*.wav;*.aif" << QStringList{"Sound"} << QStringList{"*.wav", "*.aif"};
    QTest::newRow("empty") << "" << QStringList{""} << QStringList{"*.*"};
    QTest::newRow("description only")
        << "Anything" << QStringList{"Anything"} << QStringList{"*.*"};
    QTest::newRow("trailing bar") << "A|*.a|" << QStringList{"A"} << QStringList{"*.a"};
    QTest::newRow("odd count") << "A|*.a|B" << QStringList{"A", "B"} << QStringList{"*.a"};
    QTest::newRow("blank patterns")
        << "A| ; ;|B|*.b" << QStringList{"A", "B"} << QStringList{"*.*"};
    QTest::newRow("blanks around patterns")
        << "A| *.a ;  ; *.b|B" << QStringList{"A", "B"} << QStringList{"*.a", "*.b"};
}

void TestFileOpenDialog::filterList()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, descriptions);
    QFETCH(QStringList, firstPatterns);
    const std::vector<FileFilter> filters = parseFileFilters(filter);
    QStringList actual;
    for (const FileFilter &f : filters)
        actual << f.description;
    QCOMPARE(actual, descriptions);
    QCOMPARE(filters.front().patterns, firstPatterns);
}

void TestFileOpenDialog::patternsMatch_data()
{
    QTest::addColumn<QString>("patterns");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("matches");
    QTest::newRow("all files, no extension") << "*.*"
                                             << "README" << true;
    QTest::newRow("all files, dotted") << "*.*"
                                       << "a.b.c" << true;
    QTest::newRow("wav lower") << "*.wav"
                               << "song.wav" << true;
    QTest::newRow("wav upper") << "*.wav"
                               << "FILE.WAV" << true;
    QTest::newRow("wav mixed") << "*.wav"
                               << "Take.Wav" << true;
    QTest::newRow("not wav") << "*.wav"
                             << "song.wave" << false;
    QTest::newRow("suffix only") << "*.wav"
                                 << "wav" << false;
    QTest::newRow("second pattern") << "*.mid;*.midi"
                                    << "x.MIDI" << true;
}

void TestFileOpenDialog::patternsMatch()
{
    QFETCH(QString, patterns);
    QFETCH(QString, name);
    QFETCH(bool, matches);
    const FileFilter f = parseFileFilters(QStringLiteral("d|") + patterns).front();
    QCOMPARE(f.matches(name), matches);
}

void TestFileOpenDialog::filterIndexClamped_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("shown");
    QTest::newRow("negative") << -3 << 0;
    QTest::newRow("zero") << 0 << 0;
    QTest::newRow("first") << 1 << 0;
    QTest::newRow("second") << 2 << 1;
    QTest::newRow("past the end") << 9 << 1;
}

void TestFileOpenDialog::filterIndexClamped()
{
    QFETCH(int, index);
    QFETCH(int, shown);
    FileOpenDialog dialog(FileOpenDialog::designBlock());
    std::size_t seen = 99;
    dialog.setPresenter([&](const FileOpenDialog::Request &r) -> std::optional<QString> {
        seen = r.selectedFilter;
        return QStringLiteral("/x.wav");
    });
    dialog.put(FileOpenDialog::kFilter, kWavFilter);
    dialog.put(FileOpenDialog::kFilterIndex, std::int16_t(index));
    dialog.put(FileOpenDialog::kAction, std::int16_t(1));
    QCOMPARE(int(seen), shown);
}

void TestFileOpenDialog::chosenPathAndCancel()
{
    FileOpenDialog dialog(FileOpenDialog::designBlock());
    QVERIFY(!dialog.isVisible());
    std::optional<QString> answer = QStringLiteral("/music/take one.wav");
    dialog.setPresenter([&](const FileOpenDialog::Request &) { return answer; });
    dialog.put(FileOpenDialog::kFilter, kWavFilter);
    dialog.put(FileOpenDialog::kAction, std::int16_t(1));
    QCOMPARE(std::get<QString>(dialog.get(FileOpenDialog::kFileName)), *answer);

    answer.reset();
    try {
        dialog.put(FileOpenDialog::kAction, std::int16_t(1));
        QFAIL("a cancelled dialog must raise");
    } catch (const ComponentError &e) {
        QCOMPARE(e.code(), 32755);
    }
    // The earlier choice is still there.
    QCOMPARE(std::get<QString>(dialog.get(FileOpenDialog::kFileName)),
             QStringLiteral("/music/take one.wav"));
    QVERIFY_THROWS_EXCEPTION(ComponentError, dialog.put(FileOpenDialog::kAction, std::int16_t(2)));
    QVERIFY_THROWS_EXCEPTION(ComponentError,
                             dialog.put(FileOpenDialog::kFilterIndex, QString("2")));
    QVERIFY_THROWS_EXCEPTION(ComponentError, dialog.get(40));
}

void TestFileOpenDialog::persistedBlock()
{
    const QByteArray good = FileOpenDialog::designBlock();
    QCOMPARE(good.size(), 76);
    QVERIFY(FileOpenDialog::isWellFormedBlock(good));
    for (int offset : {0, 8, 12, 16, 22, 28, 44, 50, 67, 75}) {
        QByteArray bad = good;
        bad[offset] = char(bad[offset] ^ 0x5A);
        QVERIFY2(!FileOpenDialog::isWellFormedBlock(bad), qPrintable(QString::number(offset)));
    }
    QVERIFY(!FileOpenDialog::isWellFormedBlock(good.left(75)));
    QVERIFY_THROWS_EXCEPTION(ComponentError, FileOpenDialog(good.left(40)));
}

void TestFileOpenDialog::realDialogShowsFiltersAndReturnsTheChoice()
{
    QTemporaryDir dir;
    for (const char *name : {"FILE.WAV", "song.wav", "notes.txt", "README"}) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    QWidget owner;
    FileOpenDialog dialog(FileOpenDialog::designBlock(), &owner);
    dialog.put(FileOpenDialog::kFileName, dir.filePath(QStringLiteral("song.wav")));
    dialog.put(FileOpenDialog::kFilter, kWavFilter);
    dialog.put(FileOpenDialog::kFilterIndex, std::int16_t(2));

    QStringList shownFilters;
    QString selectedFilter;
    QStringList wavListing;
    QStringList allListing;
    zyr::test::whenModalShows<QFileDialog>([&](QFileDialog &d) {
        auto *combo = d.findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
        for (int i = 0; combo && i < combo->count(); ++i)
            shownFilters << combo->itemText(i);
        selectedFilter = combo ? combo->currentText() : QString();
        QTRY_COMPARE_WITH_TIMEOUT(listedFiles(d).size(), 2, 5000);
        wavListing = listedFiles(d);
        combo->setCurrentIndex(0);
        emit combo->activated(0);
        QTRY_COMPARE_WITH_TIMEOUT(listedFiles(d).size(), 4, 5000);
        allListing = listedFiles(d);
        auto *edit = d.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        edit->setText(QStringLiteral("FILE.WAV"));
        QTest::keyClick(edit, Qt::Key_Return);
    });
    dialog.put(FileOpenDialog::kAction, std::int16_t(1));

    QCOMPARE(shownFilters, (QStringList{"All Files (*.*)", "WAV Files (*.wav)"}));
    QCOMPARE(selectedFilter, QStringLiteral("WAV Files (*.wav)"));
    QCOMPARE(wavListing, (QStringList{"FILE.WAV", "song.wav"}));
    QCOMPARE(allListing, (QStringList{"FILE.WAV", "README", "notes.txt", "song.wav"}));
    QCOMPARE(std::get<QString>(dialog.get(FileOpenDialog::kFileName)),
             dir.filePath(QStringLiteral("FILE.WAV")));
}

void TestFileOpenDialog::realDialogCancelRaises()
{
    FileOpenDialog dialog(FileOpenDialog::designBlock());
    dialog.put(FileOpenDialog::kFilter, kWavFilter);
    zyr::test::whenModalShows<QFileDialog>([](QFileDialog &d) { d.reject(); });
    try {
        dialog.put(FileOpenDialog::kAction, std::int16_t(1));
        QFAIL("cancel must raise");
    } catch (const ComponentError &e) {
        QCOMPARE(e.code(), ComponentError::kCancelled);
    }
}

QTEST_MAIN(TestFileOpenDialog)
#include "tst_fileopendialog.moc"
