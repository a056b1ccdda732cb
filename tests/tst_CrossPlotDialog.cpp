#include "CrossPlotDialog.h"
#include "CrossPlotMap.h"
#include "KyBaseUtil.h"
#include "KyProjectManager.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#ifdef Q_OS_LINUX
#include <cstring>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {

const QStringList StoredFields = {"fbName",      "minOffset", "maxOffset",    "plotCorrectFB",
                                  "plotErrorFB", "plotAllFB", "applyLVLCorr", "upVel",
                                  "upShift",     "downVel",   "downShift"};

QVariant stored(const QString &field)
{
    return KyBaseUtil::projectValue("CrossPlot_CrossPlotDialog_" + field);
}

QList<CrossPlotMap *> mapWindows()
{
    QList<CrossPlotMap *> maps;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows)
        if (auto *map = qobject_cast<CrossPlotMap *>(window))
            maps << map;
    return maps;
}

QByteArray header(qint32 recordCount, qint32 word1, qint32 offsetLow, qint32 offsetHigh)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << recordCount << word1 << offsetLow << offsetHigh;
    return bytes;
}

// Root reads files whatever their mode; without the two override capabilities in this
// thread's effective set, the mode bits apply to it as to any other user.
class ModeBitsEnforced
{
public:
    ModeBitsEnforced()
    {
#ifdef Q_OS_LINUX
        if (syscall(SYS_capget, &head, saved) != 0)
            return;
        __user_cap_data_struct reduced[2];
        std::memcpy(reduced, saved, sizeof reduced);
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        active = syscall(SYS_capset, &head, reduced) == 0;
#endif
    }
    ~ModeBitsEnforced()
    {
#ifdef Q_OS_LINUX
        if (active)
            syscall(SYS_capset, &head, saved);
#endif
    }

private:
#ifdef Q_OS_LINUX
    __user_cap_header_struct head{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved[2]{};
    bool active = false;
#endif
};

// What a modal box showed before it was closed from inside its own event loop.
struct Seen
{
    QString title, text, buttonText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::ButtonRole role = QMessageBox::InvalidRole;
    QMessageBox::StandardButtons standardButtons;
    int buttonCount = 0, width = 0;
    QSize buttonMin, buttonMax;
    bool hasDefault = false, ownIcon = false;
};

// Clicks the button and closes the modal dialog it opens; act decides how.
template <typename Dialog>
void clickAndHandle(QAbstractButton *button, const std::function<void(Dialog *)> &act)
{
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto *modal = qobject_cast<Dialog *>(QApplication::activeModalWidget()))
            act(modal);
    });
    poll.start(10);
    button->click();
}

Seen pressOk(QWidget *dialog)
{
    Seen seen;
    auto look = [&seen](QMessageBox *box) {
        QAbstractButton *first = box->buttons().value(0);
        seen = {box->windowTitle(),
                box->text(),
                first->text(),
                box->icon(),
                box->buttonRole(first),
                box->standardButtons(),
                box->buttons().size(),
                box->width(),
                first->minimumSize(),
                first->maximumSize(),
                box->defaultButton() != nullptr,
                !box->windowIcon().availableSizes().isEmpty()};
        first->click();
    };
    clickAndHandle<QMessageBox>(dialog->findChild<QPushButton *>("okButton"), look);
    return seen;
}

enum FileSetup { Written, RemovedAfterNameTest, Unreadable };

} // namespace

Q_DECLARE_METATYPE(FileSetup)

class tst_CrossPlotDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void offsetRange_data();
    void offsetRange();
    void fileNameMarking_data();
    void fileNameMarking();
    void okChecks_data();
    void okChecks();
    void storedAfterOk_data();
    void storedAfterOk();
    void plotFlags_data();
    void plotFlags();
    void openButton_data();
    void openButton();
    void okTwiceOpensTwoWindows();
    void shortTranslatedMessage();

