#include "db/server/serversql.h"
#include "db/link.h"
#include "db/session.h"
#include "db/vocabulary.h"

#include <QRegularExpression>

namespace qh::db {

using namespace detail;

QByteArray serverSql(const QString &sql, int &params)
{
    static const QRegularExpression indexedBy(QStringLiteral(R"(\s+indexed\s+by\s+[A-Za-z_][A-Za-z0-9_]*)"),
                                              QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression crossJoinOn(
        QStringLiteral(R"(\bcross\s+join\s+([A-Za-z_][A-Za-z0-9_]*(?:\s+(?!on\b)[A-Za-z_][A-Za-z0-9_]*)?)\s+on\b)"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression ifNull(QStringLiteral(R"(\bifnull\()"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression updateOr(QStringLiteral(R"(^(\s*update)\s+or\s+(?:fail|abort|rollback)\b)"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression dateOf(QStringLiteral(R"(\bdate\(\s*([A-Za-z_][A-Za-z0-9_.]*)\s*\))"),
                                           QRegularExpression::CaseInsensitiveOption);
    QString in = sql;
    in.replace(indexedBy, QString());
    in.replace(ifNull, QStringLiteral("coalesce("));
    in.replace(updateOr, QStringLiteral("\\1"));
    in.replace(crossJoinOn, QStringLiteral("join \\1 on"));
    in.replace(dateOf, QStringLiteral("substr(\\1, 1, 10)"));

    QString out;
    out.reserve(in.size() + 16);
    params = 0;
    enum { Plain, Quote, Ident, Line, Block } state = Plain;
    for (qsizetype i = 0; i < in.size(); ++i) {
        const QChar c = in.at(i);
        const QChar n = i + 1 < in.size() ? in.at(i + 1) : QChar();
        switch (state) {
        case Plain:
            if (c == u'?') {
                out += u'$' + QString::number(++params);
                continue;
            }
            if (c == u'\'')
                state = Quote;
            else if (c == u'"')
                state = Ident;
            else if (c == u'-' && n == u'-')
                state = Line;
            else if (c == u'/' && n == u'*')
                state = Block;
            else if (c == u';') {
                const QString rest = in.mid(i + 1);
                if (!rest.trimmed().isEmpty())
                    throw twoStatements(rest);
                i = in.size();
                continue;
            }
            break;
        case Quote:
            if (c == u'\'')
                state = Plain; // '' inside a literal: leaves and enters again
            break;
        case Ident:
            if (c == u'"')
                state = Plain;
            break;
        case Line:
            if (c == u'\n')
                state = Plain;
            break;
        case Block:
            if (c == u'*' && n == u'/') {
                out += c;
                out += n;
                ++i;
                state = Plain;
                continue;
            }
            break;
        }
        out += c;
    }
    return out.toUtf8();
}

int sqlstateCode(const QByteArray &state)
{
    bool ok = false;
    const int n = state.toInt(&ok, 36);
    return ok ? n : 0;
}

DbError serverError(const QByteArray &sqlstate, const QString &constraint, const QString &column,
                    const QString &serverMessage, const QString &where)
{
    const int code = sqlstateCode(sqlstate);
    const QByteArray cls = sqlstate.left(2);
    if (sqlstate == "23505")
        return duplicateError(indexNameOfStored(constraint), code);
    if (sqlstate == "23502")
        return nullError(column, code);
    if (sqlstate == "23514")
        return checkError(constraint, serverMessage, code);
    if (sqlstate == "22P02" || sqlstate == "22007" || sqlstate == "22008" || sqlstate == "42804"
        || sqlstate == "22P03")
        return DbError(err::WrongType, QStringLiteral("数据的类型不正确：%1").arg(serverMessage), code);
    if (sqlstate == "22003")
        return DbError(err::OutOfRange, QStringLiteral("数值超出允许范围：%1").arg(serverMessage), code);
    if (sqlstate == "22001")
        return DbError(err::TooLong, QStringLiteral("字段 '%1' 太小，不能接受所要添加的数据的数量。").arg(column), code);
    if (sqlstate == "22021" || sqlstate == "54000")
        return DbError(err::NulCharacter,
                       QStringLiteral("输入的内容中含有空字符（NUL，代码为 0 的字符），不能保存。请删除这个字符后再试。"), code);
    if (sqlstate == "55P03" || sqlstate == "40P01" || sqlstate == "40001" || sqlstate == "57014")
        return DbError(err::Locked, QStringLiteral("数据库服务器上的数据正被其他工作站修改，已被锁定，请稍后再试。"), code);
    if (sqlstate == "53100")
        return DbError(err::DiskFull, QStringLiteral("数据库服务器的磁盘空间不足，数据未能写入。"), code);
    if (sqlstate == "58030")
        return DbError(err::DiskIo, QStringLiteral("数据库服务器磁盘读写错误：%1").arg(serverMessage), code);
    if (sqlstate == "25006")
        return DbError(err::ReadOnly, QStringLiteral("数据库服务器上的数据库是只读的，不能写入。"), code);
    if (sqlstate == "25P02")
        return failedTransaction();
    if (cls == "08" || cls == "28" || sqlstate == "3D000" || cls == "57")
        return DbError(err::CannotOpen,
                       QStringLiteral("无法连接数据库服务器（%1）：%2").arg(where, serverMessage), code);
    if (sqlstate == "42501")
        return DbError(err::ReadOnly, QStringLiteral("数据库服务器拒绝了这个操作（权限不足）：%1").arg(serverMessage), code);
    if (cls == "23")
        return DbError(err::General, QStringLiteral("数据不符合表的约束：%1").arg(serverMessage), code);
    return DbError(err::General, QStringLiteral("数据库引擎错误：%1").arg(serverMessage), code);
}

} // namespace qh::db
