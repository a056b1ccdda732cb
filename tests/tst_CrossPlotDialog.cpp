#include "CrossPlotDialog.h"
#include "KyBaseUtil.h"
#include "KyProjectManager.h"

#include <QtTest>
#include <QtWidgets>

namespace {

const QString Key = "CrossPlot_CrossPlotDialog_";
const QStringList FlagKeys{"plotCorrectFB", "plotErrorFB", "plotAllFB"};

void writeFile(const QString &name, const QByteArray &bytes)
{
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

// A 16-byte FB header without records: record count and word 1 zero, little-endian words.
QByteArray header(qint32 offsetLow, qint32 offsetHigh)
{
    const qint32 words[] = {0, 0, qToLittleEndian(offsetLow), qToLittleEndian(offsetHigh)};
    return QByteArray(reinterpret_cast<const char *>(words), sizeof words);
}

// Presses OK, closing any box it opens from inside the box's own event loop. Returns what the
// box showed (title, icon, buttons with their size when fixed, text), how many crossplot
// windows are open, and the dialog's keys in the project store as "type value".
QString pressOk(QDialog &dialog)
{
    QStringList seen;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&seen] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            seen << box->windowTitle()
                 << QMetaEnum::fromType<QMessageBox::Icon>().valueToKey(box->icon());
            for (QAbstractButton *b : box->buttons())
                seen << b->text() + (b->minimumSize() == b->maximumSize()
                                         ? QString(" %1x%2").arg(b->width()).arg(b->height())
                                         : "");
            seen << box->text();
            box->buttons().value(0)->click();
        }
    });
    poll.start(10);
    dialog.findChild<QPushButton *>("okButton")->click();
    int windows = 0;
    for (QWidget *window : QApplication::topLevelWidgets())
        windows += window->isVisible() && window->inherits("CrossPlotMap");
    seen << QString("%1 windows").arg(windows);
    for (QString key : QStringList{"fbName", "minOffset", "maxOffset"} + FlagKeys +
                           QStringList{"applyLVLCorr", "upVel", "upShift", "downVel", "downShift"})
        if (QVariant v = KyBaseUtil::projectValue(Key + key); v.isValid())
            seen << v.typeName() + (" " + v.toString());
    return seen.join(" | ");
}

} // namespace

class tst_CrossPlotDialog : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> project;