private:
    QString writeFile(const QString &name, const QByteArray &bytes);
    std::unique_ptr<ModeBitsEnforced> makeUnreadable(const QString &path);
    template <typename T> T *widget(const char *name) { return dialog->findChild<T *>(name); }

    std::unique_ptr<QTemporaryDir> project;
    std::unique_ptr<CrossPlotDialog> dialog;
    QString goodFile;
};

void tst_CrossPlotDialog::init()
{
    project = std::make_unique<QTemporaryDir>();
    QVERIFY(KyProjectManager::instance().openProject(project->path()));
    goodFile = writeFile("good.fb", header(0, 0, 0, 5000));
}

void tst_CrossPlotDialog::cleanup()
{
    dialog.reset();
    qDeleteAll(mapWindows());
    KyProjectManager::instance().closeProject();
    project.reset();
}

QString tst_CrossPlotDialog::writeFile(const QString &name, const QByteArray &bytes)
{
    QFile file(project->filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return file.fileName();
}

std::unique_ptr<ModeBitsEnforced> tst_CrossPlotDialog::makeUnreadable(const QString &path)
{
    QFile::setPermissions(path, {});
    auto enforced = std::make_unique<ModeBitsEnforced>();
    QFile probe(path);
    return probe.open(QIODevice::ReadOnly) ? nullptr : std::move(enforced);
}

void tst_CrossPlotDialog::offsetRange_data()
{
    QTest::addColumn<int>("minOffset");
    QTest::addColumn<int>("maxOffset");
    QTest::addColumn<bool>("lowerSetLast");
    QTest::addColumn<bool>("legal");
    QTest::newRow("both 0 means no limit") << 0 << 0 << false << true;
    QTest::newRow("0 to 500") << 0 << 500 << false << true;
    QTest::newRow("100 to 200, lower bound set last") << 100 << 200 << true << true;
    QTest::newRow("500 to 500") << 500 << 500 << false << false;
    QTest::newRow("600 to 500") << 600 << 500 << false << false;
    QTest::newRow("600 to 500, lower bound set last") << 600 << 500 << true << false;
}

void tst_CrossPlotDialog::offsetRange()
{
    QFETCH(int, minOffset);
    QFETCH(int, maxOffset);
    QFETCH(bool, lowerSetLast);
    QFETCH(bool, legal);
    dialog = std::make_unique<CrossPlotDialog>();
    dialog->show();
    widget<QLineEdit>("fbName")->setText(goodFile);
    auto *low = widget<QSpinBox>("minOffset");
    auto *high = widget<QSpinBox>("maxOffset");
    // Start from the pink pair 100000 to 100000, so each row must recolour both boxes.
    high->setValue(100000);
    low->setValue(100000);
    if (lowerSetLast) {
        high->setValue(maxOffset);
        low->setValue(minOffset);
    } else {
        low->setValue(minOffset);
        high->setValue(maxOffset);
    }
    const QString sheet = legal ? "background-color: white" : "background-color: pink";
    QCOMPARE(low->styleSheet(), sheet);
    QCOMPARE(high->styleSheet(), sheet);

    widget<QLineEdit>("fbName")->setFocus();
    const Seen seen = pressOk(dialog.get());
    QCOMPARE(seen.text, legal ? QString() : "Error: the offset range is illegal.");
    QCOMPARE(mapWindows().size(), legal ? 1 : 0);
    if (!legal)
        QCOMPARE(dialog->focusWidget(), low);
}

void tst_CrossPlotDialog::fileNameMarking_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("styleSheet");
    QTest::addColumn<QColor>("textColour");
    QTest::addColumn<bool>("okEnabled");
    QTest::newRow("empty") << ""
                           << "background-color: pink" << QColor() << false;
    QTest::newRow("missing") << "missing.fb"
                             << "background-color: white" << QColor(Qt::red) << false;
    QTest::newRow("zero length") << "empty.fb"
                                 << "background-color: white" << QColor(Qt::red) << false;
    QTest::newRow("readable") << "good.fb"
                              << "background-color: white" << QColor(Qt::black) << true;
    QTest::newRow("not readable") << "locked.fb"
                                  << "background-color: white" << QColor(Qt::black) << true;
}

