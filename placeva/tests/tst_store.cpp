#include "bidi.h"
#include "core/passsource.h"
#include "core/store.h"
#include "testsupport/rawdb.h"
#include "testsupport/testbank.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <memory>

using namespace placeva;

Q_DECLARE_METATYPE(placeva::StoreErrorKind)

namespace {

using testbank::RawDb;

QByteArray fileHash(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

QString names(const QList<QVariantList> &rows)
{
    QStringList out;
    for (const QVariantList &row : rows) {
        QStringList cells;
        for (const QVariant &v : row)
            cells.append(v.isNull() ? QStringLiteral("NULL") : v.toString());
        out.append(cells.join(QLatin1Char(':')));
    }
    return out.join(QLatin1Char(' '));
}

// New texts use Arabic yeh and keheh only, and always name what they are about;
// a Latin name is set off, so that it keeps its own order in Persian text.
void checkMessage(const StoreError &error, const QString &mustName)
{
    QVERIFY2(error.message.contains(mustName), qPrintable(error.message));
    if (!mustName.isEmpty() && mustName.front().script() == QChar::Script_Latin)
        QVERIFY2(error.message.contains(common::isolate(mustName))
                     || error.message.contains(QChar(0x2068) + mustName + QChar(0x2069)),
                 qPrintable(error.message));
    QVERIFY(!error.message.contains(QChar(0x06CC)));
    QVERIFY(!error.message.contains(QChar(0x0643)));
}

} // namespace

class TestStore : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_folder;
    QString m_path;

    // A fresh Bank.db with both tables and the given Davtalab rows (name,
    // Avg); davtalab, when given, makes Davtalab in another shape.
    void makeBank(const QList<QPair<QString, QVariant>> &applicants = {}, const char *davtalab = nullptr)
    {
        QFile::remove(m_path);
        QString error;
        QVERIFY2(testbank::exec(m_path,
                                {davtalab ? QString::fromLatin1(davtalab) : testbank::applicantTable(),
                                 testbank::referenceTable()},
                                &error),
                 qPrintable(error));
        RawDb raw(m_path);
        for (const auto &[name, avg] : applicants)
            raw.exec(QStringLiteral("INSERT INTO Davtalab (Name, Avg) VALUES (?, ?)"), {name, avg});
    }

    std::unique_ptr<DataControl> control(const QString &table = QString::fromLatin1(kDavtalab),
                                         const QList<ColumnRef> &columns = {})
    {
        auto c = std::make_unique<DataControl>();
        c->setConnectionString(DataControl::connectionStringFor(m_folder));
        c->setCommandType(DataControl::CommandTable);
        c->setRecordSource(table);
        c->setColumns(columns);
        c->setBusyTimeout(50);
        return c;
    }

