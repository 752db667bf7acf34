#pragma once
// The large practice of the query benchmarks: 100,000 patients with 1,000,000 visits made by the
// demo-data tool (QINGHE_DEMODATA, which the build defines for the programs that use it).
// QINGHE_BENCH_ROOT names a data folder to keep it in: the first run fills it (a few minutes),
// later runs find it there. Without it the tool fills a temporary folder each run.
#include "core/modutarnxt.h"
#include "testsupport.h"

#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstdio>

namespace qh::bench {

// Points SystemRoot at the practice, made when missing. Returns its folder, or "" (told on
// stderr) when it could not be made.
inline QString largePractice()
{
    static QTemporaryDir tmp;
    QString root = qEnvironmentVariable("QINGHE_BENCH_ROOT");
    if (root.isEmpty())
        root = tmp.path();
    Modutarnxt::SystemRoot = root;
    if (!QFile::exists(Modutarnxt::databasePath())) {
        const QString failed = test::makeDemoClinic(QStringLiteral(QINGHE_DEMODATA), root,
                                                    {QStringLiteral("--patients"), QStringLiteral("100000"), QStringLiteral("--visits"),
                                                     QStringLiteral("1000000"), QStringLiteral("--dispense"), QStringLiteral("2")});
        if (!failed.isEmpty()) {
            fprintf(stderr, "%s\n", qPrintable(failed));
            return {};
        }
    }
    return QFile::exists(Modutarnxt::databasePath()) ? root : QString();
}

} // namespace qh::bench