void tst_CrossPlotDialog::fileNameMarking()
{
    QFETCH(QString, name);
    QFETCH(QString, styleSheet);
    QFETCH(QColor, textColour);
    QFETCH(bool, okEnabled);
    writeFile("empty.fb", {});
    std::unique_ptr<ModeBitsEnforced> enforced;
    if (name == "locked.fb" && !(enforced = makeUnreadable(writeFile(name, header(0, 0, 0, 9)))))
        QSKIP("this process reads files whatever their mode (root keeping its override)");
    dialog = std::make_unique<CrossPlotDialog>();
    auto *line = widget<QLineEdit>("fbName");
    // Start from a readable name so each row must change the marking.
    line->setText(goodFile);
    line->setText(name.isEmpty() ? name : project->filePath(name));
    QCOMPARE(line->styleSheet(), styleSheet);
    if (textColour.isValid())
        QCOMPARE(line->palette().color(QPalette::Text), textColour);
    QCOMPARE(widget<QPushButton>("okButton")->isEnabled(), okEnabled);
}

void tst_CrossPlotDialog::okChecks_data()
{
    QTest::addColumn<int>("minOffset");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<FileSetup>("setup");
    QTest::addColumn<QString>("message");
    const QByteArray good = header(0, 0, 0, 5000);
    const QString rangeError = "Error: the offset range is illegal.";
    const QString fileError = "Error: the input file is illegal.";
    const QString openError = "Error: fail to open the file: %1";
    QTest::newRow("good 16-byte file") << 0 << good << Written << QString();
    QTest::newRow("record count and word 1 unchecked")
        << 0 << header(-7, -1, 1000, 2000) << Written << QString();
    QTest::newRow("little-endian bounds 1000 to 2000")
        << 0 << QByteArray("\0\0\0\0\0\0\0\0\xe8\x03\0\0\xd0\x07\0\0", 16) << Written << QString();
    QTest::newRow("range illegal, file not checked")
        << 700 << QByteArray("x") << Written << rangeError;
    QTest::newRow("removed after the name test") << 0 << good << RemovedAfterNameTest << openError;
    QTest::newRow("no read permission") << 0 << good << Unreadable << openError;
    QTest::newRow("8 bytes") << 0 << good.left(8) << Written << fileError;
    QTest::newRow("11 bytes, upper bound missing")
        << 0 << header(0, 0, 0, 0x7fffffff).left(11) << Written << fileError;
    QTest::newRow("equal bounds") << 0 << header(5, 0, 1000, 1000) << Written << fileError;
    QTest::newRow("lower bound above upper")
        << 0 << header(5, 0, 3000, 1000) << Written << fileError;
    QTest::newRow("negative lower bound") << 0 << header(5, 0, -1, 1000) << Written << fileError;
}

void tst_CrossPlotDialog::okChecks()
{
    QFETCH(int, minOffset);
    QFETCH(QByteArray, bytes);
    QFETCH(FileSetup, setup);
    QFETCH(QString, message);
    const QString path = writeFile("picks.cal", bytes);
    std::unique_ptr<ModeBitsEnforced> enforced;
    if (setup == Unreadable && !(enforced = makeUnreadable(path)))
        QSKIP("this process reads files whatever their mode (root keeping its override)");
    dialog = std::make_unique<CrossPlotDialog>();
    dialog->show();
    widget<QLineEdit>("fbName")->setText(path);
    widget<QSpinBox>("maxOffset")->setValue(500);
    widget<QSpinBox>("minOffset")->setValue(minOffset);
    QVERIFY(widget<QPushButton>("okButton")->isEnabled());
    if (setup == RemovedAfterNameTest)
        QVERIFY(QFile::remove(path));

    const Seen seen = pressOk(dialog.get());
    QCOMPARE(seen.text, message.contains("%1") ? message.arg(path) : message);
    QVERIFY(dialog->isVisible());
    if (message.isEmpty()) {
        QCOMPARE(mapWindows().size(), 1);
        QCOMPARE(stored("fbName"), QVariant(path));
        return;
    }
    QCOMPARE(seen.icon, QMessageBox::Critical);
    QCOMPARE(seen.buttonCount, 1);
    if (setup != Written) {
        QCOMPARE(seen.title, QString("Error"));
        QCOMPARE(seen.standardButtons, QMessageBox::StandardButtons(QMessageBox::Close));
        QVERIFY(!seen.hasDefault);
    } else {
        QCOMPARE(seen.title, QString("Offset-FB CrossPlot"));
        QCOMPARE(seen.buttonText, QString("OK"));
        QCOMPARE(seen.role, QMessageBox::YesRole);
        QCOMPARE(seen.buttonMin, QSize(85, 27));
        QCOMPARE(seen.buttonMax, QSize(85, 27));
        QVERIFY(seen.width >= 300);
        // Only the file box names an image that the plug-in's resources hold.
        QCOMPARE(seen.ownIcon, message == "Error: the input file is illegal.");
    }
    QCOMPARE(mapWindows().size(), 0);
    for (const QString &field : StoredFields)
        QVERIFY2(!stored(field).isValid(), qPrintable(field));
}

