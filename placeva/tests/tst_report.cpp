#include "bidi.h"
#include "core/csvexport.h"
#include "core/rankrange.h"
#include "gui/filemenu.h"
#include "gui/filetexts.h"
#include "gui/mainwindow.h"
#include "gui/passtexts.h"
#include "gui/pdfpaint.h"
#include "gui/pdfwriter.h"
#include "gui/report.h"
#include "gui/reportpreview.h"
#include "testsupport/pdftext.h"
#include "testsupport/testbank.h"
#include "toolkit.h"

#include <QAction>
#include <QGlyphRun>
#include <QPaintEngine>
#include <QPainter>
#include <QPdfWriter>
#include <QPicture>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextItem>
#include <QTextLayout>
#include <QtTest>

using namespace placeva;

namespace {

void exec(const QString &file, const QStringList &statements)
{
    QString error;
    QVERIFY2(testbank::exec(file, statements, &error), qPrintable(error));
}

using testbank::pdfPageObjects;
using testbank::pdfText;

ReportData reportOf(const QList<QStringList> &rows)
{
    ReportData data;
    data.title = QString::fromUtf16(u"گزارش داوطلبان");
    data.date = QStringLiteral("1403/01/01");
    data.factorCaption = QString::fromUtf16(u"ميزان تغييرات");
    data.factorText = QStringLiteral("1.00");
    for (int i = 1; i <= 9; ++i) // as many as the main window shows
        data.figures.append({QStringLiteral("figure %1").arg(i), QString::number(i)});
    data.headers = reportHeaders();
    data.rows = rows;
    return data;
}

} // namespace

class TestReport : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void persianDates_data();
    void persianDates();
    void pdfPages_data();
    void pdfPages();
    void pdfFailures();
    void cellTexts_data();
    void cellTexts();
    void digitsOfEveryRow();
    void fontMetOnALaterPage();
    void glyphBytesOfStringSyntax_data();
    void glyphBytesOfStringSyntax();
    void previewReadsAsPaper_data();
    void previewReadsAsPaper();
    void previewDigitsExchanged_data();
    void previewDigitsExchanged();
    void cancelledSave_data();
    void cancelledSave();
    void progressDialog();
    void pdfSaveClosesItsProgressBeforeTelling();
    void namesUnreadableReferences();
    void likelyRanges();
    void printPreviewFromTheMenu();

private:
    MainWindow *openWith(int applicants);

    std::unique_ptr<QTemporaryDir> m_dir;
    tk::FormSlot<MainWindow> m_main;
    QStringList m_messages;
};

void TestReport::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_messages.clear();
    tk::MsgBox::setResponder([this](const tk::MsgBox::Request &r) {
        m_messages << r.text;
        return tk::MsgBox::AnswerOk;
    });
    tk::setEndHook([] {});
}

void TestReport::cleanup()
{
    delete m_main.get();
    m_dir.reset();
}

// Applicants "Applicant 1" .. "Applicant n" with averages 10, 20, 30, ...
// wrapping at 100; reference points (30, 500) and (40, 100).
MainWindow *TestReport::openWith(int applicants)
{
    QStringList sql = testbank::standardTables();
    sql << QStringLiteral("INSERT INTO Formol (Avg, Rotbeh) VALUES (30, 500), (40, 100)");
    for (int i = 1; i <= applicants; ++i)
        sql << QStringLiteral("INSERT INTO Davtalab (Name, Avg) VALUES ('Applicant %1', %2)")
                   .arg(i)
                   .arg(10 + (i - 1) % 9 * 10);
    exec(m_dir->filePath(QStringLiteral("Bank.db")), sql);
    MainWindow *f = m_main.ensure(m_dir->path());
    if (f)
        f->showModeless();
    return f;
}