private slots:
    void init()
    {
        QApplication::closeAllWindows(); // the crossplot windows the previous test opened
        project = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(project->path())); // rows and messages name files relatively
        QVERIFY(KyProjectManager::instance().openProject(project->path()));
    }

    void okButton_data()
    {
        // fb.cal is written with the bytes and named, unless the setup says otherwise.
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QPoint>("offsets"); // lower bound, upper bound
        // Offset sheets after the lower bound changed, file name sheet and text colour, offset
        // sheets, then what OK pressed twice brought and where the focus is.
        QTest::addColumn<QString>("expected");
        const QString usable = "white | white | white | #000000 | white | white | ";
        const QString red = "white | white | white | #ff0000 | white | white | ";
        const QString pinkName = "white | white | pink | #000000 | white | white | ";
        const QString pinkRange = "white | white | white | #000000 | pink | pink | ";
        const QString opened =
            usable + "2 windows | QString fb.cal | int %1 | int %2 | bool true | bool false | bool "
                     "false | bool false | int 2000 | int 400 | int 7000 | int 0 | focus fbName";
        const QString untouched = "0 windows | focus fbName";
        const QString box = "Offset-FB CrossPlot | Critical | OK 85x27 | Error: the ";
        const QString badRange =
            pinkRange + box + "offset range is illegal. | 0 windows | focus minOffset";
        const QString badFile = usable + box + "input file is illegal. | " + untouched;
        const QString noOpen =
            usable + "Error | Critical | Close | Error: fail to open the file: fb.cal | " +
            untouched;
        const QByteArray good = header(0, 5000);
        QTest::newRow("both offsets 0: no limit") << "" << good << QPoint() << opened.arg(0).arg(0);
        QTest::newRow("offsets 10 to 20") << "" << good << QPoint(10, 20) << opened.arg(10).arg(20);
        QTest::newRow("offsets 500 to 500") << "" << good << QPoint(500, 500) << badRange;
        // The range is checked first: a bad header does not matter then.
        QTest::newRow("offsets 600 to 500") << "" << good.left(4) << QPoint(600, 500) << badRange;
        QTest::newRow("empty name") << "not named" << good << QPoint() << pinkName + untouched;
        QTest::newRow("missing file") << "not written" << good << QPoint() << red + untouched;
        QTest::newRow("zero-length file") << "" << QByteArray() << QPoint() << red + untouched;
        QTest::newRow("no read permission") << "unreadable" << good << QPoint() << noOpen;
        QTest::newRow("removed after the name test") << "removed" << good << QPoint() << noOpen;
        QTest::newRow("11 bytes: no upper bound") << "" << good.left(11) << QPoint() << badFile;
        QTest::newRow("equal bounds") << "" << header(1000, 1000) << QPoint() << badFile;
        QTest::newRow("negative lower bound") << "" << header(-1, 1000) << QPoint() << badFile;
    }

    void okButton()
    {
        QFETCH(QString, setup);
        QFETCH(QByteArray, bytes);
        QFETCH(QPoint, offsets);
        QFETCH(QString, expected);
        if (setup != "not written")
            writeFile("fb.cal", bytes);
        // Root keeps reading it unless run without CAP_DAC_OVERRIDE and CAP_DAC_READ_SEARCH.
        if (setup == "unreadable" &&
            (!QFile::setPermissions("fb.cal", {}) || QFile("fb.cal").open(QIODevice::ReadOnly)))
            QSKIP("this process reads files whatever their mode");
        CrossPlotDialog dialog;
        dialog.show();
        auto *line = dialog.findChild<QLineEdit *>("fbName");
        auto *low = dialog.findChild<QSpinBox *>("minOffset");
        auto *high = dialog.findChild<QSpinBox *>("maxOffset");
        line->setText(setup == "not named" ? "" : "fb.cal");
        if (setup == "removed")
            QVERIFY(QFile::remove("fb.cal"));
        low->setValue(100000);
        high->setValue(100000); // a pink pair, so that each bound's change must recolour both
        low->setValue(offsets.x());
        QStringList seen{low->styleSheet(), high->styleSheet()};
        high->setValue(offsets.y());
        line->setFocus();
        pressOk(dialog); // a successful OK leaves the dialog open for another
        seen << line->styleSheet() << line->palette().color(QPalette::Text).name()
             << low->styleSheet() << high->styleSheet() << pressOk(dialog)
             << (dialog.isVisible() ? "focus " + dialog.focusWidget()->objectName() : "closed");
        QCOMPARE(seen.join(" | ").remove("background-color: "), expected);
    }

    void plotFlags_data()
    {
        QTest::addColumn<QVariantList>("flags"); // Correct, Error and Both as stored before
        QTest::addColumn<QString>("shown");      // the radio button plot<shown>FB
        QTest::newRow("all false: Both, flags stay") << QVariantList{false, false, false} << "All";
        QTest::newRow("Correct and Error: Correct") << QVariantList{true, true, false} << "Correct";
        QTest::newRow("Error and Both: Error") << QVariantList{false, true, true} << "Error";
    }

    void plotFlags()
    {
        QFETCH(QVariantList, flags);
        QFETCH(QString, shown);
        for (int i = 0; i < FlagKeys.size(); ++i)
            KyBaseUtil::setProjectValue(Key + FlagKeys[i], flags[i]);
        CrossPlotDialog dialog;
        QVERIFY(dialog.findChild<QRadioButton *>("plot" + shown + "FB")->isChecked());
        writeFile("fb.cal", header(0, 5000));
        dialog.findChild<QLineEdit *>("fbName")->setText("fb.cal");
        pressOk(dialog);
        for (int i = 0; i < FlagKeys.size(); ++i) // stored back as loaded
            QCOMPARE(KyBaseUtil::projectValue(Key + FlagKeys[i]), flags[i]);
        // A click sets exactly the clicked button's flag, whichever was set before.
        for (const int clicked : {2, 0, 1, 2, 1, 0, 2}) {
            QTest::mouseClick(dialog.findChild<QRadioButton *>(
                                  "plot" + QStringList{"Correct", "Error", "All"}[clicked] + "FB"),
                              Qt::LeftButton);
            pressOk(dialog);
            for (int i = 0; i < FlagKeys.size(); ++i)
                QCOMPARE(KyBaseUtil::projectValue(Key + FlagKeys[i]), QVariant(i == clicked));
        }
    }
};

QTEST_MAIN(tst_CrossPlotDialog)
#include "tst_CrossPlotDialog.moc"