void tst_CrossPlotDialog::storedAfterOk_data()
{
    QTest::addColumn<QVariantMap>("preset");
    QTest::addColumn<QVariantMap>("expected");
    const QVariantMap defaults{{"minOffset", 0},        {"maxOffset", 0},
                               {"plotCorrectFB", true}, {"plotErrorFB", false},
                               {"plotAllFB", false},    {"applyLVLCorr", false},
                               {"upVel", 2000},         {"upShift", 400},
                               {"downVel", 7000},       {"downShift", 0}};
    QTest::newRow("fresh project: defaults") << QVariantMap() << defaults;
    const QVariantMap lvl{{"applyLVLCorr", true},
                          {"upVel", 1500},
                          {"upShift", -20},
                          {"downVel", 6500},
                          {"downShift", 35}};
    QVariantMap lvlExpected = defaults;
    for (auto it = lvl.cbegin(); it != lvl.cend(); ++it)
        lvlExpected[it.key()] = it.value();
    QTest::newRow("stored LVL values carried unchanged") << lvl << lvlExpected;
    QVariantMap clamped = defaults;
    clamped["minOffset"] = 100;
    clamped["maxOffset"] = 100000;
    QTest::newRow("upper bound above the spin box range")
        << QVariantMap{{"minOffset", 100}, {"maxOffset", 250000}} << clamped;
}

void tst_CrossPlotDialog::storedAfterOk()
{
    QFETCH(QVariantMap, preset);
    QFETCH(QVariantMap, expected);
    for (auto it = preset.cbegin(); it != preset.cend(); ++it)
        KyBaseUtil::setProjectValue("CrossPlot_CrossPlotDialog_" + it.key(), it.value());
    dialog = std::make_unique<CrossPlotDialog>();
    widget<QLineEdit>("fbName")->setText(goodFile);
    QCOMPARE(pressOk(dialog.get()).text, QString());

    expected["fbName"] = goodFile;
    for (const QString &field : StoredFields) {
        const QVariant value = stored(field);
        QCOMPARE(value.userType(), expected.value(field).userType());
        QVERIFY2(value == expected.value(field), qPrintable(field));
    }
}

void tst_CrossPlotDialog::plotFlags_data()
{
    QTest::addColumn<QVariantList>("storedFlags");
    QTest::addColumn<QString>("click");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QVariantList>("savedFlags");
    const QVariantList none{false, false, false};
    QTest::newRow("all false shows Both, flags stay false") << none << ""
                                                            << "plotAllFB" << none;
    QTest::newRow("Correct and Error show Correct")
        << QVariantList{true, true, false} << ""
        << "plotCorrectFB" << QVariantList{true, true, false};
    QTest::newRow("Error and Both show Error") << QVariantList{false, true, true} << ""
                                               << "plotErrorFB" << QVariantList{false, true, true};
    QTest::newRow("all false, Error clicked") << none << "plotErrorFB"
                                              << "plotAllFB" << QVariantList{false, true, false};
    QTest::newRow("all true, Both clicked") << QVariantList{true, true, true} << "plotAllFB"
                                            << "plotCorrectFB" << QVariantList{false, false, true};
    QTest::newRow("all true, Correct clicked")
        << QVariantList{true, true, true} << "plotCorrectFB"
        << "plotCorrectFB" << QVariantList{true, false, false};
}

