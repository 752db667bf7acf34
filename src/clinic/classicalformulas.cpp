#include "clinic/classicalformulas.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QStringList>

namespace qh::clinic {

namespace {

const QString FieldSeparator = QStringLiteral("｜");
const QString HerbSeparator = QStringLiteral("，");

// What is wrong with a composition, "" when every item is a name, a dose above 0 and a unit.
QString compositionFault(const QString &composition)
{
    static const QRegularExpression item(QStringLiteral("^([^\\d\\s.,，、；;]+)(\\d+(?:\\.\\d{1,2})?)(克|枚)$"));
    const QStringList items = composition.split(HerbSeparator);
    for (const QString &raw : items) {
        const QString it = raw.trimmed();
        if (it.isEmpty())
            return QStringLiteral("组成中有空的一味（多写了“，”）");
        const QRegularExpressionMatch m = item.match(it);
        if (!m.hasMatch())
            return QStringLiteral("组成中的“%1”不是“药名+数量+克（或枚）”").arg(it);
        if (m.captured(2).toDouble() <= 0)
            return QStringLiteral("组成中“%1”的用量不能为 0").arg(it);
    }
    return {};
}

} // namespace

QList<ClassicalFormula> readClassicalFormulas(const QString &text, QString *error)
{
    QList<ClassicalFormula> out;
    QHash<QString, int> lineOf; // name -> line number
    const QStringList lines = text.split(u'\n');
    const auto fail = [&](int n, const QString &what) {
        if (error)
            *error = QStringLiteral("第 %1 行：%2").arg(n).arg(what);
        return QList<ClassicalFormula>();
    };
    for (int i = 0; i < lines.size(); ++i) {
        const int n = i + 1;
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        QStringList f = line.split(FieldSeparator);
        if (f.size() != 6)
            return fail(n, QStringLiteral("应有 6 项（方名｜出处｜组成｜功用｜主治｜用法），此行有 %1 项").arg(f.size()));
        for (QString &s : f)
            s = s.trimmed();
        const ClassicalFormula c{f[0], f[1], f[2], f[3], f[4], f[5]};
        if (c.name.isEmpty())
            return fail(n, QStringLiteral("未写方名"));
        if (c.source != u"伤寒论" && c.source != u"金匮要略")
            return fail(n, QStringLiteral("出处“%1”应为“伤寒论”或“金匮要略”").arg(c.source));
        if (c.composition.isEmpty())
            return fail(n, QStringLiteral("未写组成"));
        if (const QString fault = compositionFault(c.composition); !fault.isEmpty())
            return fail(n, fault);
        if (const auto it = lineOf.constFind(c.name); it != lineOf.constEnd())
            return fail(n, QStringLiteral("方名“%1”与第 %2 行重复").arg(c.name).arg(*it));
        lineOf.insert(c.name, n);
        out << c;
    }
    if (error)
        error->clear();
    return out;
}

QList<ClassicalFormula> shippedClassicalFormulas(QString *error)
{
    QFile file(QStringLiteral(":/data/classical-formulas.txt"));
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("找不到程序自带的经方数据文件。");
        return {};
    }
    QString e;
    QList<ClassicalFormula> out = readClassicalFormulas(QString::fromUtf8(file.readAll()), &e);
    if (error)
        *error = e.isEmpty() ? e : QStringLiteral("程序自带的经方数据文件有误，%1").arg(e);
    return out;
}

} // namespace qh::clinic
