#include "bidi.h"
#include "numbers.h"
#include "testsupport/spoken.h"
#include "toolkit.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScrollBar>
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

    // Rows made on demand read like rows given as texts, to code, to the
    // view and to a screen reader; only the rows asked for are made.
    void listRowsOnDemand()
    {
        tk::ListBox list;
        QList<int> made;
        list.setRows(
            100000,
            [&](int row) {
                made << row;
                return QString::number(row);
            },
            [](int row) { return row == 1 ? QStringLiteral("tip") : QString(); });
        list.resize(200, 120);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QVERIFY(made.size() < 100); // only the rows shown
        QCOMPARE(list.count(), 100000);
        QCOMPARE(list.itemText(99999), QString("99999"));
        QCOMPARE(list.itemText(100000), QString());
        QCOMPARE(list.model()->data(list.model()->index(1, 0), Qt::ToolTipRole).toString(), QString("tip"));
        QVERIFY(!list.model()->data(list.model()->index(2, 0), Qt::ToolTipRole).isValid());
        list.setListIndex(5);
        list.addItem("more"); // the rows become texts; the selection stays
        QCOMPARE(list.count(), 100001);
        QCOMPARE(list.items().last(), QString("more"));
        QCOMPARE(list.items().at(7), QString("7"));
        QCOMPARE(list.listIndex(), 5);
        list.setRows(2, [](int row) { return QString(row ? "b" : "a"); });
        QCOMPARE(list.items(), QStringList({"a", "b"}));
        QCOMPARE(list.listIndex(), -1);
    }

    // New rows as many as before (every activation after a store): kept in
    // place, the scroll position too, but what shows and what is read is the
    // new text, and nothing stays selected.
    void listRowsReplacedInPlace()
    {
        QList<int> made;
        tk::ListBox list;
        list.setRows(1000, [](int row) { return QStringLiteral("old %1").arg(row); });
        list.resize(200, 120);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        list.setListIndex(500);
        const int first = list.verticalScrollBar()->value();
        QVERIFY(first > 0);
        list.setRows(1000, [&](int row) {
            made << row;
            return QStringLiteral("new %1").arg(row);
        });
        QCOMPARE(list.listIndex(), -1);
        QVERIFY(!list.selectionModel()->hasSelection());
        QVERIFY(!list.currentIndex().isValid());
        QTRY_VERIFY(made.contains(list.indexAt(QPoint(5, 2)).row())); // redrawn from the new rows
        QCOMPARE(list.verticalScrollBar()->value(), first);
        QCOMPARE(list.itemText(500), QString("new 500"));
        QAccessibleInterface *spoken = QAccessible::queryAccessibleInterface(&list);
        QVERIFY(spoken && spoken->tableInterface());
        QAccessibleInterface *cell = spoken->tableInterface()->cellAt(500, 0);
        QVERIFY(cell);
        QCOMPARE(cell->text(QAccessible::Name), QString("new 500"));
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

    // A window designed 200 × 300 (a list in the middle, a button under
    // it) on areas of several sizes: it fits, or keeps its designed size.
    void windowFitsTheArea_data()
    {
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QSize>("size");
        QTest::newRow("large screen") << QRect(0, 0, 1920, 1080) << QSize(200, 300);
        QTest::newRow("laptop, panel at the top") << QRect(0, 40, 1366, 268) << QSize(200, 234);
        QTest::newRow("too small for the list's least") << QRect(0, 0, 800, 150) << QSize(200, 200);
    }
    void windowFitsTheArea()
    {
        QFETCH(QRect, area);
        QFETCH(QSize, size);
        tk::setAvailableArea(area);
        tk::Form f;
        f.setClientSize(3000, 4500);
        auto *list = new tk::ListBox(&f);
        tk::place(list, 150, 300, 2700, 3000);
        auto *button = new tk::Button(&f, QStringLiteral("OK"));
        tk::place(button, 150, 3750, 1200, 450);
        f.setElastic({list});
        f.show();
        tk::setAvailableArea(std::nullopt);
        QCOMPARE(f.size(), size);
        const int shrink = 300 - size.height();
        QCOMPARE(list->geometry(), QRect(10, 20, 180, 200 - shrink));
        QCOMPARE(button->geometry(), QRect(10, 250 - shrink, 80, 30));
        const QRect outer(f.pos(), f.size().grownBy(tk::frameAllowance(&f)));
        if (outer.height() <= area.height())
            QVERIFY(area.contains(outer));
        QCOMPARE(f.minimumSize() == f.maximumSize(), shrink == 0); // resizable only when smaller
        // Made larger again, every control is back where it was designed.
        if (shrink > 0) {
            f.resize(200, 300);
            QCOMPARE(button->geometry(), QRect(10, 250, 80, 30));
        }
    }

    // Enter presses the focused button or else the default one; Escape closes
    // a secondary window through its close box's question.
    void enterAndEscape_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("onButton");
        QTest::addColumn<bool>("secondary");
        QTest::addColumn<bool>("keepOpen"); // the close box's answer
        QTest::addColumn<QString>("pressed");
        QTest::addColumn<bool>("closed");
        QTest::newRow("Enter in a box") << int(Qt::Key_Return) << false << true << false << "default" << false;
        QTest::newRow("keypad Enter in a box") << int(Qt::Key_Enter) << false << false << false << "default" << false;
        QTest::newRow("Enter on a button") << int(Qt::Key_Return) << true << true << false << "other" << false;
        QTest::newRow("Escape, secondary") << int(Qt::Key_Escape) << false << true << false << "" << true;
        QTest::newRow("Escape, kept open") << int(Qt::Key_Escape) << false << true << true << "" << false;
        QTest::newRow("Escape, main window") << int(Qt::Key_Escape) << false << false << false << "" << false;
    }
    void enterAndEscape()
    {
        QFETCH(int, key);
        QFETCH(bool, onButton);
        QFETCH(bool, secondary);
        QFETCH(bool, keepOpen);
        QFETCH(QString, pressed);
        QFETCH(bool, closed);
        struct Window : tk::Form
        {
            bool keep = false;
            int asked = 0;
            bool queryClose() override
            {
                ++asked;
                return !keep;
            }
        };
        auto *f = new Window;
        f->keep = keepOpen;
        QPointer<Window> guard(f);
        auto *box = new tk::TextBox(f);
        auto *other = new tk::Button(f, QStringLiteral("other"));
        auto *byDefault = new tk::Button(f, QStringLiteral("default"));
        QString seen;
        for (tk::Button *b : {other, byDefault})
            connect(b, &tk::Button::clicked, f, [&seen, b] { seen = b->text(); });
        f->setDefaultButton(byDefault);
        f->setClosesOnEscape(secondary);
        f->show();
        QWidget *focus = onButton ? static_cast<QWidget *>(other) : box;
        focus->setFocus();
        QTest::keyClick(focus, Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        QCOMPARE(seen, pressed);
        QCOMPARE(guard.isNull() || !f->isVisible(), closed);
        if (guard) {
            QCOMPARE(f->asked, key == Qt::Key_Escape && secondary ? 1 : 0);
            f->keep = false;
            delete f;
        }
    }

    // The menu bar opens with F10; every menu and item gets a mnemonic.
    void menuBarByKeyboard()
    {
        tk::Form f;
        f.setClientSize(3000, 1500);
        auto *box = new tk::TextBox(&f);
        QMenu *file = f.menuBar()->addMenu(QStringLiteral(u"فايل"));
        file->addAction(QStringLiteral(u"خروجي اول"));
        file->addAction(QStringLiteral(u"خروجي دوم"));
        file->addSeparator();
        f.menuBar()->addMenu(QStringLiteral(u"فهرست"));
        tk::giveMnemonics(f.menuBar());
        QStringList texts;
        for (QAction *a : f.menuBar()->actions() + file->actions())
            texts << a->text();
        QCOMPARE(texts, (QStringList{u"&فايل"_qs, u"ف&هرست"_qs, u"&خروجي اول"_qs, u"خ&روجي دوم"_qs, QString()}));
        f.show();
        f.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        box->setFocus();
        QTest::keyClick(box, Qt::Key_F10);
        QCOMPARE(f.menuBar()->activeAction(), file->menuAction());
        file->close();
    }

    // Yes/No questions answer No to a careless Enter.
    void questionDefaultsToNo()
    {
        const tk::MsgBox::Responder before = tk::MsgBox::setResponder({});
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
        QTimer::singleShot(0, this, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                defaultButton = box->standardButton(box->defaultButton());
                QTest::keyClick(box, Qt::Key_Return);
            }
        });
        const tk::MsgBox::Answer answer = tk::MsgBox::show(nullptr, QStringLiteral(u"حذف"),
                                                           QStringLiteral(u"مطمئن هستيد؟"),
                                                           tk::MsgBox::Question, tk::MsgBox::YesNo);
        tk::MsgBox::setResponder(before);
        QCOMPARE(defaultButton, QMessageBox::No);
        QCOMPARE(answer, tk::MsgBox::No);
    }

    // Scrolling one list in any way brings the others to the same first row;
    // no row widens a list under a horizontal scroll bar.
    void listsScrollTogether_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("scroll bar") << "bar";
        QTest::newRow("keyboard") << "keys";
        QTest::newRow("wheel") << "wheel";
        QTest::newRow("selection from code") << "code";
    }
    void listsScrollTogether()
    {
        QFETCH(QString, how);
        QWidget w;
        QList<tk::ListBox *> lists;
        QStringList rows;
        for (int i = 0; i < 100; ++i)
            rows << QStringLiteral("row %1 ").arg(i) + (i == 3 ? QString(200, u'w') : QString());
        for (int i = 0; i < 3; ++i) {
            auto *l = new tk::ListBox(&w);
            l->setGeometry(i * 110, 0, 100, 150 + 3 * i);
            l->setItems(rows);
            lists << l;
        }
        tk::ListBox::scrollTogether(lists);
        w.resize(400, 200);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        tk::ListBox *moved = lists.at(1);
        if (how == "bar") {
            moved->verticalScrollBar()->setValue(40);
        } else if (how == "keys") {
            moved->setFocus();
            moved->setListIndex(0);
            QTest::keyClick(moved, Qt::Key_PageDown);
            QTest::keyClick(moved, Qt::Key_PageDown);
        } else if (how == "wheel") {
            const QPoint at = moved->viewport()->rect().center();
            QWheelEvent wheel(at, moved->viewport()->mapToGlobal(at), {}, QPoint(0, -120 * 5), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(moved->viewport(), &wheel);
        } else {
            moved->setListIndex(80);
        }
        const int first = moved->verticalScrollBar()->value();
        QVERIFY(first > 0);
        for (tk::ListBox *l : lists) {
            QCOMPARE(l->verticalScrollBar()->value(), first);
            QCOMPARE(l->indexAt(QPoint(5, 2)).row(), moved->indexAt(QPoint(5, 2)).row());
            QVERIFY(!l->horizontalScrollBar()->isVisible());
        }
        // The long row is cut at the list's edge; its text stays whole for a screen reader.
        QVERIFY(lists.at(0)->visualRect(lists.at(0)->model()->index(3, 0)).width() <= 100);
        QCOMPARE(lists.at(0)->model()->index(3, 0).data().toString(), rows.at(3));
    }

    // The fonts read on a second thread at start: however far a program gets
    // before it ends (a wrong option ends it before the application object),
    // the thread ends with it, and the fonts it listed are Qt's.
    void fontWarmUpEnds_data()
    {
        QTest::addColumn<int>("steps");
        QTest::newRow("ended at once") << 0;
        QTest::newRow("application made") << 1;
        QTest::newRow("configuration awaited") << 2;
    }
    void fontWarmUpEnds()
    {
        QFETCH(int, steps);
        tk::FontWarmUp fonts;
        if (steps >= 1) {
            const tk::FontWarmUp::Listing listing = fonts.applicationMade();
            if (steps >= 2)
                fonts.awaitConfiguration();
        }
        QVERIFY(QFontDatabase::families().contains(QString::fromLatin1(tk::kPersianFamily)));
    }

    // Qt's own buttons speak Persian after the start-up code, and a window
    // still lays itself out left to right. Last: it changes the application.
    void qtSpeaksPersian()
    {
        tk::setupApplication(*qApp);
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::No);
        for (QMessageBox::StandardButton b : {QMessageBox::Ok, QMessageBox::No}) {
            const QString text = box.button(b)->text().remove(u'&');
            QVERIFY2(tk::hasArabicScript(text), qPrintable(text));
        }
        QCOMPARE(QApplication::layoutDirection(), Qt::RightToLeft);
        tk::Form f;
        QCOMPARE(f.layoutDirection(), Qt::LeftToRight);
        // A left-to-right run gets a mark inside its isolate; a Persian one none.
        QCOMPARE(common::isolate("-1001"), u"\u2068\u200E-1001\u2069"_qs);
        QCOMPARE(common::isolate(u"گزارش.pdf"_qs), u"\u2068گزارش.pdf\u2069"_qs);
    }

private:
    QStringList m_messages;
};

QTEST_MAIN(TestToolkit)
#include "tst_toolkit.moc"