void TestReport::persianDates_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("persian");
    QTest::newRow("new year 1387") << QDate(2008, 3, 20) << "1387/01/01";
    QTest::newRow("last day of 1386") << QDate(2008, 3, 19) << "1386/12/29";
    QTest::newRow("mid 1387") << QDate(2008, 9, 10) << "1387/06/20";
    QTest::newRow("new year 1388") << QDate(2009, 3, 21) << "1388/01/01";
    QTest::newRow("new year 1403") << QDate(2024, 3, 20) << "1403/01/01";
    QTest::newRow("leap day 1403") << QDate(2025, 3, 20) << "1403/12/30";
}

void TestReport::persianDates()
{
    QFETCH(QDate, date);
    QFETCH(QString, persian);
    QCOMPARE(persianDate(date), persian);
}

// A known number of rows gives a known number of pages, every page with the
// table's header and its number, and the summary figures in the text.
void TestReport::pdfPages_data()
{
    QTest::addColumn<int>("applicants");
    QTest::addColumn<int>("pages");
    QTest::newRow("no applicants") << 0 << 1;
    QTest::newRow("one applicant") << 1 << 1;
    // 26 applicants fill the first page, under the heading and the figures;
    // 38 fill each page after it.
    QTest::newRow("first page full") << 26 << 1;
    QTest::newRow("one past the first page") << 27 << 2;
    QTest::newRow("second page full") << 64 << 2;
    QTest::newRow("one past the second page") << 65 << 3;
    QTest::newRow("three hundred applicants") << 300 << 9;
}

void TestReport::pdfPages()
{
    QFETCH(int, applicants);
    QFETCH(int, pages);
    MainWindow *main = openWith(applicants);
    QVERIFY(main);
    const QString pdf = m_dir->filePath(QStringLiteral("report.pdf"));
    QVERIFY(saveReportToPdf(main->workspace(), main, pdf));
    QCOMPARE(m_messages.size(), 1);
    QCOMPARE(pdfPageObjects(pdf), pages);

    const QString text = pdfText(pdf);
    if (text.isEmpty())
        QSKIP("pdftotext is not installed");
    QCOMPARE(text.count(QLatin1Char('\f')), pages);
    const QStringList pageTexts = text.split(QLatin1Char('\f'));
    for (int p = 0; p < pages; ++p) {
        const QString &page = pageTexts.at(p);
        QVERIFY2(page.contains(QString::fromUtf16(u"نام داوطلب")), qPrintable(QString::number(p + 1)));
        QString bare = page;
        bare.remove(QRegularExpression(QStringLiteral("\\s")));
        QVERIFY2(bare.contains(QString::fromUtf16(u"صفحه%1از%2").arg(p + 1).arg(pages)),
                 qPrintable(page.right(100)));
    }
    // Every applicant once in the table, and where a figure names them.
    for (int i = 1; i <= applicants; ++i) {
        const QString name = QStringLiteral("Applicant %1").arg(i);
        const auto named = std::count_if(main->lbl.begin(), main->lbl.end(),
                                         [&](const tk::Label *l) { return l->caption() == name; });
        QCOMPARE(text.count(QRegularExpression(name + QStringLiteral("\\b"))), 1 + named);
    }
    // The summary figures as the window shows them.
    for (const tk::Label *value : main->lbl) {
        if (value->caption() != QLatin1String("Label14"))
            QVERIFY2(text.contains(value->caption()), qPrintable(value->caption()));
    }
    QVERIFY(text.contains(QStringLiteral("1.00")));
    QVERIFY(text.contains(QString::fromUtf16(u"گزارش داوطلبان")));
    QVERIFY(text.contains(persianDate(QDate::currentDate())));
}

void TestReport::pdfFailures()
{
    MainWindow *main = openWith(5);
    QVERIFY(main);
    const QString path = m_dir->filePath(QStringLiteral("no/such/r.pdf"));
    QVERIFY(!saveReportToPdf(main->workspace(), main, path));
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(m_messages.at(0).contains(QDir::toNativeSeparators(path)));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{"Bank.db"});
}

