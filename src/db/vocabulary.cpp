#include "db/vocabulary.h"

#include <QHash>
#include <QReadWriteLock>

namespace qh::db {

namespace {

QString fieldsKey(const QString &table, const QStringList &fields)
{
    return (table + u'(' + fields.join(u',') + u')').toLower();
}

struct Known {
    QReadWriteLock lock;
    Vocabulary vocabulary;
    QHash<QString, QString> byFields; // "table(f1,f2)" -> name
    QHash<QString, QString> byStored; // stored name -> name
};

Known &known()
{
    static Known k;
    return k;
}

} // namespace

void setVocabulary(const Vocabulary &v)
{
    Known &k = known();
    QWriteLocker w(&k.lock);
    k.vocabulary = v;
    k.byFields.clear();
    k.byStored.clear();
    for (const UniqueIndex &ix : v.uniqueIndexes) {
        k.byFields.insert(fieldsKey(ix.table, ix.fields), ix.name);
        k.byStored.insert(ix.storedName.toLower(), ix.name);
    }
}

const Vocabulary &vocabulary()
{
    Known &k = known();
    QReadLocker r(&k.lock);
    return k.vocabulary;
}

QString uniqueIndexNamed(const QString &table, const QStringList &fields)
{
    Known &k = known();
    QReadLocker r(&k.lock);
    return k.byFields.value(fieldsKey(table, fields));
}

QString indexNameOfStored(const QString &stored)
{
    Known &k = known();
    QReadLocker r(&k.lock);
    return k.byStored.value(stored.toLower(), stored);
}

} // namespace qh::db
