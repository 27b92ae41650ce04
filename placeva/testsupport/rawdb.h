// A connection of a test's own to a database file, beside the program's:
// sets files up, reads what reached the disk, and plays another program
// holding the file. Free of QtTest.
#pragma once

#include <QDebug>
#include <QList>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace testbank {

class RawDb
{
public:
    explicit RawDb(const QString &path) : m_name(QStringLiteral("raw-%1").arg(++s_count))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        db.open();
    }
    ~RawDb()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    RawDb(const RawDb &) = delete;
    RawDb &operator=(const RawDb &) = delete;

    // One statement, with values bound in order when there are any.
    bool exec(const QString &sql, const QVariantList &binds = {})
    {
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        bool ok;
        if (binds.isEmpty()) {
            ok = q.exec(sql);
        } else {
            q.prepare(sql);
            for (const QVariant &v : binds)
                q.addBindValue(v);
            ok = q.exec();
        }
        if (!ok)
            qWarning() << sql << q.lastError().text();
        return ok;
    }
    QList<QVariantList> rows(const QString &sql)
    {
        QList<QVariantList> out;
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        if (!q.exec(sql))
            qWarning() << sql << q.lastError().text();
        while (q.next()) {
            QVariantList row;
            for (int i = 0; i < q.record().count(); ++i)
                row.append(q.value(i));
            out.append(row);
        }
        return out;
    }
    // Every row as "value:type" cells joined by "|", rows by "\n".
    QString dump(const QString &table)
    {
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        QStringList rows;
        if (!q.exec(QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(table)))
            return q.lastError().text();
        while (q.next()) {
            QStringList cells;
            for (int i = 0; i < q.record().count(); ++i) {
                const QVariant v = q.value(i);
                cells << (v.isNull() ? QStringLiteral("NULL")
                                     : v.toString() + QLatin1Char(':') + v.typeName());
            }
            rows << cells.join(QLatin1Char('|'));
        }
        return rows.join(QLatin1Char('\n'));
    }
    int count(const QString &table)
    {
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        if (!q.exec(QStringLiteral("SELECT count(*) FROM %1").arg(table)) || !q.next())
            return -1;
        return q.value(0).toInt();
    }

private:
    static inline int s_count = 0;
    QString m_name;
};

} // namespace testbank