// What each cell shows: numbers read left to right (the minus before the
// digits) in the right-to-left page, and a name too long for its column is cut
// short without running into the next cell.
void TestReport::cellTexts_data()
{
    QTest::addColumn<QStringList>("row");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("hidden");
    const QString band = QString::fromUtf16(u"متاسفانه..");
    QTest::newRow("negative average and rank")
        << QStringList{"Applicant 1", "-100", "-3", "", band} << QStringList{"Applicant 1", "-100", "-3"}
        << QStringList{"100-", "3-"};
    QTest::newRow("decimals") << QStringList{"Applicant 2", "-0.125", "12345", "", band}
                              << QStringList{"-0.125", "12345"} << QStringList{"0.125-"};
    QTest::newRow("negative likely range")
        << QStringList{"Applicant 3", "90", "-5", rangeText(LikelyRange{-15, 4}), band}
        << QStringList{"-15", "-5"} << QStringList{"15-"};
    const QString longName = QStringLiteral("Applicant %1 end").arg(QString(300, QLatin1Char('w')));
    QTest::newRow("name too long") << QStringList{longName, "-7.5", "42", "", band}
                                   << QStringList{"Applicant www", "-7.5", "42"}
                                   << QStringList{"end", "7.5-"};
}

void TestReport::cellTexts()
{
    QFETCH(QStringList, row);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, hidden);
    const QString pdf = m_dir->filePath(QStringLiteral("cells.pdf"));
    int pages = 0;
    QCOMPARE(saveReportPdf(reportOf({row}), pdf, &pages), QString());
    QCOMPARE(pages, 1);
    const QString text = pdfText(pdf);
    if (text.isEmpty())
        QSKIP("pdftotext is not installed");
    for (const QString &s : shown)
        QVERIFY2(text.contains(s), qPrintable(s + " in " + text));
    for (const QString &s : hidden)
        QVERIFY2(!text.contains(s), qPrintable(s + " in " + text));
}

// The print preview keeps its pages as pictures, which lay every piece of a
// line out again left to right when shown: a text replayed from a picture
// looks as it does drawn straight on paper (brackets facing the right way,
// signs and spaces on their own side).
void TestReport::previewReadsAsPaper_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("band in brackets") << bandText(Band::LocalEveningVeryGoodPrivate);
    QTest::newRow("trailing dots") << bandText(Band::Beyond);
    QTest::newRow("caption and colon") << QString::fromUtf16(u"تاريخ:");
    QTest::newRow("page foot") << QString::fromUtf16(u"صفحه 2 از 3");
    QTest::newRow("typical error") << QStringLiteral(u"(%1)").arg(typicalErrorText(57));
    QTest::newRow("likely range") << rangeText(LikelyRange{-15, 4});
    QTest::newRow("Latin name in brackets") << QString::fromUtf16(u"علي (Ali) «رضا» [2]");
}

void TestReport::previewReadsAsPaper()
{
    QFETCH(QString, text);
    QFont font(QString::fromLatin1(tk::kPersianFamily));
    font.setPixelSize(40);
    const QRectF box(0, 0, 1200, 80);
    QImage paper(box.size().toSize(), QImage::Format_RGB32);
    paper.fill(Qt::white);
    {
        QPainter painter(&paper);
        Shaper(font, &paper).draw(painter, box, text, Qt::AlignRight);
    }
    QPicture picture;
    {
        QPainter painter(&picture);
        Shaper(font, &picture).draw(painter, box, text, Qt::AlignRight);
    }
    QImage replayed(paper.size(), QImage::Format_RGB32);
    replayed.fill(Qt::white);
    {
        QPainter painter(&replayed);
        picture.play(&painter);
    }
    // A fallback font's glyph may sit a pixel or two from where it sat on
    // paper; a glyph on the wrong side or facing the wrong way is farther off.
    int inked = 0;
    int misplaced = 0;
    for (int y = 0; y < paper.height(); ++y) {
        for (int x = 0; x < paper.width(); ++x) {
            const int gray = qGray(paper.pixel(x, y));
            inked += gray < 128;
            bool near = false;
            for (int dx = -3; dx <= 3 && !near; ++dx) {
                const int nx = std::clamp(x + dx, 0, paper.width() - 1);
                near = qAbs(gray - qGray(replayed.pixel(nx, y))) < 96;
            }
            misplaced += !near;
        }
    }
    QVERIFY(inked > 0);
    QVERIFY2(misplaced * 20 < inked, qPrintable(QStringLiteral("%1 of %2").arg(misplaced).arg(inked)));
}

