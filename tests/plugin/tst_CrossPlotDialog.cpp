#include "CrossPlot.h"
#include "KyBaseUtil.h"
#include "KyProjectManager.h"

#include "TestSupport.h"

namespace {

const QString Key = "CrossPlot_CrossPlotDialog_";
const QStringList FlagKeys{"plotCorrectFB", "plotErrorFB", "plotAllFB"};

// Clicks OK and closes any box it opens. Returns what the box showed (title, icon, window icon,
// buttons with their size when fixed, the spacer below, text), the type and offset labels of the
// crossplot window it opened, and the dialog's keys in the project store.
QString pressOk(QDialog &dialog)
{
    QStringList seen;
    const QImage logo = QIcon(":/resource/images/logo.ico").pixmap(16).toImage();
    QWidget *ok = dialog.findChild<QWidget *>("okButton");
    const auto answer = [&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box) // no other dialog may open: named, then closed
            return void(seen << answerFiles(modal, "", ""));
        const QImage icon = box->windowIcon().pixmap(16).toImage();
        seen << box->windowTitle() << key(box->icon())
             << say(icon.isNull() ? "no icon" : "", icon == logo ? "logo.ico" : "");
        for (QAbstractButton *b : box->buttons())
            seen << say(b->text(), b->minimumSize() == b->maximumSize() ? size(b->size()) : "");
        auto *grid = static_cast<QGridLayout *>(box->layout());
        if (QLayoutItem *last = grid->itemAtPosition(grid->rowCount() - 1, 0);
            last && last->spacerItem())
            seen << "spacer " + size(last->spacerItem()->sizeHint());
        seen << box->text();
        box->buttons().value(0)->click();
    };
    QWidget *window = newTopLevel("CrossPlotMap", [&] {
        whileModal([ok] { QTest::mouseClick(ok, Qt::LeftButton); }, answer);
    });
    seen << (window ? say(window->findChild<QLabel *>("forTypeLabel")->text(),
                          window->findChild<QLabel *>("forOffsetRangeLabel")->text())
                    : "no window");
    for (QString key : QStringList{"fbName", "minOffset", "maxOffset"} + FlagKeys +
                           QStringList{"applyLVLCorr", "upVel", "upShift", "downVel", "downShift"})
        if (QVariant v = KyBaseUtil::projectValue(Key + key); v.isValid())
            seen << say(v.typeName(), v);
    return seen.join(" | ");
}

} // namespace