    QString davtalab()
    {
        return names(
            RawDb(m_path).rows(QStringLiteral("SELECT rowid, Name, Avg FROM Davtalab ORDER BY rowid")));
    }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_folder = m_dir.path();
        m_path = m_dir.filePath(QStringLiteral("Bank.db"));
        QFile::remove(m_path);
    }

    void connectionText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("source"); // empty: none
        QTest::newRow("Data Source=/a/Bank.db") << "Data Source=/a/Bank.db"
                                                << "/a/Bank.db";
        QTest::newRow("Jet shape")
            << "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\x\\Bank.mdb;Persist Security Info=False"
            << "C:\\x\\Bank.mdb";
        QTest::newRow("lower case, blanks") << "  data   source =  /x/Bank.db ;"
                                            << "/x/Bank.db";
        QTest::newRow("quoted with ; and doubled quote") << "Data Source=\"/a;b/x\"\"y/Bank.db\";Mode=1"
                                                         << "/a;b/x\"y/Bank.db";
        QTest::newRow("single quotes") << "Data Source='/a b/Bank.db'"
                                       << "/a b/Bank.db";
        QTest::newRow("no Data Source") << "Provider=Microsoft.Jet.OLEDB.4.0"
                                        << "";
        QTest::newRow("empty Data Source") << "Data Source=;"
                                           << "";
    }
    void connectionText()
    {
        QFETCH(QString, text);
        QFETCH(QString, source);
        QCOMPARE(DataControl::dataSource(text).value_or(QString()), source);
    }

    // The folder's path goes into a connection text and then into an SQLite
    // URI: any character a folder name may hold must survive both.
    void opensInAnyFolder_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("plain") << "plain";
        QTest::newRow("semi;colon") << "semi;colon";
        QTest::newRow("quote\"inside") << "quote\"inside";
        QTest::newRow("داوطلب") << QStringLiteral("داوطلب");
        QTest::newRow("blank # ? %20") << "blank # ? %20";
        QTest::newRow("trailing blank ") << "trailing blank ";
    }
    void opensInAnyFolder()
    {
        QFETCH(QString, folder);
        m_folder = m_dir.filePath(folder);
        QVERIFY(QDir().mkpath(m_folder));
        m_path = QDir(m_folder).filePath(QStringLiteral("Bank.db"));
        makeBank({{"a", 1}});
        QCOMPARE(DataControl::dataSource(DataControl::connectionStringFor(m_folder)).value_or(QString()),
                 m_path);
        auto c = control();
        const MaybeError error = c->refresh();
        QVERIFY2(!error, error ? qPrintable(error->message) : "");
        QCOMPARE(c->recordset()->recordCount(), 1);
        QCOMPARE(c->recordset()->filePath(), m_path);
    }

    void openFailures_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QList<ColumnRef>>("columns");
        QTest::addColumn<StoreErrorKind>("kind");
        QTest::addColumn<QString>("named");
        const QString davtalab = QString::fromLatin1(kDavtalab);
        QTest::newRow("missing file")
            << "none" << davtalab << QList<ColumnRef>{} << StoreErrorKind::MissingFile << "";
        QTest::newRow("directory") << "dir" << davtalab << QList<ColumnRef>{} << StoreErrorKind::MissingFile
                                   << "";
        QTest::newRow("text file") << "text" << davtalab << QList<ColumnRef>{} << StoreErrorKind::NotDatabase
                                   << "";
        QTest::newRow("empty file") << "empty" << davtalab << QList<ColumnRef>{}
                                    << StoreErrorKind::MissingTable << davtalab;
        QTest::newRow("missing table")
            << "formol only" << davtalab << QList<ColumnRef>{} << StoreErrorKind::MissingTable << davtalab;
        QTest::newRow("locked by another connection")
            << "locked" << davtalab << QList<ColumnRef>{} << StoreErrorKind::Locked << "";
        QTest::newRow("missing column Rotbeh") << "bank" << davtalab << QList<ColumnRef>{0, "Avg", "Rotbeh"}
                                               << StoreErrorKind::MissingColumn << "Rotbeh";
        QTest::newRow("missing column 12")
            << "bank" << davtalab << QList<ColumnRef>{12} << StoreErrorKind::MissingColumn << "12";
        QTest::newRow("WITHOUT ROWID") << "without rowid" << davtalab << QList<ColumnRef>{}
                                       << StoreErrorKind::NoRowIds << "WITHOUT ROWID";
    }
    void openFailures()
    {
        QFETCH(QString, setup);
        QFETCH(QString, table);
        QFETCH(QList<ColumnRef>, columns);
        QFETCH(StoreErrorKind, kind);
        QFETCH(QString, named);
        QDir(m_path).removeRecursively();
        if (setup == QLatin1String("dir")) {
            QVERIFY(QDir().mkpath(m_path));
        } else if (setup == QLatin1String("text") || setup == QLatin1String("empty")) {
            QFile f(m_path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            if (setup == QLatin1String("text"))
                f.write(QByteArray("Name,Avg\n").repeated(500));
        } else if (setup == QLatin1String("formol only")) {
            RawDb(m_path).exec(testbank::referenceTable());
        } else if (setup == QLatin1String("bank") || setup == QLatin1String("locked")) {
            makeBank();
        } else if (setup == QLatin1String("without rowid")) {
            makeBank({}, "CREATE TABLE Davtalab (Name TEXT PRIMARY KEY, Avg REAL) WITHOUT ROWID");
        }
        std::unique_ptr<RawDb> holder;
        if (setup == QLatin1String("locked")) {
            holder = std::make_unique<RawDb>(m_path);
            QVERIFY(holder->exec(QStringLiteral("BEGIN EXCLUSIVE")));
        }
        const QStringList before =
            QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        const QByteArray hash = fileHash(m_path);

        auto c = control(table, columns);
        const MaybeError error = c->refresh();
        QVERIFY(error);
        QCOMPARE(error->kind, kind);
        checkMessage(*error, QDir::toNativeSeparators(m_path));
        checkMessage(*error, named);
        QVERIFY(!c->recordset()->isOpen());
        // Nothing created or changed: no file, no journal, same bytes.
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 before);
        QCOMPARE(fileHash(m_path), hash);
    }

    void badControlSettings_data()
    {
        QTest::addColumn<QString>("connection");
        QTest::addColumn<int>("commandType");
        QTest::addColumn<QString>("source");
        QTest::newRow("no Data Source") << "Provider=Microsoft.Jet.OLEDB.4.0" << 2 << "Davtalab";
        QTest::newRow("command type 1") << "" << 1 << "Davtalab";
        QTest::newRow("empty record source") << "" << 2 << "";
    }
    void badControlSettings()
    {
        QFETCH(QString, connection);
        QFETCH(int, commandType);
        QFETCH(QString, source);
        makeBank();
        auto c = control(source);
        if (!connection.isEmpty())
            c->setConnectionString(connection);
        c->setCommandType(commandType);
        const MaybeError error = c->refresh();
        QVERIFY(error);
        QCOMPARE(error->kind, StoreErrorKind::BadConnection);
    }

    void closedRecordset()
    {
        DataControl c;
        Recordset *rs = c.recordset();
        QVERIFY(!rs->isOpen());
        QVERIFY(rs->isBOF() && rs->isEOF());
        QCOMPARE(rs->moveNext()->kind, StoreErrorKind::NoCurrentRecord);
        QCOMPARE(rs->addNew()->kind, StoreErrorKind::NoCurrentRecord);
    }

    void cursorEnds_data()
    {
        QTest::addColumn<int>("rows");
        QTest::newRow("empty table") << 0;
        QTest::newRow("one row") << 1;
        QTest::newRow("three rows") << 3;
    }
    void cursorEnds()
    {
        QFETCH(int, rows);
        QList<QPair<QString, QVariant>> applicants;
        for (int i = 0; i < rows; ++i)
            applicants.append({QStringLiteral("r%1").arg(i), i});
        makeBank(applicants);
        auto c = control();
        QVERIFY(!c->refresh());
        Recordset *rs = c->recordset();
        QCOMPARE(rs->recordCount(), rows);
        QCOMPARE(rs->isBOF(), rows == 0);
        QCOMPARE(rs->isEOF(), rows == 0);
        for (int i = 0; i < rows; ++i) {
            QCOMPARE(rs->absolutePosition(), i);
            QCOMPARE(rs->value(0).toString(), QStringLiteral("r%1").arg(i));
            QVERIFY(!rs->moveNext());
        }
        QVERIFY(rs->isEOF());
        QVERIFY(!rs->value(0).isValid());
        QCOMPARE(rs->moveNext()->kind, StoreErrorKind::NoCurrentRecord); // past the end
        QVERIFY(rs->isEOF());
        QVERIFY(!rs->moveLast());
        QCOMPARE(rs->absolutePosition(), rows - 1);
        for (int i = rows - 1; i >= 0; --i) {
            QCOMPARE(rs->value(QStringLiteral("avg")).toInt(), i);
            QVERIFY(!rs->movePrevious());
        }
        QVERIFY(rs->isBOF());
        QCOMPARE(rs->movePrevious()->kind, StoreErrorKind::NoCurrentRecord);
        QVERIFY(!rs->moveFirst());
        QCOMPARE(rs->absolutePosition(), rows ? 0 : -1);
        QCOMPARE(rs->update().has_value(), rows == 0); // nothing pending: only needs a row
        QCOMPARE(rs->deleteCurrent().has_value(), rows == 0);
    }

    // The main window reads column 0 by position; the windows may meet any
    // column order, extra columns and column types.
    void otherLayouts()
    {
        makeBank({},
                 "CREATE TABLE Davtalab (Esm VARCHAR(40), \"we\"\"ird\" TEXT DEFAULT 'keep', Avg TEXT,"
                 " Dini NUMERIC, rowid TEXT)");
        RawDb raw(m_path);
        raw.exec(QStringLiteral(
            "INSERT INTO Davtalab (Esm, Avg, rowid) VALUES ('a', '10', 'same'), ('b', 11, 'same')"));

        auto reader = control(QString::fromLatin1(kDavtalab), {0, "AVG"});
        QVERIFY(!reader->refresh());
        QCOMPARE(reader->recordset()->fieldCount(), 2);
        QCOMPARE(reader->recordset()->fieldName(0), QStringLiteral("Esm"));
        QCOMPARE(reader->recordset()->fieldName(1), QStringLiteral("Avg"));
        QCOMPARE(reader->recordset()->value(0).toString(), QStringLiteral("a"));

        auto c = control();
        QVERIFY(!c->refresh());
        Recordset *rs = c->recordset();
        QCOMPARE(rs->fieldCount(), 5);
        QVERIFY(!rs->moveNext());
        QVERIFY(!rs->setPendingText(QStringLiteral("Avg"), QStringLiteral("۱۲٫۵")));
        QVERIFY(!rs->update());
        QVERIFY(!rs->addNew());
        QVERIFY(!rs->setPendingText(QStringLiteral("Esm"), QStringLiteral("c")));
        QVERIFY(!rs->setPendingText(QStringLiteral("Dini"), QStringLiteral("7")));
        QVERIFY(!rs->update());
        QCOMPARE(rs->value(QStringLiteral("we\"ird")).toString(), QStringLiteral("keep"));
        // Unset columns keep what they had; the text column holds the number's text.
        QCOMPARE(
            names(raw.rows(QStringLiteral("SELECT Esm, \"we\"\"ird\", Avg, Dini, _rowid_ FROM Davtalab"))),
            QStringLiteral("a:keep:10:NULL:1 b:keep:12.5:NULL:2 c:keep:NULL:7:3"));
    }

    void writesTouchOneRow_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("expected");
        QTest::newRow("update first") << "update" << 0 << "1:x:99 2:x:10 3:x:10";
        QTest::newRow("update middle") << "update" << 1 << "1:x:10 2:x:99 3:x:10";
        QTest::newRow("update last") << "update" << 2 << "1:x:10 2:x:10 3:x:99";
        QTest::newRow("delete first") << "delete" << 0 << "2:x:10 3:x:10";
        QTest::newRow("delete middle") << "delete" << 1 << "1:x:10 3:x:10";
        QTest::newRow("delete last") << "delete" << 2 << "1:x:10 2:x:10";
    }
    void writesTouchOneRow()
    {
        QFETCH(QString, operation);
        QFETCH(int, row);
        QFETCH(QString, expected);
        makeBank({{"x", 10}, {"x", 10}, {"x", 10}}); // rows alike in every column
        auto c = control();
        QVERIFY(!c->refresh());
        Recordset *rs = c->recordset();
        for (int i = 0; i < row; ++i)
            QVERIFY(!rs->moveNext());
        if (operation == QLatin1String("update")) {
            QVERIFY(!rs->setPendingText(QStringLiteral("Avg"), QStringLiteral("99")));
            QVERIFY(!rs->update());
            QCOMPARE(rs->absolutePosition(), row);
            QCOMPARE(rs->value(QStringLiteral("Avg")).toDouble(), 99.0);
        } else {
            QVERIFY(!rs->deleteCurrent());
            QCOMPARE(rs->recordCount(), 2);
            // The cursor stands where the row stood: next reaches the row after it.
            QVERIFY(!rs->moveNext());
            QCOMPARE(rs->absolutePosition(), row < 2 ? row : -1);
            QCOMPARE(rs->isEOF(), row == 2);
        }
        QCOMPARE(davtalab(), expected);
    }

    void boxText_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("storedType"); // SQLite's typeof() in a column without affinity
        QTest::addColumn<QString>("stored");
        QTest::newRow("Avg 12") << "Avg"
                                << "12"
                                << "integer"
                                << "12";
        QTest::newRow("Avg ۱۲") << "Avg" << QStringLiteral("۱۲") << "integer"
                                << "12";
        QTest::newRow("Avg ١٢") << "Avg" << QStringLiteral("١٢") << "integer"
                                << "12";
        QTest::newRow("Avg ۱۲٫۵") << "Avg" << QStringLiteral("۱۲٫۵") << "real"
                                  << "12.5";
        QTest::newRow("Avg  -5 ") << "Avg"
                                  << " -5 "
                                  << "integer"
                                  << "-5";
        QTest::newRow("Avg 23.9777777777778") << "Avg"
                                              << "23.9777777777778"
                                              << "real"
                                              << "23.9777777777778";
        QTest::newRow("Avg empty") << "Avg"
                                   << ""
                                   << "null"
                                   << "";
        QTest::newRow("Avg blanks") << "Avg"
                                    << " \t "
                                    << "null"
                                    << "";
        QTest::newRow("Avg 12abc") << "Avg"
                                   << "12abc"
                                   << ""
                                   << "";
        QTest::newRow("Avg abc") << "Avg"
                                 << "abc"
                                 << ""
                                 << "";
        QTest::newRow("Avg 1.5.2") << "Avg"
                                   << "1.5.2"
                                   << ""
                                   << "";
        QTest::newRow("Name 12") << "Name"
                                 << "12"
                                 << "text"
                                 << "12";
        QTest::newRow("Name blank") << "Name"
                                    << " "
                                    << "text"
                                    << " ";
        QTest::newRow("Name O'Brien") << "Name"
                                      << "O'Brien"
                                      << "text"
                                      << "O'Brien";
        QTest::newRow("Name a\"b") << "Name"
                                   << "a\"b"
                                   << "text"
                                   << "a\"b";
        QTest::newRow("Name x'); DROP TABLE Davtalab; --") << "Name"
                                                           << "x'); DROP TABLE Davtalab; --"
                                                           << "text"
                                                           << "x'); DROP TABLE Davtalab; --";
        QTest::newRow("Name علي") << "Name" << QStringLiteral("علي") << "text" << QStringLiteral("علي");
    }
    void boxText()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QString, storedType);
        QFETCH(QString, stored);
        makeBank({}, "CREATE TABLE Davtalab (Name, Avg)");
        auto c = control();
        QVERIFY(!c->refresh());
        Recordset *rs = c->recordset();
        QVERIFY(!rs->addNew());
        const MaybeError error = rs->setPendingText(field, text);
        if (storedType.isEmpty()) {
            QVERIFY(error);
            QCOMPARE(error->kind, StoreErrorKind::Refused);
            checkMessage(*error, field);
            checkMessage(*error, text);
            QVERIFY(!rs->isDirty());
            return;
        }
        QVERIFY(!error);
        QVERIFY(!rs->update());
        QCOMPARE(names(RawDb(m_path).rows(QStringLiteral("SELECT typeof(%1), %1 FROM Davtalab").arg(field))),
                 storedType + QLatin1Char(':')
                     + (storedType == QLatin1String("null") ? QStringLiteral("NULL") : stored));
        QCOMPARE(textForBox(rs->value(field)), stored);
    }

    void addNewAndCancel()
    {
        makeBank({{"a", 1}, {"b", 2}});
        auto c = control();
        QVERIFY(!c->refresh());
        Recordset *rs = c->recordset();
        QVERIFY(!rs->moveNext());
        const QByteArray hash = fileHash(m_path);

        QVERIFY(!rs->addNew());
        QVERIFY(rs->isNew() && !rs->isDirty());
        QVERIFY(!rs->isBOF() && !rs->isEOF());
        QVERIFY(rs->value(QStringLiteral("Name")).isNull());
        QVERIFY(!rs->setPendingText(QStringLiteral("Name"), QStringLiteral("c")));
        rs->cancel();
        QVERIFY(!rs->isPending());
        QCOMPARE(rs->absolutePosition(), 1); // back where it started
        QCOMPARE(rs->recordCount(), 2);

        QVERIFY(!rs->setPendingText(QStringLiteral("Name"), QStringLiteral("edited")));
        QVERIFY(rs->isPending() && !rs->isNew());
        QCOMPARE(rs->value(0).toString(), QStringLiteral("edited"));
        QCOMPARE(rs->storedValue(0).toString(), QStringLiteral("b"));
        rs->cancel();
        QCOMPARE(rs->value(0).toString(), QStringLiteral("b"));
        QCOMPARE(fileHash(m_path), hash);

        QVERIFY(!rs->addNew());
        QVERIFY(!rs->setPendingText(QStringLiteral("Name"), QStringLiteral("c")));
        QVERIFY(!rs->update());
        QCOMPARE(rs->recordCount(), 3);
        QCOMPARE(rs->absolutePosition(), 2);
        QCOMPARE(rs->rowId(), qint64(3));
        QCOMPARE(davtalab(), QStringLiteral("1:a:1 2:b:2 3:c:NULL"));
    }

    // Moving (or starting a new row) stores a pending row first; a new row on
    // which nothing was set is dropped instead.
    void movingStoresPendingRow_data()
    {
        QTest::addColumn<QString>("pending");
        QTest::addColumn<QString>("move");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("expected");
        QTest::newRow("edit, moveNext") << "edit"
                                        << "moveNext" << 2 << "1:a:1 2:z:2 3:c:3";
        QTest::newRow("edit, movePrevious") << "edit"
                                            << "movePrevious" << 0 << "1:a:1 2:z:2 3:c:3";
        QTest::newRow("edit, moveFirst") << "edit"
                                         << "moveFirst" << 0 << "1:a:1 2:z:2 3:c:3";
        QTest::newRow("edit, addNew") << "edit"
                                      << "addNew" << -1 << "1:a:1 2:z:2 3:c:3";
        QTest::newRow("new, moveNext") << "new"
                                       << "moveNext" << -1 << "1:a:1 2:b:2 3:c:3 4:z:NULL";
        QTest::newRow("new, movePrevious") << "new"
                                           << "movePrevious" << 2 << "1:a:1 2:b:2 3:c:3 4:z:NULL";
        QTest::newRow("new, moveLast") << "new"
                                       << "moveLast" << 3 << "1:a:1 2:b:2 3:c:3 4:z:NULL";
        QTest::newRow("new, addNew") << "new"
                                     << "addNew" << -1 << "1:a:1 2:b:2 3:c:3 4:z:NULL";
        QTest::newRow("untouched new, moveNext") << "untouched"
                                                 << "moveNext" << 2 << "1:a:1 2:b:2 3:c:3";
        QTest::newRow("untouched new, moveFirst") << "untouched"
                                                  << "moveFirst" << 0 << "1:a:1 2:b:2 3:c:3";
    }
    void movingStoresPendingRow()
    {
        QFETCH(QString, pending);
        QFETCH(QString, move);
        QFETCH(int, position);
        QFETCH(QString, expected);
        makeBank({{"a", 1}, {"b", 2}, {"c", 3}});
        auto c = control();
        QVERIFY(!c->refresh());
        Recordset *rs = c->recordset();
        QVERIFY(!rs->moveNext());
        if (pending != QLatin1String("edit"))
            QVERIFY(!rs->addNew());
        if (pending != QLatin1String("untouched"))
            QVERIFY(!rs->setPendingText(QStringLiteral("Name"), QStringLiteral("z")));
        const auto doMove = [&] {
            if (move == QLatin1String("moveNext"))
                return rs->moveNext();
            if (move == QLatin1String("movePrevious"))
                return rs->movePrevious();
            if (move == QLatin1String("moveFirst"))
                return rs->moveFirst();
            if (move == QLatin1String("moveLast"))
                return rs->moveLast();
            return rs->addNew();
        };
        QVERIFY(!doMove());
        QCOMPARE(rs->absolutePosition(), position);
        QCOMPARE(davtalab(), expected);
    }

    // A write that fails leaves the file as it was and the row pending with
    // what was typed; once the cause is gone the same row can be stored.
    void failedWriteKeepsPendingRow_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<StoreErrorKind>("kind");
        for (const char *operation : {"insert", "update", "delete", "move"}) {
            QTest::addRow("%s, locked by another connection", operation)
                << operation << "lock" << StoreErrorKind::Locked;
            QTest::addRow("%s, trigger aborts", operation)
                << operation << "trigger" << StoreErrorKind::Failed;
        }
    }
    void failedWriteKeepsPendingRow()
    {
        QFETCH(QString, operation);
        QFETCH(QString, obstacle);
        QFETCH(StoreErrorKind, kind);
        makeBank({{"a", 1}, {"b", 2}});
        auto c = control();
        QVERIFY(!c->refresh());
        Recordset *rs = c->recordset();
        if (operation == QLatin1String("insert"))
            QVERIFY(!rs->addNew());
        if (operation != QLatin1String("delete"))
            QVERIFY(!rs->setPendingText(QStringLiteral("Avg"), QStringLiteral("۴۲")));

        const QByteArray hash = fileHash(m_path);
        auto other = std::make_unique<RawDb>(m_path);
        if (obstacle == QLatin1String("lock")) {
            QVERIFY(other->exec(QStringLiteral("BEGIN EXCLUSIVE")));
        } else {
            for (const char *event : {"INSERT", "UPDATE", "DELETE"})
                QVERIFY(other->exec(QStringLiteral("CREATE TRIGGER no_%1 BEFORE %1 ON Davtalab "
                                                   "BEGIN SELECT RAISE(ABORT, 'refused by trigger'); END")
                                        .arg(QLatin1String(event))));
        }
        const QByteArray hashWithObstacle = fileHash(m_path);

        MaybeError error;
        if (operation == QLatin1String("delete"))
            error = rs->deleteCurrent();
        else if (operation == QLatin1String("move"))
            error = rs->moveNext();
        else
            error = rs->update();
        QVERIFY(error);
        QCOMPARE(error->kind, kind);
        checkMessage(*error, QDir::toNativeSeparators(m_path));
        QCOMPARE(fileHash(m_path), hashWithObstacle);
        QCOMPARE(rs->recordCount(), 2);
        if (operation == QLatin1String("delete")) {
            QCOMPARE(rs->absolutePosition(), 0);
        } else {
            QVERIFY(rs->isPending());
            QCOMPARE(rs->isNew(), operation == QLatin1String("insert"));
            QCOMPARE(rs->value(QStringLiteral("Avg")).toInt(), 42);
            QCOMPARE(rs->absolutePosition(), operation == QLatin1String("insert") ? -1 : 0);
        }

        if (obstacle == QLatin1String("lock")) {
            QVERIFY(other->exec(QStringLiteral("ROLLBACK")));
        } else {
            for (const char *event : {"INSERT", "UPDATE", "DELETE"})
                QVERIFY(other->exec(QStringLiteral("DROP TRIGGER no_%1").arg(QLatin1String(event))));
        }
        other.reset();
        if (obstacle == QLatin1String("lock"))
            QCOMPARE(fileHash(m_path), hash);
        QVERIFY(!(operation == QLatin1String("delete") ? rs->deleteCurrent() : rs->update()));
        QCOMPARE(davtalab(),
                 operation == QLatin1String("delete")       ? QStringLiteral("2:b:2")
                     : operation == QLatin1String("insert") ? QStringLiteral("1:a:1 2:b:2 3:NULL:42")
                                                            : QStringLiteral("1:a:42 2:b:2"));
    }

    // Another program changed the row, or deleted it and reused its rowid:
    // the held row is not what the file has any more, so nothing is written.
    void rowChangedElsewhere_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::newRow("update") << "update";
        QTest::newRow("delete") << "delete";
    }
    void rowChangedElsewhere()
    {
        QFETCH(QString, operation);
        makeBank({{"a", 1}});
        auto c = control();
        QVERIFY(!c->refresh());
        Recordset *rs = c->recordset();
        RawDb(m_path).exec(QStringLiteral("DELETE FROM Davtalab"));
        RawDb(m_path).exec(QStringLiteral("INSERT INTO Davtalab (Name, Avg) VALUES ('new', 5)"));
        QCOMPARE(davtalab(), QStringLiteral("1:new:5"));
        MaybeError error;
        if (operation == QLatin1String("update")) {
            QVERIFY(!rs->setPendingText(QStringLiteral("Avg"), QStringLiteral("9")));
            error = rs->update();
        } else {
            error = rs->deleteCurrent();
        }
        QVERIFY(error);
        QCOMPARE(error->kind, StoreErrorKind::RowGone);
        QCOMPARE(davtalab(), QStringLiteral("1:new:5"));
        QVERIFY(!c->refresh());
        QCOMPARE(c->recordset()->value(0).toString(), QStringLiteral("new"));
    }

    // A row nobody touched is written and deleted whatever its cells hold as
    // the file stores them: bytes that are not UTF-8, numbers whose shortest
    // text reads back as another number. A row changed elsewhere is refused
    // by a message that says which happened.
    void unchangedAsStored_data()
    {
        QTest::addColumn<QString>("name"); // SQL
        QTest::addColumn<QString>("avg");  // SQL
        QTest::addColumn<QString>("elsewhere");
        QTest::addColumn<QString>("said"); // in the refusal
        const QString changed = QStringLiteral(u"تغيير کرده");
        const QString deleted = QStringLiteral(u"پاک شده");
        for (const char *elsewhere : {"", "changed", "deleted"}) {
            const QString said = *elsewhere == 'c' ? changed : *elsewhere == 'd' ? deleted : QString();
            QTest::addRow("Windows-1256 name %s", elsewhere) << "CAST(X'D3C7D1C7' AS TEXT)"
                                                             << "1" << elsewhere << said;
            QTest::addRow("0.1+0.2 %s", elsewhere) << "'a'"
                                                   << "0.1 + 0.2" << elsewhere << said;
            QTest::addRow("2^53+1 %s", elsewhere) << "'a'"
                                                  << "9007199254740993" << elsewhere << said;
            QTest::addRow("text in Avg %s", elsewhere) << "'a'"
                                                       << "'12.50x'" << elsewhere << said;
            QTest::addRow("blob name %s", elsewhere) << "X'00FF'"
                                                     << "NULL" << elsewhere << said;
        }
    }
    void unchangedAsStored()
    {
        QFETCH(QString, name);
        QFETCH(QString, avg);
        QFETCH(QString, elsewhere);
        QFETCH(QString, said);
        makeBank();
        QVERIFY(RawDb(m_path).exec(
            QStringLiteral("INSERT INTO Davtalab (Name, Avg) VALUES (%1, %2)").arg(name, avg)));
        const auto stored = [&] {
            return names(RawDb(m_path).rows(
                QStringLiteral("SELECT hex(Name), typeof(Avg), quote(Avg), Dini FROM Davtalab")));
        };
        const QString before = stored();
        for (const char *operation : {"update", "delete"}) {
            auto c = control();
            QVERIFY(!c->refresh());
            Recordset *rs = c->recordset();
            if (elsewhere == QLatin1String("changed"))
                QVERIFY(RawDb(m_path).exec(QStringLiteral("UPDATE Davtalab SET Dini = 3")));
            if (elsewhere == QLatin1String("deleted"))
                QVERIFY(RawDb(m_path).exec(QStringLiteral("DELETE FROM Davtalab")));
            const QString expected = stored();
            MaybeError error;
            if (*operation == 'u') {
                QVERIFY(!rs->setPendingText(QStringLiteral("Dini"), QStringLiteral("7")));
                error = rs->update();
            } else {
                error = rs->deleteCurrent();
            }
            if (!elsewhere.isEmpty()) {
                QVERIFY(error);
                QCOMPARE(error->kind, StoreErrorKind::RowGone);
                checkMessage(*error, said);
                QCOMPARE(stored(), expected);
                makeBank();
                QVERIFY(RawDb(m_path).exec(
                    QStringLiteral("INSERT INTO Davtalab (Name, Avg) VALUES (%1, %2)").arg(name, avg)));
                continue;
            }
            QVERIFY2(!error, error ? qPrintable(error->message) : "");
            if (*operation == 'u') {
                QString edited = before;
                edited.chop(4); // "NULL" Dini
                QCOMPARE(stored(), edited + QStringLiteral("7"));
            } else {
                QCOMPARE(stored(), QString());
            }
            QVERIFY(RawDb(m_path).exec(QStringLiteral("DELETE FROM Davtalab")));
            QVERIFY(RawDb(m_path).exec(
                QStringLiteral("INSERT INTO Davtalab (Name, Avg) VALUES (%1, %2)").arg(name, avg)));
        }
    }

    // The file the control opened is the file it writes: one put in its
    // place, or its removal, refuses the write and leaves every file alone.
    // One rewritten in place is read afresh, so its rows are not overwritten.
    void fileReplaced_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<StoreErrorKind>("kind");
        QTest::newRow("renamed over") << "rename" << StoreErrorKind::Replaced;
        QTest::newRow("removed") << "remove" << StoreErrorKind::Replaced;
        QTest::newRow("rewritten in place") << "rewrite" << StoreErrorKind::RowGone;
    }
    void fileReplaced()
    {
        QFETCH(QString, how);
        QFETCH(StoreErrorKind, kind);
        const QString other = m_dir.filePath(QStringLiteral("other.db"));
        QFile::remove(other);
        QVERIFY(testbank::exec(
            other,
            testbank::standardTables()
                + QStringList{QStringLiteral("INSERT INTO Davtalab (Name, Avg) VALUES ('new', 5)")}));
        makeBank({{"a", 1}});
        auto c = control();
        QVERIFY(!c->refresh());
        Recordset *rs = c->recordset();
        QVERIFY(!rs->setPendingText(QStringLiteral("Avg"), QStringLiteral("9")));
        if (how == QLatin1String("rename")) {
            QCOMPARE(std::rename(QFile::encodeName(other).constData(), QFile::encodeName(m_path).constData()),
                     0);
        } else if (how == QLatin1String("remove")) {
            QVERIFY(QFile::remove(m_path));
        } else {
            QFile from(other), to(m_path);
            QVERIFY(from.open(QIODevice::ReadOnly) && to.open(QIODevice::ReadWrite | QIODevice::Truncate));
            to.write(from.readAll());
        }
        const QByteArray hash = fileHash(m_path);
        for (int attempt = 0; attempt < 2; ++attempt) {
            const MaybeError error = attempt == 0 ? rs->update() : rs->deleteCurrent();
            QVERIFY(error);
            QCOMPARE(error->kind, kind);
            checkMessage(*error, QDir::toNativeSeparators(m_path));
            QCOMPARE(fileHash(m_path), hash);
            rs->cancel();
        }
        if (how != QLatin1String("remove"))
            QCOMPARE(davtalab(), QStringLiteral("1:new:5"));
    }

    // A disk that fills during a store: reported, nothing of it in the file,
    // the row still pending with what was set.
    void diskFull()
    {
        makeBank({{"a", 1}});
        auto c = control();
        QVERIFY(!c->refresh());
        {
            QSqlQuery q(QSqlDatabase::database(testbank::newestStoreConnection(), false));
            QVERIFY(q.exec(QStringLiteral("PRAGMA page_count")) && q.next());
            QVERIFY(
                testbank::execOnStore(QStringLiteral("PRAGMA max_page_count = %1").arg(q.value(0).toInt())));
        }
        const QByteArray hash = fileHash(m_path);
        Recordset *rs = c->recordset();
        QVERIFY(!rs->addNew());
        const QString big(200000, QLatin1Char('x'));
        QVERIFY(!rs->setPendingText(QStringLiteral("Name"), big));
        const MaybeError error = rs->update();
        QVERIFY(error);
        QCOMPARE(error->kind, StoreErrorKind::DiskFull);
        checkMessage(*error, QDir::toNativeSeparators(m_path));
        QCOMPARE(fileHash(m_path), hash);
        QVERIFY(rs->isNew());
        QCOMPARE(rs->value(QStringLiteral("Name")).toString(), big);
        QCOMPARE(davtalab(), QStringLiteral("1:a:1"));
    }

    void noCurrentRecord_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::newRow("update at EOF") << "update";
        QTest::newRow("delete at EOF") << "delete";
        QTest::newRow("set value at EOF") << "set";
        QTest::newRow("delete twice") << "delete twice";
    }
    void noCurrentRecord()
    {
        QFETCH(QString, operation);
        makeBank({{"a", 1}});
        auto c = control();
        QVERIFY(!c->refresh());
        Recordset *rs = c->recordset();
        MaybeError error;
        if (operation == QLatin1String("delete twice")) {
            QVERIFY(!rs->deleteCurrent());
            error = rs->deleteCurrent();
        } else {
            QVERIFY(!rs->moveNext());
            if (operation == QLatin1String("update"))
                error = rs->update();
            else if (operation == QLatin1String("delete"))
                error = rs->deleteCurrent();
            else
                error = rs->setPendingText(QStringLiteral("Name"), QStringLiteral("x"));
        }
        QVERIFY(error);
        QCOMPARE(error->kind, StoreErrorKind::NoCurrentRecord);
        checkMessage(*error, QString::fromLatin1(kDavtalab));
        QVERIFY(!rs->isPending());
    }

    void fieldNotRead()
    {
        makeBank({{"a", 1}});
        auto c = control(QString::fromLatin1(kDavtalab), {0, "Avg"});
        QVERIFY(!c->refresh());
        const MaybeError error = c->recordset()->setPendingText(QStringLiteral("Dini"), QStringLiteral("1"));
        QVERIFY(error);
        QCOMPARE(error->kind, StoreErrorKind::MissingColumn);
        checkMessage(*error, QStringLiteral("Dini"));
    }

    void refreshSeesOtherControlsAndKeepsSnapshotOnFailure()
    {
        makeBank({{"a", 1}, {"b", 2}});
        auto main = control();
        auto entry = control();
        QVERIFY(!main->refresh());
        QVERIFY(!entry->refresh());
        QVERIFY(!main->recordset()->moveLast());
        QVERIFY(!entry->recordset()->addNew());
        QVERIFY(!entry->recordset()->setPendingText(QStringLiteral("Name"), QStringLiteral("c")));
        QVERIFY(!entry->recordset()->update());
        QVERIFY(!main->refresh());
        QCOMPARE(main->recordset()->recordCount(), 3);
        QCOMPARE(main->recordset()->absolutePosition(), 0);

        QVERIFY(QFile::rename(m_path, m_path + QStringLiteral(".away")));
        const MaybeError error = main->refresh();
        QVERIFY(error);
        QCOMPARE(error->kind, StoreErrorKind::MissingFile);
        QVERIFY(!QFile::exists(m_path));
        QCOMPARE(main->recordset()->recordCount(), 3);
        QCOMPARE(main->recordset()->value(0).toString(), QStringLiteral("a"));
    }

    // SIGKILL at any moment of a save must leave a sound file that holds every
    // row whose save had returned.
    void killMidSave()
    {
        makeBank();
        for (int round = 0; round < 4; ++round) {
            QProcess writer;
            writer.start(QStringLiteral(STORE_WRITER), {m_path});
            QVERIFY2(writer.waitForStarted(), qPrintable(writer.errorString()));
            QByteArray out;
            const int wanted = 10 + 40 * round;
            while (out.count('\n') < wanted) {
                QVERIFY2(writer.waitForReadyRead(10000), writer.readAllStandardError().constData());
                out += writer.readAllStandardOutput();
            }
            QTest::qWait(round); // kill at a different moment each round
            writer.kill();
            QVERIFY(writer.waitForFinished());
            out += writer.readAllStandardOutput();

            RawDb raw(m_path);
            QCOMPARE(raw.rows(QStringLiteral("PRAGMA integrity_check")).value(0).value(0).toString(),
                     QStringLiteral("ok"));
            QHash<qint64, QString> stored;
            for (const QVariantList &row : raw.rows(QStringLiteral("SELECT rowid, Name FROM Davtalab")))
                stored.insert(row.at(0).toLongLong(), row.at(1).toString());
            const QList<QByteArray> lines = out.left(out.lastIndexOf('\n')).split('\n');
            QVERIFY(lines.size() >= wanted);
            for (const QByteArray &line : lines) {
                const qsizetype blank = line.indexOf(' ');
                const qint64 id = line.left(blank).toLongLong();
                QCOMPARE(stored.value(id), QString::fromUtf8(line.mid(blank + 1)));
            }
        }
    }

    // 100,000 rows must load well under 150 ms.
    // The statistics' own read gives the record sets' cells exactly, in
    // their order, whatever the cells hold; a changed layout makes it
    // decline rather than read columns it did not resolve.
    void passSourceReadsAsTheRecordSets_data()
    {
        QTest::addColumn<QStringList>("setup");
        const QString formol = testbank::referenceTable();
        QTest::newRow("every kind of cell") << QStringList{
            testbank::applicantTable(), formol,
            "INSERT INTO Davtalab (Name, Avg) VALUES ('Sara', 35.5), (NULL, NULL), ('7', ' 12.5'), "
            "(X'FF41', 3), (CAST(X'C3A9FF' AS TEXT), 1), (42, 'abc'), ('', 1e308)",
            "INSERT INTO Formol (Avg, Rotbeh) VALUES (30, 500), (NULL, 'x'), (2.5e38, 1e12), "
            "('40', 100.5)"};
        QTest::newRow("a column named rowid, rows out of its order") << QStringList{
            "CREATE TABLE Davtalab (rowid TEXT, Name TEXT, Avg REAL)", formol,
            "INSERT INTO Davtalab (oid, rowid, Name, Avg) VALUES (3, 'c', 'x', 1), (1, 'a', 'y', 2), "
            "(2, 'b', 'z', 3)"};
        QTest::newRow("names in another case, an index to read by") << QStringList{
            "CREATE TABLE Davtalab (code INTEGER, AVG REAL, Name TEXT)",
            "CREATE TABLE Formol (rotbeh INTEGER, avg REAL)", "CREATE INDEX byAvg ON Davtalab (AVG, code)",
            "INSERT INTO Davtalab VALUES (9, 50, 'p'), (8, 10, 'q')",
            "INSERT INTO Formol VALUES (100, 40), (500, 30)"};
    }

    void passSourceReadsAsTheRecordSets()
    {
        QFETCH(QStringList, setup);
        QString error;
        QVERIFY2(testbank::exec(m_path, setup, &error), qPrintable(error));
        PassSource source;
        const qint64 layout = source.schemaVersion(m_path);
        auto a = control(QString::fromLatin1(kDavtalab), {ColumnRef(0), ColumnRef("Avg")});
        auto r = control(QString::fromLatin1(kFormol), {ColumnRef("Avg"), ColumnRef("Rotbeh")});
        QVERIFY(!a->refresh() && !r->refresh());
        const auto cells = [](Recordset *rs) {
            QVariantList all;
            for (rs->moveFirst(); !rs->isEOF(); rs->moveNext())
                all << rs->value(0) << rs->value(1);
            return all;
        };
        QVector<ApplicantRow> applicants;
        QVector<ReferenceRow> references;
        QVERIFY(!source.read(m_path, &applicants, &references)); // no columns resolved yet
        source.setColumns({a->recordset()->fieldName(0), a->recordset()->fieldName(1),
                           r->recordset()->fieldName(0), r->recordset()->fieldName(1), layout});
        QVERIFY(source.read(m_path, &applicants, &references));
        QVariantList read;
        for (const ApplicantRow &row : applicants)
            read << row.name << row.avg;
        const QVariantList expected = cells(a->recordset());
        QCOMPARE(read.size(), expected.size());
        for (qsizetype i = 0; i < read.size(); ++i) {
            QCOMPARE(read[i].typeId(), expected[i].typeId());
            QCOMPARE(read[i].isNull(), expected[i].isNull());
            QCOMPARE(read[i], expected[i]);
        }
        read.clear();
        for (const ReferenceRow &row : references)
            read << row.avg << row.rotbeh;
        QCOMPARE(read, cells(r->recordset()));

        QVERIFY(RawDb(m_path).exec("ALTER TABLE Davtalab ADD COLUMN later REAL"));
        QVERIFY(!source.read(m_path, &applicants, &references));
        QCOMPARE(applicants.size(), expected.size() / 2); // what it declined leaves the rows as they were
    }

    void benchmarkRefresh_data()
    {
        QTest::addColumn<QList<ColumnRef>>("columns");
        QTest::newRow("main window columns") << QList<ColumnRef>{0, "Avg"};
        QTest::newRow("all columns") << QList<ColumnRef>{};
    }
    void benchmarkRefresh()
    {
        QFETCH(QList<ColumnRef>, columns);
        makeBank();
        {
            RawDb raw(m_path);
            raw.exec(QStringLiteral("BEGIN"));
            raw.exec(QStringLiteral(
                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000) "
                "INSERT INTO Davtalab SELECT 'applicant ' || i, i % 100, 50, 40, 30, 20, 10, 33.3, -5, 12, "
                "45,"
                " (i % 1000) / 10.0 FROM n"));
            raw.exec(QStringLiteral("COMMIT"));
        }
        auto c = control(QString::fromLatin1(kDavtalab), columns);
        QBENCHMARK
        {
            QVERIFY(!c->refresh());
        }
        QCOMPARE(c->recordset()->recordCount(), 100000);
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
