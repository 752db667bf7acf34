// The drug-name matching of the charging lines: code, name, dose and prescription text from
// the input, against a small clinic with stock. A line is only ever accepted for a herb that
// the prescription names, at the list price, with the amount the price rule gives.
#include "db/session.h"
#include "fuzzcommon.h"
#include "stock/charging.h"
#include "testsupport.h"

#include <QCoreApplication>

namespace {

qh::db::Session &clinic()
{
    static int argc = 1;
    static char name[] = "fuzz_charging";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static qh::test::TempClinic temp;
    static qh::db::Session session = [] {
        temp.addDrug(QStringLiteral("GC"), QStringLiteral("甘草"), QStringLiteral("5.00"));
        temp.addDrug(QStringLiteral("HQ"), QStringLiteral("黄芪"), QStringLiteral("8.00"));
        temp.addDrug(QStringLiteral("D'G"), QStringLiteral("当归%"), QStringLiteral("2.50"));
        auto s = temp.open();
        for (const char *n : {"甘草", "黄芪", "当归%"})
            s.exec(QStringLiteral("insert into ycyltb(ycbm, rksl, rkje, ycyl) values(?, ?, ?, ?)"), QString::fromUtf8(n),
                   qh::Money::fromInt(100), qh::Money::fromInt(300), qh::Money::fromInt(100));
        return s;
    }();
    return session;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Fields separated by '|': code | name | dose | prescription.
    const QStringList f = fuzz::text(data, size).split(u'|');
    if (f.size() < 4)
        return 0;
    if (f.join(u'|').contains(QChar(0)))
        return 0; // refused by the session layer before any matching
    auto &s = clinic();
    const auto r = qh::stock::Charging::addLine(s, f[0], f[1], f[2], f[3], {});
    if (const auto *line = std::get_if<qh::stock::ChargeLine>(&r)) {
        fuzz::require(f[3].contains(line->name), "an accepted herb is named in the prescription", f.join(u'|'));
        fuzz::require(line->amount == qh::stock::Charging::lineAmount(line->price, line->dose), "amount = price x dose",
                      f.join(u'|'));
        fuzz::require(line->dose <= qh::Money::fromInt(100), "the dose is covered by the stock", f.join(u'|'));
    }
    return 0;
}
