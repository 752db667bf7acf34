#pragma once
// Patients, visits and follow-ups of the record query tests.
//
//   000001 张三 男 30 已婚: 内科 2024-03-01 09:30 "咳嗽三日"  plan "辛温解表，宣肺止咳" rx "麻黄9克，杏仁9克"  follow-up 2024-04-08
//                          内科 2024-03-10 00:00 "头痛"      plan "平肝潜阳"           rx "天麻10克"
//   000002 李四 女 20 未婚: 妇科 2024-03-31 17:45 "咳嗽，痰多" plan "辛温解表"           rx "桂枝6克，麻黄6克"  follow-up 2024-05-20
//                          儿科 2024-03-15       symptoms Null (never found)
//   000003 王五 女 99 已婚: 内科 2024-04-02       "发热50%，恶寒" plan "清热_解毒"       rx "石膏30克*[2]'包煎'?"  doctor "Dr. Li"
//   000004 赵六 sex Null 40: 内科 2024-03-05      "咳嗽" (never found: the patient's sex is Null)
#include "db/session.h"

#include <QDateTime>
#include <QString>
#include <optional>

namespace qh::query::fixture {

inline void addPatient(db::Session &s, const QString &blbm, const QString &name, const std::optional<QString> &sex, int age,
                       const QString &marital)
{
    s.exec(QStringLiteral("insert into hzblzl(blbm, blxm, blxb, blnl, blzy, bldw, blhf, bldz, blte, mail, blsj, bljz, blxd) "
                          "values(?, ?, ?, ?, '教师', '青禾中学', ?, '人民路1号', '13800000000', 'a@b.cn', ?, ?, ?)"),
           blbm, name, sex, age, marital, QDate(2023, 5, 6), QDate(2024, 3, 31), QStringLiteral("药后汗出热退。\r\n宜避风寒。"));
}

inline void addVisit(db::Session &s, const QString &blbm, const QString &dept, const QDateTime &when,
                     const std::optional<QString> &symptoms, const QString &plan, const QString &rx,
                     const QString &doctor = QStringLiteral("李明德"), const std::optional<QDate> &followUp = std::nullopt)
{
    s.exec(QStringLiteral("insert into hzzdzl(blbm, blkb, blsj, bzxy, bzmb, bzhx, bzqk, blfa, blcf, blsx, fzsj, zdys) "
                          "values(?, ?, ?, ' 120/80 ', 72, 18, ?, ?, ?, '水煎服，日一剂。', ?, ?)"),
           blbm, dept, when, symptoms, plan, rx, followUp, doctor);
    if (followUp)
        s.exec(QStringLiteral("insert into fzzl(blbm, blkb, blsj, blfz, zdys) values(?, ?, ?, ?, ?)"), blbm, dept, when,
               *followUp, doctor);
}

inline QDateTime at(int y, int m, int d, int h = 0, int min = 0) { return QDateTime(QDate(y, m, d), QTime(h, min)); }

inline void fillClinic(db::Session &s)
{
    addPatient(s, QStringLiteral("000001"), QStringLiteral("张三"), QStringLiteral("男"), 30, QStringLiteral("已婚"));
    addPatient(s, QStringLiteral("000002"), QStringLiteral("李四"), QStringLiteral("女"), 20, QStringLiteral("未婚"));
    addPatient(s, QStringLiteral("000003"), QStringLiteral("王五"), QStringLiteral("女"), 99, QStringLiteral("已婚"));
    addPatient(s, QStringLiteral("000004"), QStringLiteral("赵六"), std::nullopt, 40, QStringLiteral("已婚"));
    addVisit(s, QStringLiteral("000001"), QStringLiteral("内科"), at(2024, 3, 1, 9, 30), QStringLiteral("咳嗽三日"),
             QStringLiteral("辛温解表，宣肺止咳"), QStringLiteral("麻黄9克，杏仁9克"), QStringLiteral("李明德"), QDate(2024, 4, 8));
    addVisit(s, QStringLiteral("000001"), QStringLiteral("内科"), at(2024, 3, 10), QStringLiteral("头痛"),
             QStringLiteral("平肝潜阳"), QStringLiteral("天麻10克"), QStringLiteral("王淑华"));
    addVisit(s, QStringLiteral("000002"), QStringLiteral("妇科"), at(2024, 3, 31, 17, 45), QStringLiteral("咳嗽，痰多"),
             QStringLiteral("辛温解表"), QStringLiteral("桂枝6克，麻黄6克"), QStringLiteral("李明德"), QDate(2024, 5, 20));
    addVisit(s, QStringLiteral("000002"), QStringLiteral("儿科"), at(2024, 3, 15), std::nullopt, QStringLiteral("辛温解表"),
             QStringLiteral("麻黄3克"));
    addVisit(s, QStringLiteral("000003"), QStringLiteral("内科"), at(2024, 4, 2), QStringLiteral("发热50%，恶寒"),
             QStringLiteral("清热_解毒"), QStringLiteral("石膏30克*[2]'包煎'?"), QStringLiteral("Dr. Li"));
    addVisit(s, QStringLiteral("000004"), QStringLiteral("内科"), at(2024, 3, 5), QStringLiteral("咳嗽"),
             QStringLiteral("辛温解表"), QStringLiteral("麻黄9克"));
}

// Texts the full-text index must answer as the literal test does (all in 2024, ages 30-70):
//   a01 内科 02-01 09:00 "咳嗽三日"   "辛温解表"  "麻黄9克"     "李明德"
//   a01 外科 02-01 09:00 "Cough 三日" "宣肺"      "杏仁9克"     "Dr. Wang"   (same time, written first: the department orders)
//   a01 内科 05-05       "咳 嗽"      "宣肺"      "杏仁"        "李明德"
//   A02 内科 01-15       "咳*嗽"      "止咳"      "甘草\"6克\"" "王医师"     (characters the index leaves out)
//   b03 内科 03-01       "夜间咳"     Null        "麻黄6克"     "李明德"     (never found: plan Null)
//   Ä04 儿科 03-02       "嗽"         "^宣肺"     "桂枝 6克"    "赵医师"
//   ä05 内科 03-03       "咳嗽"       "宣肺止咳"  "麻黄^9克"    Null         (never found: doctor Null)
inline void fillIndexClinic(db::Session &s)
{
    const QString married = QStringLiteral("已婚");
    int age = 30;
    for (const char *blbm : {"a01", "A02", "b03", "Ä04", "ä05"}) {
        addPatient(s, QString::fromUtf8(blbm), QStringLiteral("患者"), QStringLiteral("女"), age, married);
        age += 10;
    }
    auto visit = [&s](const char *blbm, const char *dept, const QDateTime &when, const char *symptoms, const char *plan,
                      const char *rx, const char *doctor) {
        auto text = [](const char *t) { return t ? std::optional<QString>(QString::fromUtf8(t)) : std::nullopt; };
        s.exec(QStringLiteral("insert into hzzdzl(blbm, blkb, blsj, bzqk, blfa, blcf, zdys) values(?, ?, ?, ?, ?, ?, ?)"),
               QString::fromUtf8(blbm), QString::fromUtf8(dept), when, text(symptoms), text(plan), text(rx), text(doctor));
    };
    visit("a01", "外科", at(2024, 2, 1, 9), "Cough 三日", "宣肺", "杏仁9克", "Dr. Wang");
    visit("a01", "内科", at(2024, 2, 1, 9), "咳嗽三日", "辛温解表", "麻黄9克", "李明德");
    visit("a01", "内科", at(2024, 5, 5), "咳 嗽", "宣肺", "杏仁", "李明德");
    visit("A02", "内科", at(2024, 1, 15), "咳*嗽", "止咳", "甘草\"6克\"", "王医师");
    visit("b03", "内科", at(2024, 3, 1), "夜间咳", nullptr, "麻黄6克", "李明德");
    visit("Ä04", "儿科", at(2024, 3, 2), "嗽", "^宣肺", "桂枝 6克", "赵医师");
    visit("ä05", "内科", at(2024, 3, 3), "咳嗽", "宣肺止咳", "麻黄^9克", nullptr);
}

} // namespace qh::query::fixture