namespace {

// A device whose painter hands its texts over as to a print preview's
// picture: each text item as its position, characters and font.
class TextItems : public QPaintDevice
{
public:
    QPaintEngine *paintEngine() const override { return &m_engine; }
    QStringList take()
    {
        QStringList out;
        for (const RecordedItem &item : std::exchange(m_engine.items, {}))
            out.append(QStringLiteral("%1,%2 %3 %4 %5")
                           .arg(item.at.x(), 0, 'g', 17)
                           .arg(item.at.y(), 0, 'g', 17)
                           .arg(item.width, 0, 'g', 17)
                           .arg(item.font.toString(), item.text));
        return out;
    }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth: return 9000;
        case PdmHeight: return 13000;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY: return 1200;
        case PdmDepth: return 32;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(devicePixelRatioFScale());
        default: return 100;
        }
    }

private:
    mutable TextItemEngine m_engine;
};

} // namespace

// A preview draws a text that differs from one drawn before only in its
// digits from where that one's pieces went: it hands the picture what the
// text drawn first of its kind does, each digit in its own place, and no
// piece that shows nothing.
void TestReport::previewDigitsExchanged_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("width");
    QTest::addColumn<bool>("inPieces"); // else laid out whole, as before
    QTest::newRow("likely range") << rangeText(LikelyRange{-27, 8}) << rangeText(LikelyRange{-15, 4})
                                  << 3000.0 << true;
    QTest::newRow("wide range") << rangeText(LikelyRange{98765, 99999})
                                << rangeText(LikelyRange{12034, 15601}) << 3000.0 << true;
    QTest::newRow("average cut short")
        << QStringLiteral("98.7654321098765") << QStringLiteral("12.3456789012345") << 700.0 << true;
    QTest::newRow("negative average") << QStringLiteral("-9.87") << QStringLiteral("-1.05") << 3000.0 << true;
    QTest::newRow("date") << QStringLiteral("1405/09/17") << QStringLiteral("1403/01/01") << 3000.0 << true;
    QTest::newRow("page foot") << QString::fromUtf16(u"صفحه 34 از 999")
                               << QString::fromUtf16(u"صفحه 12 از 527") << 3000.0 << true;
    // A bracket on its own faces another way: the text is laid out whole.
    const auto factor = [](const char *value, int ranks) {
        return common::isolate(QString::fromLatin1(value)) + QStringLiteral("   (") + typicalErrorText(ranks)
            + QLatin1Char(')');
    };
    QTest::newRow("typical error") << factor("2.50", 93) << factor("1.00", 57) << 6000.0 << false;
}

void TestReport::previewDigitsExchanged()
{
    QFETCH(QString, before);
    QFETCH(QString, text);
    QFETCH(double, width);
    QFETCH(bool, inPieces);
    TextItems device;
    const QFont font = reportFont(10);
    const QRectF box(500, 700, width, 200);
    QPainter painter(&device);
    Shaper first(font, &device);
    first.draw(painter, box, text, Qt::AlignRight);
    const QStringList alone = device.take();
    Shaper again(font, &device);
    again.draw(painter, box, before, Qt::AlignRight);
    device.take();
    again.draw(painter, box, text, Qt::AlignRight);
    QCOMPARE(device.take(), alone);
    QVERIFY(!alone.isEmpty());
    const bool invisible = std::any_of(alone.cbegin(), alone.cend(), [](const QString &item) {
        return item.section(QLatin1Char(' '), 1, 1) == QLatin1String("0");
    });
    QCOMPARE(invisible, !inPieces);
}