class tst_CrossPlotDialog : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> project;

    // Opens a dialog through the action in a fresh project and looks at everything it shows.
    QMap<QString, QString> lookAtDialog()
    {
        QMap<QString, QString> seen;
        QDialog *dialog = openDialog(CrossPlot());
        if (!dialog)
            return seen;
        seen["dialog"] = say(dialog->windowTitle(), size(dialog->size()), dialog->font().family(),
                             dialog->font().pointSize(), dialog->isModal() ? "modal" : "modeless",
                             dialog->testAttribute(Qt::WA_DeleteOnClose) ? "deleted on close" : "");
        for (QWidget *w : dialog->findChildren<QWidget *>()) {
            if (auto *spin = qobject_cast<QSpinBox *>(w))
                seen["minOffset, maxOffset"] +=
                    say(spin->minimum(), spin->maximum(), spin->singleStep(), spin->value(),
                        spin->minimumWidth(), spin->maximumWidth(), "| ");
            else if (auto *button = qobject_cast<QAbstractButton *>(w))
                seen[w->objectName()] = say(button->text(), button->isChecked() ? "checked" : "");
            else if (qobject_cast<QLabel *>(w))
                seen["labels"] += w->property("text").toString() + "|";
        }
        auto *open = dialog->findChild<QPushButton *>("openButton");
        seen["openButton"] += " " + say(size(open->maximumSize()), key(open->focusPolicy()));
        writeFile("picked.fb", fbBytes(0, 5000));
        QString &opened = seen["Open dialog, answered with nothing, then picked.fb"];
        for (const QString answer : {"", "picked.fb"}) {
            whileModal([open] { QTest::mouseClick(open, Qt::LeftButton); },
                       [&](QWidget *modal) {
                           opened += answerFiles(modal, answer, project->path()) + " | ";
                       });
            opened += say(QFileInfo(dialog->findChild<QLineEdit *>("fbName")->text()).fileName(),
                          dialog->findChild<QWidget *>("okButton")->isEnabled() ? "OK enabled"
                                                                                : "OK disabled",
                          "| ");
        }
        // OK takes the focus only once a usable file is named.
        QApplication::setActiveWindow(dialog);
        dialog->findChild<QWidget *>("okButton")->setFocus();
        for (int tab = 0; tab < 3; ++tab) {
            QTest::keyClick(dialog->focusWidget(), Qt::Key_Tab);
            seen["Tab from okButton"] += dialog->focusWidget()->objectName() + " ";
        }
        const QPointer<QDialog> shown = dialog;
        QTest::mouseClick(dialog->findChild<QWidget *>("cancelButton"), Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        seen["Cancel"] =
            say(shown ? "still there" : "gone",
                KyBaseUtil::projectValue(Key + "fbName").isValid() ? "stored" : "nothing stored");
        return seen;
    }

private slots:
    void init()
    {
        QApplication::closeAllWindows(); // the crossplot windows the previous test opened
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        project = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(project->path())); // rows and messages name files relatively
        QVERIFY(KyProjectManager::instance().openProject(project->path()));
    }

    void face_data()
    {
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const char *seen) { QTest::newRow(name) << seen; };
        row("dialog", "Offset-FB CrossPlot 496x177 Segoe UI 10 modeless deleted on close");
        row("labels", "FB file:|Plot offset range:|to|(both 0, no limit)|Plot FB type:|");
        row("openButton", "<> 61x23 ClickFocus");
        // Range, step, value, widths.
        row("minOffset, maxOffset", "0 100000 100 0 71 61 | 0 100000 100 0 71 61 | ");
        row("plotCorrectFB", "Correct FB checked");
        row("okButton", "OK"); // the other texts as tst_PluginLoading sees them untranslated
        row("Cancel", "gone nothing stored");
        row("Tab from okButton", "cancelButton fbName minOffset ");
        row("Open dialog, answered with nothing, then picked.fb",
            "Open | FB files (*.cal *.fb *.fit) | project | OK disabled | Open | FB files (*.cal "
            "*.fb *.fit) | project | picked.fb OK enabled | ");
    }

    void face()
    {
        static const QMap<QString, QString> seen = lookAtDialog();
        QTEST(seen.value(QTest::currentDataTag()), "expected");
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
        const QString opened = usable +
                               "Correct %1 | QString fb.cal | int %2 | int %3 | "
                               "bool true | bool false | bool false | bool false | int 2000 | "
                               "int 400 | int 7000 | int 0 | focus okButton";
        const QString untouched = "no window | focus ";
        const QString box =
            "Offset-FB CrossPlot | Critical | %1 | OK 85x27 | spacer 300x0 | Error: the ";
        const QString badRange = pinkRange + box.arg("no icon") +
                                 "offset range is illegal. | no window | focus minOffset";
        const QString badFile =
            usable + box.arg("logo.ico") + "input file is illegal. | " + untouched + "okButton";
        const QString noOpen = usable +
                               "Error | Critical | no icon | Close | Error: fail to open "
                               "the file: fb.cal | " +
                               untouched + "okButton";
        const QByteArray good = fbBytes(0, 5000);
        const auto row = [](const char *name, const char *setup, const QByteArray &bytes,
                            const QPoint &offsets, const QString &expected) {
            QTest::newRow(name) << QString(setup) << bytes << offsets << expected;
        };
        row("both offsets 0: no limit", "", good, {}, opened.arg("0 - 5000").arg(0).arg(0));
        row("offsets 10 to 20", "", good, {10, 20}, opened.arg("10 - 20").arg(10).arg(20));
        row("offsets 500 to 500", "", good, {500, 500}, badRange);
        // The range is checked first: a bad header does not matter then.
        row("offsets 600 to 500", "", good.left(4), {600, 500}, badRange);
        row("empty name", "not named", good, {}, pinkName + untouched + "fbName");
        row("missing file", "not written", good, {}, red + untouched + "fbName");
        row("zero-length file", "", {}, {}, red + untouched + "fbName");
        row("removed after the name test", "removed", good, {}, noOpen);
        // The header's other faults take the same way; the tools' tables say each one's reason.
        row("11 bytes: no upper bound", "", good.left(11), {}, badFile);
    }

    void okButton()
    {
        QFETCH(QString, setup);
        QFETCH(QByteArray, bytes);
        QFETCH(QPoint, offsets);
        QFETCH(QString, expected);
        if (setup != "not written")
            writeFile("fb.cal", bytes);
        QDialog &dialog = *openDialog(CrossPlot());
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
        line->setFocus(); // where the name was typed; clicking an enabled OK takes the focus
        pressOk(dialog);  // a successful OK leaves the dialog open for another
        seen << line->styleSheet() << line->palette().color(QPalette::Text).name()
             << low->styleSheet() << high->styleSheet() << pressOk(dialog)
             << (dialog.isVisible() ? "focus " + dialog.focusWidget()->objectName() : "closed");
        QCOMPARE(seen.join(" | ").remove("background-color: "), expected);
    }

    void plotFlags_data()
    {
        // Correct, Error and Both as stored before; the radio button then checked and the flags
        // that OK stores; then each radio button clicked (0 Correct, 1 Error, 2 Both) and OK.
        QTest::addColumn<QString>("flags");
        QTest::addColumn<QString>("clicks");
        QTest::addColumn<QString>("expected");
        QTest::newRow("all false: Both, flags stay")
            << QString("000") << QString("2012102")
            << QString("plotAllFB 000 001 100 010 001 010 100 001");
        QTest::newRow("Correct and Error: Correct")
            << QString("110") << QString() << QString("plotCorrectFB 110");
        QTest::newRow("Error and Both: Error")
            << QString("011") << QString() << QString("plotErrorFB 011");
    }

    void plotFlags()
    {
        QFETCH(QString, flags);
        QFETCH(QString, clicks);
        for (int i = 0; i < FlagKeys.size(); ++i)
            KyBaseUtil::setProjectValue(Key + FlagKeys[i], flags[i] == '1');
        writeFile("fb.cal", fbBytes(0, 5000));
        KyBaseUtil::setProjectValue(Key + "fbName", "fb.cal");
        QDialog &dialog = *openDialog(CrossPlot());
        QStringList seen;
        for (const QString &flag : FlagKeys)
            if (dialog.findChild<QRadioButton *>(flag)->isChecked())
                seen << flag;
        for (const QChar clicked : " " + clicks) { // first OK alone
            if (clicked != ' ')
                QTest::mouseClick(dialog.findChild<QWidget *>(FlagKeys[clicked.digitValue()]),
                                  Qt::LeftButton);
            pressOk(dialog);
            seen << "";
            for (const QString &flag : FlagKeys)
                seen.last() += KyBaseUtil::projectValue(Key + flag).toBool() ? "1" : "0";
        }
        QTEST(seen.join(' '), "expected");
    }
};

QTEST_MAIN(tst_CrossPlotDialog)
#include "tst_CrossPlotDialog.moc"
