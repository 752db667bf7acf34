#include "core/searchindex.h"
#include "core/searchtokenizer.h"

#include <QStringList>

namespace qh::searchindex {

QString timeNumber(const QString &x)
{
    return QStringLiteral("cast(substr(%1, 1, 4) || substr(%1, 6, 2) || substr(%1, 9, 2) || substr(%1, 12, 2) || "
                          "substr(%1, 15, 2) || substr(%1, 18, 2) as integer)")
        .arg(x);
}

QString flagsOf(const QString &p)
{
    QStringList parts;
    for (int i = 0; i < 4; ++i) {
        const QString c = p + QLatin1String(Columns[i]);
        parts << QStringLiteral("(%1 is not null) * %2").arg(c).arg(1 << i)
              << QStringLiteral("coalesce(instr(%1, '*') or instr(%1, '\"') or instr(%1, '^'), 0) * %2").arg(c).arg(1 << (4 + i));
    }
    return parts.join(QStringLiteral(" + "));
}

const std::vector<Object> &objects()
{
    static const std::vector<Object> all = [] {
        const QString columns = QStringLiteral("blcf, bzqk, blfa, zdys");
        const QString newValues = QStringLiteral("new.blcf, new.bzqk, new.blfa, new.zdys");
        const QString insertNew = QStringLiteral("insert into zdcx(docid, %1) values(new.rowid, %2); "
                                                 "insert into zdcxsj(blsj, rid, blbm, blkb, flags) values(%3, new.rowid, "
                                                 "new.blbm, new.blkb, %4); ")
                                      .arg(columns, newValues, timeNumber(QStringLiteral("new.blsj")), flagsOf(QStringLiteral("new.")));
        const QString deleteOld = QStringLiteral("delete from zdcx where docid = old.rowid; "
                                                 "delete from zdcxsj where blsj = %1 and rid = old.rowid; ")
                                      .arg(timeNumber(QStringLiteral("old.blsj")));
        return std::vector<Object>{
            {"zdcx", QStringLiteral("CREATE VIRTUAL TABLE zdcx using fts4(content=\"hzzdzl\", %1, matchinfo=fts3, tokenize=%2)")
                         .arg(columns, QLatin1String(db::SearchTokenizerName))},
            {"zdcxsj", QStringLiteral("CREATE TABLE zdcxsj(blsj integer not null, rid integer not null, blbm text not null, "
                                      "blkb text not null, flags integer not null, primary key(blsj, rid)) without rowid")},
            {"zdcx_bu", QStringLiteral("CREATE TRIGGER zdcx_bu before update on hzzdzl begin %1end").arg(deleteOld)},
            {"zdcx_bd", QStringLiteral("CREATE TRIGGER zdcx_bd before delete on hzzdzl begin %1end").arg(deleteOld)},
            {"zdcx_au", QStringLiteral("CREATE TRIGGER zdcx_au after update on hzzdzl begin %1end").arg(insertNew)},
            {"zdcx_ai", QStringLiteral("CREATE TRIGGER zdcx_ai after insert on hzzdzl begin %1end").arg(insertNew)},
        };
    }();
    return all;
}

const std::vector<Object> &earlierObjects()
{
    static const std::vector<Object> all = [] {
        const QString deleteOld = QStringLiteral("delete from zdcx where docid = old.rowid; end");
        const QString insertNew = QStringLiteral("insert into zdcx(docid, bzqk, blfa, blcf, zdys) values(new.rowid, new.bzqk, "
                                                 "new.blfa, new.blcf, new.zdys); end");
        return std::vector<Object>{
            {"zdcx", QStringLiteral("CREATE VIRTUAL TABLE zdcx using fts4(content=\"hzzdzl\", bzqk, blfa, blcf, zdys, tokenize=%1)")
                         .arg(QLatin1String(db::SearchTokenizerName))},
            {"zdcx_bu", QStringLiteral("CREATE TRIGGER zdcx_bu before update on hzzdzl begin ") + deleteOld},
            {"zdcx_bd", QStringLiteral("CREATE TRIGGER zdcx_bd before delete on hzzdzl begin ") + deleteOld},
            {"zdcx_au", QStringLiteral("CREATE TRIGGER zdcx_au after update on hzzdzl begin ") + insertNew},
            {"zdcx_ai", QStringLiteral("CREATE TRIGGER zdcx_ai after insert on hzzdzl begin ") + insertNew},
        };
    }();
    return all;
}

} // namespace qh::searchindex