// Cells that differ only in their digits are drawn from one shape with the
// digits exchanged: every row still reads back with its own digits.
void TestReport::digitsOfEveryRow()
{
    QList<QStringList> rows;
    QStringList numbers;
    const QString band = QString::fromUtf16(u"متاسفانه..");
    for (int i = 0; i < 30; ++i) {
        const int rank = 1000 + i * 311;
        const QString average = QStringLiteral("-%1.%2").arg(10 + i * 3).arg(i % 10);
        const LikelyRange range{rank - 50 - i, rank + 67 + i};
        rows.append({QStringLiteral("Applicant %1").arg(i), average, QString::number(rank), rangeText(range), band});
        numbers << average << QString::number(rank) << QString::number(range.best) << QString::number(range.worst);
    }
    const QString pdf = m_dir->filePath(QStringLiteral("digits.pdf"));
    QCOMPARE(saveReportPdf(reportOf(rows), pdf), QString());
    const QString text = pdfText(pdf);
    if (text.isEmpty())
        QSKIP("pdftotext is not installed");
    for (const QString &n : std::as_const(numbers))
        QVERIFY2(
            text.contains(QRegularExpression("(^|[^\\d.])" + QRegularExpression::escape(n) + "($|[^\\d.])")),
            qPrintable(n + " missing from:\n" + text));
}

// Pages are drawn on several threads: a font that only a later page needs
// (a name in another script) joins the file there, its glyphs and their text
// with it, and the pages around it keep theirs.
void TestReport::fontMetOnALaterPage()
{
    const QString hebrew = QString::fromUtf16(u"\u05E9\u05DC\u05D5\u05DD");
    QList<QStringList> rows;
    for (int i = 1; i <= 300; ++i) {
        const QString name = QStringLiteral("Applicant %1").arg(i);
        rows.append({i == 290 ? name + QLatin1Char(' ') + hebrew : name, QStringLiteral("50"), QString::number(i),
                     QString()});
    }
    const QString pdf = m_dir->filePath(QStringLiteral("late.pdf"));
    int pages = 0;
    QCOMPARE(saveReportPdf(reportOf(rows), pdf, &pages), QString());
    QCOMPARE(pages, 9);
    const QString text = pdfText(pdf);
    if (text.isEmpty())
        QSKIP("pdftotext is not installed");
    for (const QChar c : hebrew)
        QVERIFY2(text.contains(c), qPrintable(text.right(2000)));
    for (int i = 1; i <= 300; ++i)
        QVERIFY2(text.contains(QRegularExpression(QStringLiteral("Applicant %1\\b").arg(i))), qPrintable(QString::number(i)));
}

// A glyph whose number holds a byte that a PDF string reads as its own (a
// parenthesis, a backslash, a line end) reads back as from Qt's writer, and
// the glyph after it as well.
void TestReport::glyphBytesOfStringSyntax_data()
{
    QTest::addColumn<quint32>("glyph");
    QTest::newRow("carriage return") << quint32(0x0D);
    QTest::newRow("opening parenthesis") << quint32(0x28);
    QTest::newRow("closing parenthesis") << quint32(0x29);
    QTest::newRow("backslash") << quint32(0x5C);
}

void TestReport::glyphBytesOfStringSyntax()
{
    QFETCH(quint32, glyph);
    QTextLayout layout(QStringLiteral("77"), reportFont(10));
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    QList<QGlyphRun> runs = layout.glyphRuns();
    QCOMPARE(runs.size(), 1);
    QGlyphRun run = runs.first();
    QList<quint32> glyphs = run.glyphIndexes();
    QCOMPARE(glyphs.size(), 2);
    glyphs[0] = glyph;
    run.setGlyphIndexes(glyphs);
    const QPointF at(200, 200);

    const QString direct = m_dir->filePath(QStringLiteral("direct.pdf"));
    PdfWriter writer(reportPageLayout(), 300);
    writer.drawGlyphRun(at, run);
    QVERIFY(!writer.failed());
    QCOMPARE(writeFileWhole(direct, writer.finish()), QString());
    const QString byQt = m_dir->filePath(QStringLiteral("qt.pdf"));
    {
        QPdfWriter qt(byQt);
        qt.setResolution(300);
        qt.setPageLayout(reportPageLayout());
        QPainter painter(&qt);
        painter.drawGlyphRun(at, run);
    }
    const QString text = pdfText(direct);
    if (text.isEmpty())
        QSKIP("pdftotext is not installed");
    QVERIFY2(text.contains(QLatin1Char('7')), qPrintable(text));
    QCOMPARE(text, pdfText(byQt));
}

