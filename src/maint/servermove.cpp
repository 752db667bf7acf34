#include "maint/servermove.h"
#include "core/schema.h"
#include "maint/datacopy.h"
#include "db/features.h"

#include <QFileInfo>
#include <QHash>
#include <QTextStream>

#include <optional>

namespace qh::maint {

namespace {

using Int128 = __int128;

// In lower case: the server made its tables and fields in lower case, and the data file's
// names match whatever their case.
QString quotedName(const char *ident) { return u'"' + QString::fromLatin1(ident).toLower() + u'"'; }
QString nameOf(const char *ident) { return QString::fromLatin1(ident); }

QString fieldList(const TableDef &t)
{
    QStringList names;
    for (const FieldDef &f : t.fields)
        names << quotedName(f.name);
    return names.join(QStringLiteral(", "));
}

// The rows in their stored order (both engines keep a rowid), so the copies keep it too.
QString selectSql(const TableDef &t)
{
    return QStringLiteral("select %1 from %2 order by rowid").arg(fieldList(t), quotedName(t.name));
}

QString insertSql(const TableDef &t)
{
    QStringList marks;
    for (std::size_t i = 0; i < t.fields.size(); ++i)
        marks << QStringLiteral("?");
    return QStringLiteral("insert into %1(%2) values(%3)").arg(quotedName(t.name), fieldList(t), marks.join(QStringLiteral(", ")));
}

// Ten-thousandths as "123.4567", exact at any size.
QString unitsText(Int128 units)
{
    const bool negative = units < 0;
    unsigned __int128 u = negative ? static_cast<unsigned __int128>(-(units + 1)) + 1 : static_cast<unsigned __int128>(units);
    QString digits;
    do {
        digits.prepend(QChar(u'0' + int(u % 10)));
        u /= 10;
    } while (u);
    while (digits.size() < 5)
        digits.prepend(u'0');
    return (negative ? QStringLiteral("-") : QString()) + digits.left(digits.size() - 4) + u'.' + digits.right(4);
}

quint64 mix(quint64 h, quint64 v) { return (h ^ (v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2))) * 0x100000001b3ULL; }

// What one side holds of a table: rows, non-empty values per field, sums of the money fields,
// and the sum of every row's checksum (independent of the order the rows come in).
struct Tally {
    qint64 rows = 0;
    std::vector<qint64> nonNull;
    std::vector<Int128> sums;
    quint64 digest = 0;

    explicit Tally(const TableDef &t) : nonNull(t.fields.size(), 0), sums(t.fields.size(), 0) {}

