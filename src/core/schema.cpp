#include "core/schema.h"
#include "db/session.h"
#include "core/searchindex.h"
#include "core/searchtokenizer.h"
#include "db/vocabulary.h"
#include "base/textutil.h"
#include "db/dialect.h"
#include "db/durablefile.h"
#include "db/features.h"

#include <QFile>
#include <QHash>
#include <QStringList>
#include <QFileInfo>

#include <algorithm>
#include <tuple>
#include <cerrno>
#include <cstring>

namespace qh {

namespace {

using F = FieldType;

FieldDef T(const char *n, int size) { return {n, F::Text, size}; }
FieldDef I(const char *n) { return {n, F::Integer, 0}; }
FieldDef C(const char *n) { return {n, F::Currency, 0}; }
FieldDef D(const char *n) { return {n, F::Date, 0}; }
FieldDef M(const char *n) { return {n, F::Memo, 0}; }
FieldDef B(const char *n) { return {n, F::LongBinary, 0}; }

IndexDef RUC(const char *n, std::vector<const char *> f, const char *stored = nullptr)
{
    return {n, std::move(f), true, true, true, stored ? stored : n};
}

TableDef oneField(const char *table, const char *field, const char *index)
{
    return {table, {T(field, 240)}, {RUC(index, {field})}};
}

std::vector<TableDef> buildSchema()
{
    std::vector<TableDef> s;
    s.push_back(oneField("ycgy", "ycgy", "ycgyi"));
    s.push_back(oneField("yczz", "yczz", "yczzi"));
    s.push_back(oneField("fjgy", "fjgy", "fjgyi"));
    s.push_back(oneField("fjzz", "fjzz", "fjzzi"));
    s.push_back(oneField("bzzz", "bzzz", "bzzzi"));
    s.push_back(oneField("lcfj", "fjlc", "fjlci"));
    s.push_back(oneField("Cygx", "cygy", "cygxi"));
    s.push_back(oneField("Cyzz", "cyzz", "cyzzi"));
    s.push_back({"ycjg",
                 {T("ycbm", 20), T("ycmc", 100), C("ycdj"), T("jldw", 100), T("yplb", 40)},
                 {RUC("ycbmi", {"ycbm"}), RUC("ycmci", {"ycmc"})}});
    s.push_back({"xtzlqk", {T("xt001", 200), T("xt006", 20), B("xt007")}, {}});
    s.push_back({"yckpass",
                 {T("passuser", 20), T("passwods", 248), I("passpids")},
                 {RUC("passuseri", {"passuser"}), {"passwordi", {"passwods"}, true, true, false, "passwordi"}}});
    s.push_back({"zyyc",
                 {T("ycmc", 100), T("ycgj", 200), T("ycxw", 200), M("ycgy"), M("yczz"), T("ycyf", 248), M("ycyj"),
                  M("ycxd"), T("dlxm", 20)},
                 {RUC("ycmci", {"ycmc"}, "zyyc_ycmci")}});
    s.push_back({"zyfj",
                 {T("fjmc", 200), M("fjgc"), M("fjgy"), M("fjzz"), M("fjyf"), T("fjly", 248), M("fjxd"), T("dlxm", 20)},
                 {RUC("fjmci", {"fjmc"})}});
    s.push_back({"zybz",
                 {T("bzmc", 200), T("bzqk", 248), T("bzcy", 248), T("zlcs", 248), T("dlxm", 48)},
                 {RUC("zybzi", {"bzmc", "bzqk"})}});
    s.push_back({"zyzd",
                 {T("bahm", 20), T("hzmc", 6), T("hzxb", 2), I("hznl"), T("hzzy", 20), T("hztele", 50),
                  T("hzaddress", 200), D("hzdate"), T("hzzdys", 30), M("hzzz"), M("zlfa"), M("fjgc"), M("fjsy"),
                  M("fjxd"), T("xtcz", 20)},
                 {{"bahmi", {"bahm"}, true, false, true, "bahmi"}, RUC("zycfi", {"hzmc", "hzxb", "hzdate"})}});
    s.push_back({"ycjj",
                 {T("babm", 20), T("hzmc", 20), T("hzxb", 1), D("zdsj"), C("ycyj")},
                 {{"bzhmi", {"babm"}, true, false, true, "bzhmi"}, RUC("hzxmi", {"hzmc", "hzxb", "zdsj"})}});
    s.push_back({"fjcy",
                 {T("cymc", 100), M("cygc"), T("cygy", 240), M("cyzz"), M("cyyf"), M("cyxd"), T("dlxm", 100)},
                 {RUC("cymci", {"cymc"})}});
    s.push_back({"ylsy",
                 {T("symc", 100), M("syyt"), M("syjl"), M("syzy"), M("syxd"), T("dlxm", 100), T("sylb", 100)},
                 {RUC("symci", {"symc"})}});
    s.push_back({"ycyltb", {T("ycbm", 20), C("rksl"), C("rkje"), C("ycyl")}, {RUC("ycyli", {"ycbm"})}});
    s.push_back({"yccrtb",
                 {D("crsj"), T("ycbm", 50), T("ywzy", 200), T("yccd", 200), T("ycly", 200), T("ywph", 20), D("yxqx"),
                  T("blhm", 50), T("blks", 50), C("rksl"), C("rkje"), C("cksl"), C("ckje"), C("xsje"), T("jbxm", 20),
                  T("bgxm", 20)},
                 {{"ycrci", {"crsj", "ycbm", "xsje", "ckje"}, true, false, true, "ycrci"},
                  {"yccrbmi", {"ycbm", "crsj"}, false, false, false, "yccrbmi", "rksl"}}});
    s.push_back({"hzblzl",
                 {T("blbm", 20), T("blxm", 20), T("blxb", 2), I("blnl"), T("blzy", 50), T("bldw", 200), T("blhf", 10),
                  T("bldz", 200), T("blte", 100), T("mail", 200), D("blsj"), D("bljz"), M("blxd"), T("zldl", 20)},
                 {RUC("blbmi", {"blbm"})}});
    s.push_back({"hzzdzl",
                 {T("blbm", 20), T("blkb", 50), D("blsj"), T("bzxy", 50), I("bzmb"), I("bzhx"), M("bzqk"), M("blfa"),
                  M("blcf"), M("blsx"), D("fzsj"), T("zdys", 50)},
                 {RUC("zdbmi", {"blbm", "blkb", "blsj"})}});
    s.push_back({"fzzl",
                 {T("blbm", 20), T("blkb", 50), D("blsj"), D("blfz"), T("zdys", 50)},
                 {RUC("fzbmi", {"blbm", "blkb", "blsj"})}});
    return s;
}

// Indexes added after files were made without them: a file or server database of before is
// accepted without them, and every start adds those missing (addMissingIndexes).
bool addedLater(const QString &storedName)
{
    for (const char *name : {"yccrbmi"})
        if (storedName.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool isRequired(const TableDef &t, const char *field)
{
    for (const auto &ix : t.indexes)
        if (ix.required)
            for (const char *f : ix.fields)
                if (QLatin1String(f) == QLatin1String(field))
                    return true;
    return false;
}

QString tableSql(const TableDef &t, const db::Dialect &d)
{
    QStringList cols, checks;
    if (const QString key = d.rowKeyColumn(); !key.isEmpty())
        cols << key;
    for (const auto &f : t.fields) {
        const QString name = QString::fromLatin1(f.name);
        QString col = d.name(name) + u' ' + d.columnType(f.type);
        checks << d.checks(name, f.type, f.size);
        if (isRequired(t, f.name))
            col += QStringLiteral(" NOT NULL");
        cols << col;
    }
    return QStringLiteral("CREATE TABLE %1 (\n  %2").arg(d.name(QString::fromLatin1(t.name)), cols.join(QStringLiteral(",\n  ")))
        + (checks.isEmpty() ? QString() : QStringLiteral(",\n  ") + checks.join(QStringLiteral(",\n  "))) + QStringLiteral("\n)");
}

QString indexSql(const TableDef &t, const IndexDef &ix, const db::Dialect &d)
{
    QStringList f;
    for (const char *n : ix.fields)
        f << d.name(QString::fromLatin1(n)) + QStringLiteral(" ASC");
    return QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
               .arg(ix.unique ? QStringLiteral("UNIQUE ") : QString(), d.name(QString::fromLatin1(ix.storedName)),
                    d.name(QString::fromLatin1(t.name)), f.join(u", "))
        + (ix.aboveZero ? QStringLiteral(" WHERE %1 > 0").arg(d.name(QString::fromLatin1(ix.aboveZero))) : QString());
}

} // namespace

const std::vector<TableDef> &clinicSchema()
{
    static const std::vector<TableDef> schema = buildSchema();
    return schema;
}

namespace {

// What the storage layer must know of the clinic: the visit search index's tokenizer (its
// triggers tokenize whenever a visit is written, so every file connection registers it) and
// the names duplicates are reported with. Told before main() wherever these routines are linked.
db::Vocabulary clinicVocabulary()
{
    db::Vocabulary v;
    v.onFileOpen = &db::registerSearchTokenizer;
    for (const TableDef &t : clinicSchema())
        for (const IndexDef &ix : t.indexes) {
            if (!ix.unique)
                continue;
            QStringList fields;
            for (const char *f : ix.fields)
                fields << QString::fromLatin1(f);
            v.uniqueIndexes.append({QString::fromLatin1(t.name), fields, QString::fromLatin1(ix.storedName),
                                    QString::fromLatin1(ix.name)});
        }
    return v;
}

[[maybe_unused]] const bool g_vocabularyTold = [] {
    db::setVocabulary(clinicVocabulary());
    return true;
}();

} // namespace

void createSchema(db::Session &session)
{
    db::Transaction tx(session); // joins the caller's transaction when there is one
    const db::Dialect &d = db::dialectOf(session);
    for (const QString &statement : d.preamble())
        session.execScript(statement);
    for (const auto &t : clinicSchema()) {
        session.execScript(tableSql(t, d));
        for (const auto &ix : t.indexes)
            session.execScript(indexSql(t, ix, d));
    }
    tx.commit();
}

bool hasClinicSchema(db::Session &session) { return db::hasTable(session, QStringLiteral("xtzlqk")); }

int addMissingIndexes(db::Session &session)
{
    const db::Dialect &d = db::dialectOf(session);
    int made = 0;
    db::Transaction tx(session); // joins the caller's transaction when there is one
    for (const TableDef &t : clinicSchema())
        for (const IndexDef &ix : t.indexes)
            if (addedLater(QString::fromLatin1(ix.storedName))
                && !db::hasIndex(session, QString::fromLatin1(ix.storedName))) {
                session.execScript(indexSql(t, ix, d));
                ++made;
            }
    tx.commit();
    return made;
}

QString creatingPath(const QString &path) { return path + QStringLiteral(".creating"); }

namespace {

// Puts the finished database file part in the place of path (db::replaceDurably). renamed is the
// refusal of a failed rename ("... 不能改名为 '%1'：%2"). Throws DbError, also when only the
// folder's flush failed.
void replaceDatabaseFile(const QString &part, const QString &path, const QString &renamed)
{
    const db::DurableResult r = db::replaceDurably(part, path);
    const QString why = QString::fromLocal8Bit(strerror(r.error));
    switch (r.failed) {
    case db::DurableStep::None: return;
    case db::DurableStep::Rename: throw DbError(err::CannotOpen, renamed.arg(path, why));
    case db::DurableStep::CloseFile:
        throw DbError(err::DiskIo, QStringLiteral("新建的数据库文件 '%1' 不能写入磁盘。").arg(part));
    case db::DurableStep::OpenFile:
    case db::DurableStep::FlushFile:
    case db::DurableStep::FlushFolder: break;
    }
    const QString flushed = r.failed == db::DurableStep::FlushFolder ? QFileInfo(path).absolutePath() : part;
    throw DbError(r.error == ENOSPC ? err::DiskFull : err::DiskIo,
                  QStringLiteral("新建的数据库文件 '%1' 不能写入磁盘：%2").arg(flushed, why));
}

} // namespace

void removeUnfinishedCreation(const QString &path)
{
    const QString tmp = creatingPath(path);
    for (const QString &f : {tmp, tmp + QStringLiteral("-journal")}) {
        if (QFileInfo(f).isFile() && !QFile::remove(f))
            throw DbError(err::CannotOpen, QStringLiteral("上次未完成创建的临时文件 '%1' 不能删除。").arg(f));
    }
}

void CreateClinicDatabase(const QString &path, bool withStatusRow)
{
    // Built completely under a temporary name beside the final one and renamed into place only
    // when it is whole and on the disk: a stop at any moment leaves either no database file or
    // a complete one, never a half-made file that later starts take for a damaged database.
    const QString tmp = creatingPath(path);
    removeUnfinishedCreation(path);
    if (QFileInfo::exists(path))
        throw DbError(err::CannotOpen, QStringLiteral("数据库文件 '%1' 已经存在。").arg(path));
    try {
        db::Session session = db::Session::create(tmp);
        db::Transaction tx(session);
        createSchema(session);
        if (withStatusRow)
            session.exec(QStringLiteral("insert into xtzlqk(xt001, xt006, xt007) values(?, null, null)"), QStringLiteral("  "));
        tx.commit();
        session.close();
        replaceDatabaseFile(tmp, path, QStringLiteral("新建的数据库文件不能改名为 '%1'：%2"));
    } catch (...) {
        QFile::remove(tmp);
        QFile::remove(tmp + QStringLiteral("-journal"));
        throw;
    }
}

QString upgradingPath(const QString &path) { return path + QStringLiteral(".upgrading"); }

namespace {
void refuseForeignSchema(db::Session &s, const QString &path);
}

namespace {

// What must be equal between a file and its copy: the schema and each table's rows.
QStringList contentsOf(db::Session &s)
{
    QStringList out;
    QStringList tables;
    QList<db::StoredObject> objects = db::storedObjects(s);
    std::sort(objects.begin(), objects.end(), [](const db::StoredObject &a, const db::StoredObject &b) {
        return std::tie(a.type, a.name) < std::tie(b.type, b.name);
    });
    for (const db::StoredObject &o : objects) {
        out << o.type + u'|' + o.name + u'|' + o.table + u'|' + o.sql.value_or(QString());
        if (o.type == QLatin1String("table"))
            tables << o.name;
    }
    // The names come from the file's own schema, never from a user.
    for (const QString &t : tables) {
        QString quoted = t;
        quoted.replace(u'"', QStringLiteral("\"\""));
        out << t + u'=' + QString::number(s.scalarInt(QStringLiteral("select count(*) from \"%1\"").arg(quoted)));
    }
    return out;
}

void removeUpgradeLeftovers(const QString &path)
{
    const QString part = upgradingPath(path);
    for (const QString &f : {part, part + QStringLiteral("-journal")})
        if (QFileInfo::exists(f) && !QFile::remove(f))
            throw DbError(err::CannotOpen, QStringLiteral("上次未完成转换的临时文件 '%1' 不能删除。").arg(f));
}

} // namespace

bool upgradeClinicFile(const QString &path, const std::function<void(int percent)> &progress)
{
    const QString part = upgradingPath(path);
    removeUpgradeLeftovers(path);
    if (!db::hasFirstLayout(path)) // every start: the file's first bytes, no session
        return false;
    try {
        {
            db::Session old = db::Session::open(path);
            // The copy would carry every object of the file over: only the program's own.
            refuseForeignSchema(old, path);
            // The copy shows 0 to 90 %, the comparison the rest.
            std::function<void(int)> copying;
            if (progress)
                copying = [&progress](int percent) { progress(percent * 90 / 100); };
            old.copyInto(part, db::FileLayout::Pages4K, copying);
            db::Session copy = db::Session::open(part);
            if (copy.layout() != db::FileLayout::Pages4K
                || !db::integrityFaults(copy, db::IntegrityDepth::Quick).isEmpty()
                || contentsOf(copy) != contentsOf(old))
                throw DbError(err::General, QStringLiteral("数据库文件 '%1' 转换后的副本与原文件不一致，原文件没有改变。").arg(path));
            copy.close();
            old.close();
        }
        // The file was closed without a transaction open: a journal beside it now would be
        // somebody else's, and it would be played back into the copy. Leave everything.
        if (QFileInfo::exists(path + QStringLiteral("-journal")))
            throw DbError(err::Locked, QStringLiteral("数据库文件 '%1' 正在被其他程序使用，没有转换。").arg(path));
        replaceDatabaseFile(part, path, QStringLiteral("转换后的数据库文件不能改名为 '%1'：%2"));
    } catch (...) {
        QFile::remove(part);
        QFile::remove(part + QStringLiteral("-journal"));
        throw;
    }
    if (progress)
        progress(100);
    return true;
}

namespace {

// One row of the engine's schema table.
struct SchemaRow {
    QString type, name, table, sql;
    bool hasSql = false;
    bool operator==(const SchemaRow &o) const
    {
        return type == o.type && name == o.name && table == o.table && sql == o.sql && hasSql == o.hasSql;
    }
    // Names are one per kind of object whatever their letter case.
    QString key() const { return type + u'/' + name.toLower(); }
};

std::vector<SchemaRow> schemaRows(db::Session &s)
{
    std::vector<SchemaRow> rows;
    for (const db::StoredObject &o : db::storedObjects(s))
        rows.push_back({o.type, o.name, o.table, o.sql.value_or(QString()), o.sql.has_value()});
    return rows;
}

// What the engine keeps when this program builds its objects: the clinic's tables and indexes,
// and separately the search index's rows of each layout (its tables, the engine's own tables
// of the full-text table, their indexes, the triggers).
struct BuiltSchema {
    std::vector<SchemaRow> clinic;
    std::vector<std::vector<SchemaRow>> searchLayouts;
};

std::vector<SchemaRow> rowsBeyond(db::Session &s, const std::vector<SchemaRow> &base)
{
    std::vector<SchemaRow> more;
    for (const SchemaRow &r : schemaRows(s))
        if (std::find(base.begin(), base.end(), r) == base.end())
            more.push_back(r);
    return more;
}

BuiltSchema buildReference()
{
    BuiltSchema b;
    // The engine keeps a CREATE TABLE or CREATE INDEX statement that begins with its keywords
    // in capitals, one space apart, as it is given: the clinic's rows are the statements that
    // createSchema runs (building them in the engine costs 2.7 ms, ten times the rest).
    db::Session s = db::Session::scratch();
    const db::Dialect &file = db::dialectOf(s);
    for (const TableDef &t : clinicSchema()) {
        const QString table = QString::fromLatin1(t.name);
        b.clinic.push_back({QStringLiteral("table"), table, table, tableSql(t, file), true});
        for (const IndexDef &ix : t.indexes)
            b.clinic.push_back({QStringLiteral("index"), QString::fromLatin1(ix.storedName), table, indexSql(t, ix, file), true});
    }
    // The search index's rows include tables and indexes the engine makes for the full-text
    // table: they are built, over the visits' table, in an empty database.
    const auto visits = std::find_if(clinicSchema().begin(), clinicSchema().end(),
                                     [](const TableDef &t) { return QLatin1String(t.name) == QLatin1String("hzzdzl"); });
    s.exec(tableSql(*visits, file));
    const std::vector<SchemaRow> base = schemaRows(s);
    for (const auto *layout : {&searchindex::objects(), &searchindex::earlierObjects()}) {
        for (const searchindex::Object &o : *layout)
            s.exec(o.sql);
        b.searchLayouts.push_back(rowsBeyond(s, base));
        for (const char *trigger : {"zdcx_ai", "zdcx_bu", "zdcx_au", "zdcx_bd"})
            s.exec(QStringLiteral("drop trigger if exists %1").arg(QLatin1String(trigger)));
        s.exec(QStringLiteral("drop table if exists zdcx"));
        s.exec(QStringLiteral("drop table if exists zdcxsj"));
    }
    s.close();
    return b;
}

const BuiltSchema &reference()
{
    static const BuiltSchema built = buildReference();
    return built;
}

QString kindName(const QString &type)
{
    if (type == QLatin1String("table"))
        return QStringLiteral("数据表");
    if (type == QLatin1String("index"))
        return QStringLiteral("索引");
    if (type == QLatin1String("trigger"))
        return QStringLiteral("触发器");
    if (type == QLatin1String("view"))
        return QStringLiteral("视图");
    return QStringLiteral("对象（%1）").arg(type);
}

QString objectName(const SchemaRow &r)
{
    QString text = kindName(r.type) + u' ' + r.name;
    if (r.type != QLatin1String("table") && r.table.compare(r.name, Qt::CaseInsensitive) != 0)
        text += QStringLiteral("（数据表 %1）").arg(r.table);
    return text;
}

} // namespace

QStringList schemaFaults(db::Session &session)
{
    const BuiltSchema &ref = reference();
    const std::vector<SchemaRow> rows = schemaRows(session);
    const auto present = [&rows](const std::vector<SchemaRow> &wanted) {
        qsizetype n = 0;
        for (const SchemaRow &w : wanted)
            n += std::find(rows.begin(), rows.end(), w) != rows.end();
        return n;
    };
    // The search index's layout is the one most of whose rows the file holds (none when it
    // holds none of any): the file must hold exactly the clinic's rows and that layout's.
    std::vector<SchemaRow> expected = ref.clinic;
    const std::vector<SchemaRow> *layout = nullptr;
    qsizetype best = 0;
    for (const auto &l : ref.searchLayouts)
        if (const qsizetype n = present(l); n > best) {
            best = n;
            layout = &l;
        }
    if (layout)
        expected.insert(expected.end(), layout->begin(), layout->end());
    QHash<QString, const SchemaRow *> byKey, inFile;
    for (const SchemaRow &e : expected)
        byKey.insert(e.key(), &e);
    QStringList faults;
    for (const SchemaRow &r : rows) {
        inFile.insert(r.key(), &r);
        const SchemaRow *e = byKey.value(r.key());
        if (!e)
            faults << QStringLiteral("多出本系统不建立的%1").arg(objectName(r));
        else if (!(*e == r))
            faults << QStringLiteral("%1 的定义与本系统的不同").arg(objectName(r));
    }
    for (const SchemaRow &e : expected)
        if (!inFile.contains(e.key()) && !(e.type == QLatin1String("index") && addedLater(e.name)))
            faults << QStringLiteral("缺少%1").arg(objectName(e));
    return faults;
}

namespace {

void refuseForeignSchema(db::Session &s, const QString &path)
{
    const QStringList faults = schemaFaults(s);
    if (!faults.isEmpty())
        throw DbError(err::NotADatabase,
                      QStringLiteral("数据库文件 '%1' 的结构与本系统建立的不同（%2）。它可能被别的程序改动过，程序没有使用它，"
                                     "文件没有改变。请用可靠的备份文件替换它后再启动程序。")
                          .arg(path, faultSummary(faults)));
}

} // namespace

int buildSchemaReference()
{
    const BuiltSchema b = buildReference();
    qsizetype n = qsizetype(b.clinic.size());
    for (const auto &l : b.searchLayouts)
        n += qsizetype(l.size());
    return int(n);
}

void checkClinicSchema(db::Session &session, const QString &path) { refuseForeignSchema(session, path); }

void checkClinicFile(const QString &path)
{
    db::Session s = db::Session::open(path);
    refuseForeignSchema(s, path);
    s.close();
}

} // namespace qh