// A save stopped from its progress writes nothing: an old file stays as it
// was, and no new one appears.
void TestReport::cancelledSave_data()
{
    QTest::addColumn<QByteArray>("old");
    QTest::addColumn<int>("stopAfter");
    QTest::newRow("new file, stopped on the first page") << QByteArray() << 1;
    QTest::newRow("old file, stopped on the second page") << QByteArray("old report") << 2;
    QTest::newRow("new file, stopped on the last page") << QByteArray() << 9;
}

void TestReport::cancelledSave()
{
    QFETCH(QByteArray, old);
    QFETCH(int, stopAfter);
    const QString path = m_dir->filePath(QStringLiteral("report.pdf"));
    if (!old.isEmpty()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(old);
    }
    QList<QStringList> rows;
    for (int i = 1; i <= 300; ++i)
        rows.append(
            {QStringLiteral("Applicant %1").arg(i), QStringLiteral("50"), QString::number(i), QString()});
    QList<QPair<int, int>> told;
    int pages = -1;
    const QString error = saveReportPdf(reportOf(rows), path, &pages, [&](int done, int total) {
        told.append({done, total});
        return done < stopAfter;
    });
    QCOMPARE(error, QString());
    QCOMPARE(pages, 0);
    QCOMPARE(told.size(), stopAfter);
    QCOMPARE(told.last(), qMakePair(stopAfter, 9));
    QCOMPARE(QFileInfo::exists(path), !old.isEmpty());
    if (!old.isEmpty()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), old);
    }
}

// Long work shows the dialog after a moment; its cancel button stops the work,
// and the dialog goes with the function.
void TestReport::namesUnreadableReferences()
{
    MainWindow *main = openWith(2);
    QVERIFY(main);
    QVERIFY(reportDataFor(main->workspace()).note.isEmpty());
    exec(m_dir->filePath(QStringLiteral("Bank.db")),
         {QStringLiteral("INSERT INTO Formol (Avg, Rotbeh) VALUES ('x', 1)")});
    QVERIFY(main->reread());
    const ReportData data = reportDataFor(main->workspace());
    QVERIFY(!data.note.isEmpty());
    QCOMPARE(data.note, main->Label17->caption());
    const QString pdf = m_dir->filePath(QStringLiteral("note.pdf"));
    QCOMPARE(saveReportPdf(data, pdf), QString());
    const QString text = pdfText(pdf);
    if (text.isEmpty())
        QSKIP("pdftotext is not installed");
    QVERIFY2(text.contains(QStringLiteral("Formol")), qPrintable(text));
}

// The range beside each rank and the typical error beside the change factor,
// from a table whose inner points miss by 10, -5, 5, -10 and 5 when left out.
void TestReport::likelyRanges()
{
    QStringList sql = testbank::standardTables();
    sql << QStringLiteral(
        "INSERT INTO Formol (Avg, Rotbeh) VALUES (10, 900), (20, 810), (30, 700), (40, 600), "
        "(50, 490), (60, 400), (70, 300)")
        << QStringLiteral(
               "INSERT INTO Davtalab (Name, Avg) VALUES ('Applicant 1', 35), ('Applicant 2', NULL)");
    exec(m_dir->filePath(QStringLiteral("Bank.db")), sql);
    MainWindow *main = m_main.ensure(m_dir->path());
    QVERIFY(main);
    main->showModeless();
    const ReportData data = reportDataFor(main->workspace());
    QCOMPARE(data.typicalError, typicalErrorText(5));
    QCOMPARE(data.rows.value(0).value(2), QStringLiteral("650"));
    QCOMPARE(data.rows.value(0).value(3), rangeText(LikelyRange{640, 660}));
    QCOMPARE(data.rows.value(1).value(3), QString());
    const QString pdf = m_dir->filePath(QStringLiteral("ranges.pdf"));
    QCOMPARE(saveReportPdf(data, pdf), QString());
    const QString text = pdfText(pdf);
    if (text.isEmpty())
        QSKIP("pdftotext is not installed");
    for (const QString &s : {QStringLiteral("640"), QStringLiteral("660"), QStringLiteral("1.00")})
        QVERIFY2(text.contains(s), qPrintable(s + " in " + text));
}