    // Counts the current row of st; binds its values to write when given.
    void add(const TableDef &t, const db::Statement &st, db::Statement *write)
    {
        quint64 row = 0;
        for (int c = 0; c < int(t.fields.size()); ++c) {
            const int bindAt = c + 1;
            if (st.isNull(c)) {
                row = mix(row, 0x6e756c6cULL + quint64(c));
                if (write)
                    write->bind(bindAt, std::nullopt);
                continue;
            }
            ++nonNull[std::size_t(c)];
            switch (t.fields[std::size_t(c)].type) {
            case FieldType::Text:
            case FieldType::Memo:
            case FieldType::Date: { // the stored date text, exactly
                const QString v = st.text(c);
                row = mix(row, qHash(v, 0));
                if (write)
                    write->bind(bindAt, v);
                break;
            }
            case FieldType::Integer: {
                const qint64 v = st.int64(c);
                row = mix(row, quint64(v));
                if (write)
                    write->bind(bindAt, v);
                break;
            }
            case FieldType::Currency: {
                const Money v = st.money(c);
                sums[std::size_t(c)] += v.units();
                row = mix(row, quint64(v.units()));
                if (write)
                    write->bind(bindAt, v);
                break;
            }
            case FieldType::LongBinary: {
                const QByteArray v = st.blob(c);
                row = mix(row, qHash(v, 0));
                if (write)
                    write->bind(bindAt, v);
                break;
            }
            }
        }
        ++rows;
        digest += row;
    }
};

// The first difference between the two sides of table t, or nothing.
std::optional<QString> difference(const TableDef &t, const Tally &source, const Tally &target)
{
    const QString table = nameOf(t.name);
    if (source.rows != target.rows)
        return QStringLiteral("数据表 %1 的行数不同：本机 %2 行，服务器 %3 行").arg(table).arg(source.rows).arg(target.rows);
    for (std::size_t c = 0; c < t.fields.size(); ++c) {
        const QString field = nameOf(t.fields[c].name);
        if (source.nonNull[c] != target.nonNull[c])
            return QStringLiteral("数据表 %1 字段 %2 的非空值个数不同：本机 %3，服务器 %4")
                .arg(table, field)
                .arg(source.nonNull[c])
                .arg(target.nonNull[c]);
        if (source.sums[c] != target.sums[c])
            return QStringLiteral("数据表 %1 字段 %2 的合计不同：本机 %3，服务器 %4")
                .arg(table, field, unitsText(source.sums[c]), unitsText(target.sums[c]));
    }
    if (source.digest != target.digest)
        return QStringLiteral("数据表 %1 的内容校验和不同（有值在复制中改变了）").arg(table);
    return std::nullopt;
}

// Rows of every clinic table on the target; a table that cannot be read counts as missing.
struct TargetRows {
    QStringList missing;
    QStringList holding; // "hzblzl 12 行"
    bool blankStatusOnly = false; // nothing but the blank status row of a first start
};

TargetRows targetRows(db::Session &target)
{
    TargetRows r;
    qint64 others = 0;
    qint64 statusRows = 0;
    for (const TableDef &t : clinicSchema()) {
        qint64 n = 0;
        try {
            n = target.scalarInt(QStringLiteral("select count(*) from %1").arg(quotedName(t.name)));
        } catch (const DbError &) {
            r.missing << nameOf(t.name);
            continue;
        }
        if (n == 0)
            continue;
        r.holding << QStringLiteral("%1 %2 行").arg(nameOf(t.name)).arg(n);
        if (QLatin1String(t.name) == QLatin1String("xtzlqk"))
            statusRows = n;
        else
            others += n;
    }
    if (others == 0 && statusRows == 1) {
        const auto unit = target.scalarText(QStringLiteral("select xt001 from xtzlqk"));
        const qint64 filled = target.scalarInt(QStringLiteral("select count(*) from xtzlqk where xt006 is not null or xt007 is not null"));
        r.blankStatusOnly = (!unit || unit->trimmed().isEmpty()) && filled == 0;
    }
    return r;
}

QString holdsData(const TargetRows &rows)
{
    return QStringLiteral("服务器数据库中已经有诊所数据（%1），为免两个诊所的数据混在一起，不能迁移。"
                          "请在服务器上为本诊所新建一个空数据库后再迁移。")
        .arg(rows.holding.mid(0, 5).join(QStringLiteral("、")) + (rows.holding.size() > 5 ? QStringLiteral(" 等") : QString()));
}

} // namespace