void tst_CrossPlotDialog::plotFlags()
{
    QFETCH(QVariantList, storedFlags);
    QFETCH(QString, click);
    QFETCH(QString, shown);
    QFETCH(QVariantList, savedFlags);
    const QStringList flags{"plotCorrectFB", "plotErrorFB", "plotAllFB"};
    for (int i = 0; i < flags.size(); ++i)
        KyBaseUtil::setProjectValue("CrossPlot_CrossPlotDialog_" + flags[i], storedFlags[i]);
    dialog = std::make_unique<CrossPlotDialog>();
    QVERIFY(widget<QRadioButton>(qPrintable(shown))->isChecked());
    if (!click.isEmpty())
        widget<QRadioButton>(qPrintable(click))->click();
    widget<QLineEdit>("fbName")->setText(goodFile);
    QCOMPARE(pressOk(dialog.get()).text, QString());
    for (int i = 0; i < flags.size(); ++i)
        QCOMPARE(stored(flags[i]), savedFlags[i]);
}

void tst_CrossPlotDialog::openButton_data()
{
    QTest::addColumn<bool>("pick");
    QTest::newRow("file picked") << true;
    QTest::newRow("cancelled") << false;
}

void tst_CrossPlotDialog::openButton()
{
    QFETCH(bool, pick);
    dialog = std::make_unique<CrossPlotDialog>();
    QString caption, directory;
    QStringList filters;
    clickAndHandle<QFileDialog>(widget<QPushButton>("openButton"), [&](QFileDialog *files) {
        caption = files->windowTitle();
        directory = files->directory().absolutePath();
        filters = files->nameFilters();
        if (pick) {
            files->selectFile(goodFile);
            static_cast<QDialog *>(files)->accept(); // QFileDialog hides its override
        } else {
            files->reject();
        }
    });
    QCOMPARE(caption, QString("Open"));
    QCOMPARE(directory, project->path());
    QCOMPARE(filters, QStringList{"FB files (*.cal *.fb *.fit)"});
    QCOMPARE(widget<QLineEdit>("fbName")->text(), pick ? goodFile : QString());
    QCOMPARE(widget<QPushButton>("okButton")->isEnabled(), pick);
}

void tst_CrossPlotDialog::okTwiceOpensTwoWindows()
{
    dialog = std::make_unique<CrossPlotDialog>();
    dialog->show();
    widget<QLineEdit>("fbName")->setText(goodFile);
    pressOk(dialog.get());
    widget<QSpinBox>("maxOffset")->setValue(2000);
    pressOk(dialog.get());
    QCOMPARE(mapWindows().size(), 2);
    QVERIFY(dialog->isVisible());
    QCOMPARE(stored("maxOffset"), QVariant(2000));
}

// Translates the dialog's error messages into a single letter.
class TerseTranslator : public QTranslator
{
public:
    bool isEmpty() const override { return false; }
    QString translate(const char *context, const char *source, const char *, int) const override
    {
        const bool error =
            qstrcmp(context, "CrossPlotDialog") == 0 && qstrncmp(source, "Error: ", 7) == 0;
        return error ? QStringLiteral("E") : QString();
    }
};

void tst_CrossPlotDialog::shortTranslatedMessage()
{
    TerseTranslator terse;
    QCoreApplication::installTranslator(&terse);
    dialog = std::make_unique<CrossPlotDialog>();
    dialog->show();
    widget<QLineEdit>("fbName")->setText(writeFile("bad.fb", header(0, 0, 9, 9)));
    const Seen seen = pressOk(dialog.get());
    QCoreApplication::removeTranslator(&terse);
    QCOMPARE(seen.text, QString("E"));
    QVERIFY(seen.width >= 300);
}

QTEST_MAIN(tst_CrossPlotDialog)
#include "tst_CrossPlotDialog.moc"
