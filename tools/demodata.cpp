// Fills a clinic database with realistic demonstration data: a drug list of several hundred
// herbs, patients with their visits and follow-ups, purchases, dispensings and balances.
//
//   qinghe-demodata [--root DIR] [--patients N] [--visits N] [--dispense PERCENT] [--unit NAME] [--seed N] [--progress]
//
// DIR is the data folder (default: the program's own). The database is created when missing.
// --visits spreads that many visits evenly over the patients (for example 100,000 patients with
// 1,000,000 visits); --dispense charges that share of the visits from stock (default all).
#include "db/session.h"
#include "core/modutarnxt.h"
#include "base/money.h"
#include "base/textutil.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <QTextStream>

#include <algorithm>

using namespace qh;

namespace {

const QStringList kHerbs = QString::fromUtf8(
    "麻黄 桂枝 紫苏 生姜 荆芥 防风 羌活 白芷 细辛 藁本 苍耳子 辛夷 薄荷 牛蒡子 蝉蜕 桑叶 菊花 蔓荆子 柴胡 升麻 葛根 淡豆豉 "
    "石膏 知母 芦根 天花粉 竹叶 栀子 夏枯草 决明子 黄芩 黄连 黄柏 龙胆 苦参 金银花 连翘 蒲公英 紫花地丁 板蓝根 青黛 "
    "鱼腥草 射干 山豆根 马勃 白头翁 败酱草 生地黄 玄参 牡丹皮 赤芍 紫草 水牛角 青蒿 地骨皮 白薇 银柴胡 大黄 芒硝 "
    "番泻叶 火麻仁 郁李仁 独活 威灵仙 木瓜 秦艽 防己 桑枝 豨莶草 五加皮 桑寄生 狗脊 千年健 藿香 佩兰 苍术 厚朴 砂仁 "
    "白豆蔻 草豆蔻 茯苓 薏苡仁 猪苓 泽泻 车前子 滑石 木通 通草 瞿麦 萹蓄 地肤子 海金沙 石韦 茵陈 金钱草 虎杖 附子 "
    "干姜 肉桂 吴茱萸 小茴香 丁香 高良姜 花椒 陈皮 青皮 枳实 木香 香附 乌药 沉香 川楝子 薤白 佛手 山楂 神曲 麦芽 "
    "谷芽 莱菔子 鸡内金 槟榔 小蓟 大蓟 地榆 槐花 侧柏叶 白茅根 三七 茜草 蒲黄 白及 仙鹤草 艾叶 川芎 延胡索 郁金 "
    "姜黄 乳香 没药 丹参 红花 桃仁 益母草 牛膝 鸡血藤 王不留行 土鳖虫 莪术 三棱 半夏 天南星 白附子 白芥子 旋覆花 "
    "白前 川贝母 浙贝母 瓜蒌 竹茹 前胡 桔梗 杏仁 紫苏子 百部 紫菀 款冬花 枇杷叶 桑白皮 葶苈子 朱砂 磁石 龙骨 琥珀 "
    "酸枣仁 柏子仁 远志 合欢皮 石决明 珍珠母 牡蛎 代赭石 羚羊角 牛黄 钩藤 天麻 地龙 全蝎 蜈蚣 僵蚕 石菖蒲 人参 "
    "西洋参 党参 太子参 黄芪 白术 山药 白扁豆 甘草 大枣 鹿茸 淫羊藿 巴戟天 仙茅 杜仲 续断 肉苁蓉 锁阳 补骨脂 益智仁 "
    "菟丝子 沙苑子 蛤蚧 冬虫夏草 当归 熟地黄 白芍 阿胶 何首乌 龙眼肉 北沙参 南沙参 百合 麦冬 天冬 石斛 玉竹 黄精 "
    "枸杞子 墨旱莲 女贞子 龟甲 鳖甲 五味子 乌梅 五倍子 诃子 肉豆蔻 赤石脂 山茱萸 覆盆子 桑螵蛸 金樱子 海螵蛸 莲子 "
    "芡实").split(u' ', Qt::SkipEmptyParts);

const QStringList kCategories = QString::fromUtf8(
    "解表药 清热药 泻下药 祛风湿药 化湿药 利水渗湿药 温里药 理气药 消食药 止血药 活血化瘀药 化痰止咳平喘药 安神药 平肝息风药 补虚药 收涩药")
                                    .split(u' ');
const QStringList kSurnames = QString::fromUtf8("王 李 张 刘 陈 杨 黄 赵 吴 周 徐 孙 马 朱 胡 郭 何 高 林 罗 郑 梁 谢 宋 唐 许 韩 冯 邓 曹").split(u' ');
const QStringList kGiven = QString::fromUtf8("伟 芳 娜 敏 静 丽 强 磊 军 洋 勇 艳 杰 娟 涛 明 超 秀英 华 慧 建国 桂兰 志强 海燕 文 玉兰 小红 春梅 国华 晓东").split(u' ');
const QStringList kJobs = QString::fromUtf8("教师 工人 农民 干部 医生 护士 学生 退休 个体 职员 司机 会计 工程师 厨师").split(u' ');
const QStringList kStreets = QString::fromUtf8("人民路 解放路 中山路 建设路 和平街 青年路 文化路 胜利街 新华路 长江路").split(u' ');
const QStringList kDepts = QString::fromUtf8("中医内科 中医妇科 中医儿科 针灸科 中医外科").split(u' ');
const QStringList kDoctors = QString::fromUtf8("李明德 王淑华 陈国栋 赵文清").split(u' ');
const QStringList kComplaints = QString::fromUtf8(
    "咳嗽三日，咽痒，痰白稀。|头痛眩晕一周，夜寐不安。|胃脘胀痛，食后加重，嗳气。|月经后期，量少色暗，小腹冷痛。|"
    "腰膝酸软，夜尿频多。|发热恶寒，无汗，周身酸痛。|失眠多梦，心悸健忘。|大便溏薄，纳差乏力。")
                                      .split(u'|');
const QStringList kPlans = QString::fromUtf8(
    "风寒束表，治以辛温解表。|肝阳上亢，治以平肝潜阳。|肝胃不和，治以疏肝和胃。|寒凝血瘀，治以温经散寒。|"
    "肾气不足，治以补肾固摄。|心脾两虚，治以益气补血，健脾养心。|脾虚湿盛，治以健脾化湿。")
                                  .split(u'|');

QRandomGenerator rng;

template <class L> const auto &pick(const L &l) { return l.at(int(rng.bounded(quint32(l.size())))); }

struct Drug {
    QString code, name;
    Money price;
    QString category;
};

QList<Drug> makeDrugs()
{
    QList<Drug> drugs;
    QSet<QString> names;
    const QStringList prefixes = {QString(), QStringLiteral("炙"), QStringLiteral("炒"), QStringLiteral("生")};
    int n = 0;
    for (const QString &prefix : prefixes) {
        for (const QString &herb : kHerbs) {
            const QString name = prefix + herb;
            if (names.contains(name))
                continue;
            names.insert(name);
            ++n;
            drugs.append({QStringLiteral("Y%1").arg(n, 4, 10, QChar(u'0')), name,
                          Money::fromCents(5 + qint64(rng.bounded(300))), pick(kCategories)});
            if (prefix.isEmpty() == false && drugs.size() >= 600)
                return drugs;
        }
    }
    return drugs;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Fills a clinic database with demonstration data."));
    p.addHelpOption();
    QCommandLineOption root(QStringLiteral("root"), QStringLiteral("Data folder."), QStringLiteral("dir"));
    QCommandLineOption patients(QStringLiteral("patients"), QStringLiteral("Number of patients."), QStringLiteral("n"), QStringLiteral("200"));
    QCommandLineOption unit(QStringLiteral("unit"), QStringLiteral("Clinic name."), QStringLiteral("name"), QStringLiteral("青禾示范诊所"));
    QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Random seed."), QStringLiteral("n"), QStringLiteral("7"));
    QCommandLineOption visitsOpt(QStringLiteral("visits"), QStringLiteral("Number of visits in all."), QStringLiteral("n"));
    QCommandLineOption dispense(QStringLiteral("dispense"), QStringLiteral("Percentage of visits dispensed."), QStringLiteral("percent"),
                                QStringLiteral("100"));
    QCommandLineOption progressOpt(QStringLiteral("progress"), QStringLiteral("Report progress on standard error."));
    p.addOptions({root, patients, unit, seed, visitsOpt, dispense, progressOpt});
    p.process(app);
    QTextStream out(stdout);

    Modutarnxt::SystemRoot = p.isSet(root) ? p.value(root) : Modutarnxt::defaultSystemRoot();
    rng.seed(p.value(seed).toUInt());
    const int patientCount = qMax(0, p.value(patients).toInt());
    const int visitTotal = p.isSet(visitsOpt) ? qMax(0, p.value(visitsOpt).toInt()) : -1;
    const int dispensePercent = qBound(0, p.value(dispense).toInt(), 100);
    const bool progress = p.isSet(progressOpt);

    try {
        Modutarnxt::prepareClinicDatabase(Modutarnxt::clinicStore());
        auto s = Modutarnxt::clinicStore().open();
        // A large cache keeps the pages of the one big transaction in memory until it commits.
        s.execScript(QStringLiteral("pragma cache_size = -262144"));
        db::Transaction t(s);
        s.exec(QStringLiteral("update xtzlqk set xt001 = ? where trim(xt001) = ''"), p.value(unit));

        const QList<Drug> drugs = makeDrugs();
        QHash<QString, Money> stock;  // name -> quantity on hand
        QHash<QString, Money> cost;   // name -> received amount
        QHash<QString, Money> received;
        const QDate today = QDate::currentDate();
        const QDate start = today.addYears(-2);
        for (const Drug &d : drugs) {
            if (s.scalarInt(QStringLiteral("select count(*) from ycjg where ycbm = ? or ycmc = ?"), d.code, d.name))
                continue;
            s.exec(QStringLiteral("insert into ycjg(ycbm, ycmc, ycdj, jldw, yplb) values(?, ?, ?, ?, ?)"), d.code, d.name,
                   d.price, QStringLiteral("克"), d.category);
            // One purchase per drug at about 60 % of the selling price.
            const Money qty = Money::fromInt(2000 + rng.bounded(8000));
            const Money amount = (qty * d.price * Money::fromUnits(6000)).roundedEven(2);
            const QDate bought = start.addDays(rng.bounded(30));
            s.exec(QStringLiteral("insert into yccrtb(crsj, ycbm, ywzy, yccd, ycly, ywph, yxqx, blhm, blks, rksl, rkje, cksl, "
                                  "ckje, xsje, jbxm, bgxm) values(?, ?, '购进', ?, ?, ?, ?, ' ', ' ', ?, ?, 0, 0, 0, ?, ?)"),
                   QDateTime(bought, QTime(9, 0)), d.name, QStringLiteral("甘肃"), QStringLiteral("药材公司"),
                   QStringLiteral("P%1").arg(bought.toString(QStringLiteral("yyMMdd"))), bought.addYears(3), qty, amount,
                   QStringLiteral("采购员"), QStringLiteral("管理员"));
            stock[d.name] = qty;
            received[d.name] = qty;
            cost[d.name] = amount;
        }

        const int existing = int(s.scalarInt(QStringLiteral("select count(*) from hzblzl")));
        // Every row goes through a statement prepared once, all in the one transaction.
        db::Statement insDispensing = s.prepare(QStringLiteral(
            "insert into yccrtb(crsj, ycbm, ywzy, yccd, ycly, ywph, yxqx, blhm, blks, rksl, rkje, cksl, ckje, xsje, jbxm, bgxm) "
            "values(?, ?, '处方收款出库', '  ', ' ', ' ', ?, ?, ?, 0, 0, ?, 0, ?, ?, ?)"));
        db::Statement insVisit = s.prepare(QStringLiteral(
            "insert into hzzdzl(blbm, blkb, blsj, bzxy, bzmb, bzhx, bzqk, blfa, blcf, blsx, fzsj, zdys) "
            "values(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        db::Statement insFollowUp =
            s.prepare(QStringLiteral("insert into fzzl(blbm, blkb, blsj, blfz, zdys) values(?, ?, ?, ?, ?)"));
        db::Statement insPatient = s.prepare(QStringLiteral(
            "insert into hzblzl(blbm, blxm, blxb, blnl, blzy, bldw, blhf, bldz, blte, mail, blsj, bljz, blxd, zldl) "
            "values(?, ?, ?, ?, ?, ?, ?, ?, ?, ' ', ?, ?, ' ', ?)"));
        const QString directions = QStringLiteral("水煎服，日一剂，分两次温服。");
        const QString keeper = QStringLiteral("管理员");
        const int span = int(start.daysTo(today));
        int visits = 0, followUps = 0, lines = 0;
        for (int i = 0; i < patientCount; ++i) {
            const QString blbm = QStringLiteral("%1").arg(existing + i + 1, 6, 10, QChar(u'0'));
            const bool male = rng.bounded(2) == 0;
            const int age = 3 + int(rng.bounded(85));
            const QString name = pick(kSurnames) + pick(kGiven);
            // The visit days: with --visits an even share of the total on distinct days of the
            // last two years; otherwise one to four visits a week or more apart.
            QList<QDate> days;
            if (visitTotal >= 0) {
                const int want = qMin(span, visitTotal / qMax(1, patientCount) + (i < visitTotal % qMax(1, patientCount) ? 1 : 0));
                QSet<int> taken;
                while (int(taken.size()) < want)
                    taken.insert(int(rng.bounded(span + 1)));
                for (int d : taken)
                    days << start.addDays(d);
                std::sort(days.begin(), days.end());
            } else {
                QDate day = start.addDays(rng.bounded(span));
                const int visitCount = 1 + int(rng.bounded(4));
                for (int v = 0; v < visitCount && day <= today; ++v) {
                    days << day;
                    day = day.addDays(7 + rng.bounded(30));
                }
            }
            const QDate first = days.isEmpty() ? start.addDays(rng.bounded(span)) : days.first();
            const QDate last = days.isEmpty() ? first : days.last();
            for (qsizetype v = 0; v < days.size(); ++v) {
                const QDate day = days.at(v);
                const QString dept = pick(kDepts);
                const QString doctor = pick(kDoctors);
                const QDateTime when(day, QTime(8 + int(rng.bounded(9)), int(rng.bounded(60))));
                const bool dispensed = int(rng.bounded(100)) < dispensePercent;
                QStringList rx;
                const int herbs = 6 + int(rng.bounded(6));
                for (int h = 0; h < herbs; ++h) {
                    const Drug &d = pick(drugs);
                    const int dose = 6 + 3 * int(rng.bounded(6));
                    rx << QStringLiteral("%1%2克").arg(d.name).arg(dose);
                    const Money q = Money::fromInt(dose);
                    if (dispensed && stock.value(d.name) >= q) {
                        stock[d.name] -= q;
                        insDispensing.reset();
                        insDispensing.bindAll(when.addSecs(1800), d.name, QDate(2050, 1, 1), blbm, dept, q,
                                              (q * d.price).roundedEven(2), doctor, keeper);
                        insDispensing.run();
                        ++lines;
                    }
                }
                const bool followUp = v == days.size() - 1 && rng.bounded(3) == 0;
                const QDate fz = day.addDays(7);
                insVisit.reset();
                insVisit.bindAll(blbm, dept, when, QStringLiteral("%1/%2").arg(100 + rng.bounded(50)).arg(60 + rng.bounded(30)),
                                 60 + int(rng.bounded(40)), 14 + int(rng.bounded(8)), pick(kComplaints), pick(kPlans),
                                 rx.join(QStringLiteral("，")) + QStringLiteral("。"), directions,
                                 followUp ? std::optional<QDate>(fz) : std::nullopt, doctor);
                insVisit.run();
                ++visits;
                if (followUp) {
                    insFollowUp.reset();
                    insFollowUp.bindAll(blbm, dept, when, fz, doctor);
                    insFollowUp.run();
                    ++followUps;
                }
            }
            insPatient.reset();
            insPatient.bindAll(blbm, name, male ? QStringLiteral("男") : QStringLiteral("女"), age, pick(kJobs),
                               QStringLiteral("本市") + pick(kJobs) + QStringLiteral("单位"),
                               age >= 23 ? QStringLiteral("已婚") : QStringLiteral("未婚"),
                               QStringLiteral("%1%2号").arg(pick(kStreets)).arg(1 + rng.bounded(300)),
                               QStringLiteral("13%1").arg(rng.bounded(100000000, 999999999)), first, last, keeper);
            insPatient.run();
            if (progress && (i + 1) % 10000 == 0)
                QTextStream(stderr) << (i + 1) << " patients, " << visits << " visits\n";
        }
        for (auto it = stock.constBegin(); it != stock.constEnd(); ++it) {
            s.exec(QStringLiteral("delete from ycyltb where ycbm = ?"), it.key());
            s.exec(QStringLiteral("insert into ycyltb(ycbm, rksl, rkje, ycyl) values(?, ?, ?, ?)"), it.key(), received.value(it.key()),
                   cost.value(it.key()), it.value());
        }
        t.commit();
        out << QStringLiteral("%1: %2 drugs, %3 patients, %4 visits, %5 follow-ups, %6 dispensed lines\n")
                   .arg(Modutarnxt::databasePath())
                   .arg(drugs.size())
                   .arg(patientCount)
                   .arg(visits)
                   .arg(followUps)
                   .arg(lines);
    } catch (const DbError &e) {
        QTextStream(stderr) << numberedReport(e) << '\n';
        return 1;
    }
    return 0;
}