MoveOutcome moveClinic(db::Session &source, db::Session &target, const MoveProgress &progress)
{
    MoveOutcome outcome;
    const std::vector<TableDef> &schema = clinicSchema();
    TargetRows before = targetRows(target);
    if (before.missing.size() == qsizetype(schema.size())) {
        createSchema(target);
        before = targetRows(target);
    }
    if (!before.missing.isEmpty()) {
        outcome.refused = QStringLiteral("服务器数据库中缺少本系统的数据表 %1，不是空数据库，也不是本系统完整的数据库，不能迁移。请管理员检查。")
                              .arg(before.missing.join(QStringLiteral("、")));
        return outcome;
    }
    if (!before.holding.isEmpty() && !before.blankStatusOnly) {
        outcome.refused = holdsData(before);
        return outcome;
    }

    // No program writes the data file while it is read: the copy is one consistent state.
    db::Transaction sourceLock(source);
    db::Transaction tx(target);
    // Looked at again inside the transaction: a workstation may have started meanwhile.
    const TargetRows now = targetRows(target);
    if (!now.missing.isEmpty())
        throw DbError(err::General, QStringLiteral("服务器数据库的数据表 %1 不能读取。").arg(now.missing.join(QStringLiteral("、"))));
    if (!now.holding.isEmpty()) {
        if (!now.blankStatusOnly) {
            outcome.refused = holdsData(now);
            return outcome; // both transactions roll back: nothing written
        }
        target.exec(QStringLiteral("delete from xtzlqk")); // the blank row of a first start; the clinic's own follows
    }
    addMissingIndexes(target); // tables a first start of an earlier version made
    for (const TableDef &t : schema) {
        Tally sent(t);
        {
            db::Statement read = source.prepare(selectSql(t));
            db::Statement write = target.prepare(insertSql(t));
            qint64 current = 0;
            try {
                while (read.next()) {
                    ++current;
                    sent.add(t, read, &write);
                    write.run();
                    write.reset();
                }
            } catch (const DbError &e) {
                throw DbError(e.number(), QStringLiteral("复制数据表 %1 的第 %2 行时失败：%3").arg(nameOf(t.name)).arg(current).arg(e.description()),
                              e.engineCode());
            }
        }
        Tally stored(t);
        {
            db::Statement back = target.prepare(selectSql(t));
            while (back.next())
                stored.add(t, back, nullptr);
        }
        if (auto diff = difference(t, sent, stored))
            throw DbError(err::General, QStringLiteral("核对未通过：%1。").arg(*diff));
        TableMoved moved;
        moved.table = nameOf(t.name);
        moved.rows = sent.rows;
        for (std::size_t c = 0; c < t.fields.size(); ++c)
            if (t.fields[c].type == FieldType::Currency)
                moved.moneySums << QStringLiteral("%1 合计 %2").arg(nameOf(t.fields[c].name), unitsText(sent.sums[c]));
        if (progress)
            progress(moved);
        outcome.tables.push_back(std::move(moved));
    }
    tx.commit();
    sourceLock.commit(); // read only: nothing to write
    return outcome;
}

int exportToServerFromCommandLine(const db::Store &store)
{
    QTextStream out(stdout), errors(stderr);
    const db::DatabaseSettings &settings = store.settings();
    if (db::hasDataFile(store)) {
        errors << QStringLiteral("设置中没有指定数据库服务器：请先在 %1 的 [database] 组中写明 engine=postgresql、host、port、"
                                 "database、user 等（见部署说明 docs/DEPLOYMENT.md），再迁移。")
                      .arg(db::DatabaseSettings::settingsFilePath())
               << Qt::endl;
        return 1;
    }
    const QString file = store.filePath();
    if (!QFileInfo(file).isFile()) {
        errors << QStringLiteral("找不到本机的诊所数据文件 %1，没有可迁移的数据。").arg(file) << Qt::endl;
        return 1;
    }
    if (auto wrong = whatIsWrong(file)) {
        errors << QStringLiteral("本机的诊所数据文件 %1 不能迁移：%2。").arg(file, *wrong) << Qt::endl;
        return 1;
    }
    out << QStringLiteral("把本机数据文件 %1 迁移到数据库服务器 %2：").arg(file, settings.display()) << Qt::endl;
    try {
        db::Session source = db::Session::open(file);
        db::Session target = db::Session::connect(settings);
        qint64 rows = 0;
        const MoveOutcome outcome = moveClinic(source, target, [&](const TableMoved &t) {
            rows += t.rows;
            out << QStringLiteral("  %1  %2 行").arg(t.table, -8).arg(t.rows, 8);
            if (!t.moneySums.isEmpty())
                out << QStringLiteral("  ") << t.moneySums.join(QStringLiteral("，"));
            out << QStringLiteral("  核对一致") << Qt::endl;
        });
        if (!outcome.refused.isEmpty()) {
            errors << outcome.refused << Qt::endl;
            return 1;
        }
        out << QStringLiteral("迁移完成：%1 个数据表共 %2 行，逐表核对行数、各字段的非空值个数、金额合计和内容校验和，两边一致。\n"
                              "本机数据文件没有改动，可作为迁移前的备份保留。")
                   .arg(outcome.tables.size())
                   .arg(rows)
            << Qt::endl;
        return 0;
    } catch (const DbError &e) {
        out.flush();
        errors << QStringLiteral("迁移没有完成，服务器上没有保留任何复制的数据（事务已回滚）：\n") << numberedReport(e) << Qt::endl;
        return 1;
    }
}

} // namespace qh::maint
