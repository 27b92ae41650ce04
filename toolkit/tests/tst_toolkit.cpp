#include "numbers.h"
#include "testsupport/spoken.h"
#include "toolkit.h"

#include <QClipboard>
#include <QMenuBar>
#include <QtTest>

namespace {

// A window that counts its load and activate events.
class CountingForm : public tk::Form
{
public:
    int loads = 0, activations = 0;
    std::function<void()> onActivate;

protected:
    void formLoad() override { ++loads; }
    void formActivate() override
    {
        ++activations;
        if (onActivate)
            onActivate();
    }
};

} // namespace

class TestToolkit : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        tk::setEndHook([] {});
        tk::MsgBox::setResponder([this](const tk::MsgBox::Request &r) {
            m_messages << r.text;
            return tk::MsgBox::Yes;
        });
        m_messages.clear();
    }

    void textBoxChangeOnEveryAssignment_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("empty to empty") << ""
                                        << "";
        QTest::newRow("same text") << "12"
                                   << "12";
        QTest::newRow("emptying") << "12"
                                  << "";
        QTest::newRow("new text") << ""
                                  << "5";
        const QString longText(40000, u'7'); // past QLineEdit's default length limit
        QTest::newRow("long text") << "" << longText;
        QTest::newRow("same long text") << longText << longText;
        QTest::newRow("longer text") << longText << longText + u'8';
    }
    void textBoxChangeOnEveryAssignment()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        tk::TextBox box;
        box.setText(before);
        int changes = 0;
        QString seen;
        connect(&box, &tk::TextBox::change, [&] {
            ++changes;
            seen = box.text();
        });
        box.setText(after);
        QCOMPARE(changes, 1); // once, before the assignment returned
        QCOMPARE(seen, after);
        QCOMPARE(box.text(), after);
    }

    void textBoxTypingAndLimit()
    {
        tk::TextBox box;
        box.setTypedLimit(5);
        int changes = 0;
        connect(&box, &tk::TextBox::change, [&] { ++changes; });
        QTest::keyClicks(&box, "1234567");
        QCOMPARE(box.text(), QString("12345"));
        QCOMPARE(changes, 5);
        QVERIFY(box.userEdited());
        box.setText("100.000000000001"); // code is not limited
        QCOMPARE(box.text(), QString("100.000000000001"));
        QTest::keyClick(&box, Qt::Key_Backspace); // shortening stays possible
        QCOMPARE(box.text(), QString("100.00000000000"));
        QTest::keyClick(&box, Qt::Key_1);
        QCOMPARE(box.text(), QString("100.00000000000"));
    }

    // A paste keeps as much of its start as fits, as typing it would.
    void pasteInsertsWhatFits_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<int>("selected"); // characters selected from the cursor on
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("after");
        QTest::newRow("fits whole") << "12" << 2 << 0 << "34"
                                    << "1234";
        QTest::newRow("into empty, too long") << "" << 0 << 0 << "1234567"
                                              << "12345";
        QTest::newRow("in the middle") << "125" << 2 << 0 << "3456"
                                       << "12345";
        QTest::newRow("over a selection") << "12345" << 1 << 1 << "xyz"
                                          << "1x345";
        QTest::newRow("full: refused") << "12345" << 5 << 0 << "6"
                                       << "12345";
        QTest::newRow("longer text set by code") << "1234567" << 7 << 0 << "8"
                                                 << "1234567";
        QTest::newRow("shortens a longer text") << "1234567" << 0 << 3 << "ab"
                                                << "ab4567";
    }
    void pasteInsertsWhatFits()
    {
        QFETCH(QString, before);
        QFETCH(int, cursor);
        QFETCH(int, selected);
        QFETCH(QString, pasted);
        QFETCH(QString, after);
        tk::TextBox box;
        box.setTypedLimit(5);
        box.setText(before);
        box.setSelection(cursor, selected);
        if (selected == 0)
            box.setCursorPosition(cursor);
        int changes = 0;
        connect(&box, &tk::TextBox::change, [&] { ++changes; });
        QApplication::clipboard()->setText(pasted);
        box.paste();
        QCOMPARE(box.text(), after);
        QCOMPARE(changes, after == before ? 0 : 1);
        QCOMPARE(box.userEdited(), after != before);
    }

    void listClickOnlyForAnotherRow()
    {
        tk::ListBox list;
        list.setItems({"a", "b", "c"});
        int clicks = 0;
        connect(&list, &tk::ListBox::click, [&] { ++clicks; });
        list.setListIndex(1);
        QCOMPARE(clicks, 1);
        QCOMPARE(list.listIndex(), 1);
        list.setListIndex(1);
        QCOMPARE(clicks, 1);
        list.setListIndex(7); // a row the list does not have: no selection
        QCOMPARE(list.listIndex(), -1);
        QCOMPARE(clicks, 2);
        list.clear();
        QCOMPARE(list.count(), 0);
        QCOMPARE(clicks, 2);
    }

    void listClickPropagatesAndStops()
    {
        // Two lists that follow each other, as the main window's lists do.
        tk::ListBox a, b;
        a.setItems({"1", "-", "2", "-"});
        b.setItems({"x", "-", "y", "-"});
        int aClicks = 0, bClicks = 0;
        connect(&a, &tk::ListBox::click, [&] {
            ++aClicks;
            b.setListIndex(a.listIndex());
        });
        connect(&b, &tk::ListBox::click, [&] {
            ++bClicks;
            a.setListIndex(b.listIndex());
        });
        a.show();
        QTest::mouseClick(a.viewport(), Qt::LeftButton, {}, a.visualRect(a.model()->index(3, 0)).center());
        QCOMPARE(a.listIndex(), 3);
        QCOMPARE(b.listIndex(), 3);
        QCOMPARE(aClicks, 1);
        QCOMPARE(bClicks, 1);
    }

    void comboChooseOnly()
    {
        tk::ComboBox combo;
        combo.addItem("x");
        combo.addItem("y");
        QCOMPARE(combo.text(), QString());
        QVERIFY(!combo.isEditable());
    }

    void handlerErrorIsReportedAndProgramGoesOn()
    {
        int reached = 0;
        tk::handle(nullptr, [&] {
            ++reached;
            common::checkedMul(1e308, 3);
            ++reached;
        });
        QCOMPARE(reached, 1);
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages.first().contains(QStringLiteral(u"سرريز")));
        QVERIFY(!tk::programEnded());
    }

    void silentErrorsAreCountedNotShown()
    {
        const auto overflow = [] { common::checkedMul(1e308, 3); };
        {
            tk::SilentErrors silent;
            tk::handle(nullptr, overflow);
            tk::handle(nullptr, [] {});
            tk::handle(nullptr, overflow);
            QCOMPARE(silent.count(), 2);
        }
        QVERIFY(m_messages.isEmpty());
        tk::handle(nullptr, overflow); // reported again once the guard is gone
        QCOMPARE(m_messages.size(), 1);
    }

    void skipOnErrorIsSilent()
    {
        QVERIFY(!tk::skipOnError([] { common::strictNumber(u""); }));
        QVERIFY(tk::skipOnError([] {}));
        QVERIFY(m_messages.isEmpty());
    }

    void modalCloseActivatesOpener()
    {
        auto *main = new CountingForm;
        QVERIFY(tk::FormLoader::load(main));
        main->showModeless();
        QCOMPARE(main->activations, 1);
        tk::FormSlot<CountingForm> child;
        CountingForm *c = child.ensure();
        QCOMPARE(c->loads, 1);
        QTimer::singleShot(0, c, [c] { c->close(); });
        c->showModal(main);
        QCOMPARE(main->activations, 2);
        QTRY_VERIFY(!child.isLoaded());     // discarded on close
        QCOMPARE(child.ensure()->loads, 1); // created anew
        child.get()->close();
        delete main;
    }

    void queryCloseCanKeepTheWindowOpen()
    {
        struct Keeper : tk::Form
        {
            bool allow = false;
            bool queryClose() override { return allow; }
        };
        auto *f = new Keeper;
        tk::FormLoader::load(f);
        f->showModeless();
        QPointer<Keeper> guard(f);
        QVERIFY(!f->close());
        QVERIFY(f->isVisible());
        f->allow = true;
        QVERIFY(f->close());
        QTRY_VERIFY(guard.isNull());
    }

    void endProgramClosesEveryWindowAndStopsTheHandler()
    {
        int hooks = 0;
        tk::setEndHook([&] { ++hooks; });
        auto *main = new CountingForm;
        tk::FormLoader::load(main);
        main->showModeless();
        QPointer<CountingForm> guard(main);
        int after = 0;
        tk::handle(main, [&] {
            tk::endProgram();
            ++after;
        });
        QCOMPARE(after, 0);
        QCOMPARE(hooks, 1);
        QVERIFY(tk::programEnded());
        QTRY_VERIFY(guard.isNull());
        tk::setEndHook([] {});
    }

    void menuBarKeepsTheClientArea()
    {
        tk::Form f;
        f.setClientSize(3000, 1500);
        auto *box = new tk::TextBox(&f);
        tk::place(box, 150, 300, 900, 300);
        QMenuBar *bar = f.menuBar();
        QCOMPARE(f.menuBar(), bar);
        const int h = bar->height();
        QVERIFY(h > 0);
        QCOMPARE(f.size(), QSize(200, 100 + h));
        QCOMPARE(box->pos(), QPoint(10, 20 + h));
    }

    void captionNamesTheBox()
    {
        QWidget w;
        tk::Label label(&w, QStringLiteral(u": معارف"));
        tk::TextBox box(&w);
        tk::setCaptionFor(&label, &box);
        QCOMPARE(label.buddy(), &box);
        QCOMPARE(box.accessibleName(), QStringLiteral(u"معارف"));
    }

    // A value label is read as its caption's words and its value.
    void valueLabelIsReadWithItsCaption_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("spoken");
        QTest::newRow("colon after") << u"تعداد داوطلبان:"_qs << "16" << u"تعداد داوطلبان: 16"_qs;
        QTest::newRow("colon before")
            << u": ميانگين درصدها"_qs << "-0.0555555555555556" << u"ميانگين درصدها: -0.0555555555555556"_qs;
        QTest::newRow("empty value") << u"رتبه:"_qs << "" << u"رتبه"_qs;
        QTest::newRow("no caption") << ""
                                    << "% 93"
                                    << "% 93";
    }
    void valueLabelIsReadWithItsCaption()
    {
        QFETCH(QString, caption);
        QFETCH(QString, value);
        QFETCH(QString, spoken);
        QWidget w;
        tk::Label captionLabel(&w, caption);
        tk::Label valueLabel(&w, QStringLiteral("0"));
        if (!caption.isEmpty())
            tk::setCaptionFor(&captionLabel, &valueLabel);
        valueLabel.setCaption(value); // kept current on every change
        QCOMPARE(spokenName(&valueLabel), spoken);
        QCOMPARE(spokenName(&captionLabel), caption); // the caption keeps its own name
    }

private:
    QStringList m_messages;
};

QTEST_MAIN(TestToolkit)
#include "tst_toolkit.moc"