void TestReport::progressDialog()
{
    QWidget parent;
    parent.show();
    {
        ReportProgress progress = reportProgressDialog(&parent, QStringLiteral("..."));
        QCOMPARE(parent.findChildren<QProgressDialog *>().size(), 1);
        auto *dialog = parent.findChild<QProgressDialog *>();
        QVERIFY(progress(1, 100));
        QVERIFY(!dialog->isVisible()); // quick work shows nothing
        QTest::qWait(700);
        QVERIFY(progress(2, 100));
        QTRY_VERIFY(dialog->isVisible());
        QCOMPARE(dialog->maximum(), 100);
        auto *cancel = dialog->findChild<QPushButton *>();
        QVERIFY(cancel);
        QTest::mouseClick(cancel, Qt::LeftButton);
        QVERIFY(!progress(3, 100));
    }
    QVERIFY(parent.findChildren<QProgressDialog *>().isEmpty());
}

// The whole save through the real progress box: gone before the result is
// told, so that the message's button is not dead under it.
void TestReport::pdfSaveClosesItsProgressBeforeTelling()
{
    MainWindow *main = openWith(300);
    QVERIFY(main);
    QCOMPARE(reportDataFor(main->workspace()).rows.value(1).value(1),
             QStringLiteral("20.00")); // two decimals
    int progressBoxes = -1;
    tk::MsgBox::setResponder([&](const tk::MsgBox::Request &r) {
        m_messages << r.text;
        progressBoxes = int(main->findChildren<QProgressDialog *>().size());
        return tk::MsgBox::AnswerOk;
    });
    const QString path = m_dir->filePath(QStringLiteral("saved.pdf"));
    QVERIFY(saveReportToPdf(main->workspace(), main, path));
    QCOMPARE(m_messages.size(), 1);
    QCOMPARE(progressBoxes, 0);
    QVERIFY(m_messages.at(0).contains(common::isolatedPath(path)));
    QCOMPARE(pdfPageObjects(path), 9);
}

// "Print" opens the print preview with the report's pages; the printer gets
// the same pages as the PDF.
void TestReport::printPreviewFromTheMenu()
{
    MainWindow *main = openWith(300);
    QVERIFY(main);
    int previewPages = -1;
    // Asked until the preview has its pages: on a slow machine the pages'
    // progress dialog comes first, and a single look then left the preview
    // open for good.
    QTimer look;
    QElapsedTimer waited;
    waited.start();
    connect(&look, &QTimer::timeout, this, [&] {
        auto *dialog = qobject_cast<QPrintPreviewDialog *>(QApplication::activeModalWidget());
        if (!dialog || dialog->findChild<QProgressDialog *>())
            return;
        auto *preview = dialog->findChild<QPrintPreviewWidget *>();
        if (preview && preview->pageCount() == 0 && waited.elapsed() < 60000)
            return;
        look.stop();
        if (preview)
            previewPages = preview->pageCount();
        dialog->reject();
    });
    look.start(10);
    QAction *print = main->findChild<QAction *>(QStringLiteral("printReport"));
    QVERIFY(print);
    print->trigger();
    look.stop();
    QCOMPARE(previewPages, 9);

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(m_dir->filePath(QStringLiteral("printed.pdf")));
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageMargins(QMarginsF(15, 15, 15, 12), QPageLayout::Millimeter);
    QCOMPARE(paintReport(reportDataFor(main->workspace()), &printer), 9);
    QCOMPARE(pdfPageObjects(printer.outputFileName()), 9);
}

QTEST_MAIN(TestReport)
#include "tst_report.moc"
