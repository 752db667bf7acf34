// The in-and-out detail report ("库存明细表") of 100,000 movement rows, against raw
// libxlsxwriter writing the same cells in the same run.
//
//   BM_DetailReport          the report end to end: query, rows streamed into the workbook, file in place
//   BM_DetailSheetOnly       the shared writer alone, from rows already read
//   BM_RawXlsxConstantMemory the anchor: libxlsxwriter's constant-memory mode, the same cells and formats
//   BM_RawXlsxDefault        libxlsxwriter's default mode, for comparison
//
// The ratios to the anchor and the growth of the resident memory while a report is written
// are printed at the end.
#include "db/session.h"
#include "core/modutarnxt.h"
#include "core/spreadsheet.h"
#include "stock/stockquery.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <map>
#include <unistd.h>
#include <xlsxwriter.h>

using namespace qh;

namespace {

const QString Start = QStringLiteral("2020-01-01"), End = QStringLiteral("2026-12-31");

// One row of the detail report, as read from the journal.
struct DetailRow {
    double day;
    QString drug, summary;
    double rksl, rkje, cksl, ckje, xsje;
};

std::map<int, test::TempClinic *> &clinics()
{
    static std::map<int, test::TempClinic *> c;
    return c;
}

// A journal of n movements over six years: a purchase now and then, dispensing the rest.
test::TempClinic &clinic(int n)
{
    auto &c = clinics()[n];
    if (c) {
        Modutarnxt::SystemRoot = c->root(); // the clinic every session of the program opens
        return *c;
    }
    c = new test::TempClinic;
    QRandomGenerator rng(7);
    auto s = c->open();
    db::Transaction t(s);
    auto st = s.prepare(QStringLiteral("insert into yccrtb(crsj, ycbm, ywzy, yccd, ycly, ywph, yxqx, blhm, blks, rksl, rkje, "
                                       "cksl, ckje, xsje, jbxm, bgxm) values(?, ?, ?, ' ', ' ', ' ', ?, ?, ?, ?, ?, ?, 0, ?, ?, ?)"));
    const QDateTime first(QDate(2020, 1, 1), QTime(8, 0));
    for (int i = 0; i < n; ++i) {
        const QDateTime when = first.addSecs(qint64(i) * (6LL * 365 * 86400 / n));
        const QString drug = QStringLiteral("药材%1").arg(rng.bounded(600), 3, 10, QChar(u'0'));
        const bool buy = i % 10 == 0;
        const qint64 cents = 100 + qint64(rng.bounded(5000));
        const Money q = Money::fromCents(cents);
        st.reset();
        st.bindAll(when, drug, buy ? QStringLiteral("购进") : QStringLiteral("处方收款出库"),
                   QDate(2030, 1, 1), QStringLiteral("B%1").arg(i % 5000), QStringLiteral("中医内科"), buy ? q : Money(),
                   buy ? Money::fromCents(cents * 3) : Money(), buy ? Money() : q,
                   buy ? Money() : Money::fromCents(cents * 5), QStringLiteral("张三"), QStringLiteral("李四"));
        st.run();
    }
    t.commit();
    return *c;
}

std::vector<DetailRow> readDetail(int n)
{
    clinic(n);
    const auto q = stock::stockquery::buildQuery(stock::StockQueryType::Ckrk, QDate(2020, 1, 1), QDate(2026, 12, 31), std::nullopt);
    auto s = Modutarnxt::clinicStore().open();
    auto st = s.prepare(q.sql);
    for (int i = 0; i < q.values.size(); ++i)
        st.bind(i + 1, q.values[i]);
    std::vector<DetailRow> rows;
    static const QDate epoch(1899, 12, 30);
    while (st.next()) {
        const QDateTime t = *st.dateTime(0);
        rows.push_back({double(epoch.daysTo(t.date())) + t.time().msecsSinceStartOfDay() / 86400000.0, st.text(1), st.text(2),
                        st.money(3).toDouble(), st.money(4).toDouble(), st.money(5).toDouble(), st.money(6).toDouble(),
                        st.money(7).toDouble()});
    }
    return rows;
}

long residentKb()
{
    long pages = 0, resident = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

std::map<std::string, double> &seconds()
{
    static std::map<std::string, double> s;
    return s;
}

void record(benchmark::State &state, const std::string &name, double total)
{
    seconds()[name + "/" + std::to_string(state.range(0))] = total / double(state.iterations());
}

QTemporaryDir &docs()
{
    static QTemporaryDir d;
    return d;
}

void BM_DetailReport(benchmark::State &state)
{
    const int n = int(state.range(0));
    clinic(n);
    Modutarnxt::setDocumentsPath(docs().path());
    const auto q = stock::stockquery::buildQuery(stock::StockQueryType::Ckrk, QDate(2020, 1, 1), QDate(2026, 12, 31), std::nullopt);
    double total = 0;
    long peak = 0;
    for (auto _ : state) {
        const long before = residentKb();
        int rows = 0;
        const auto t0 = std::chrono::steady_clock::now();
        stock::stockquery::writeReport(test::OneAction().s(), q, Start, End, [&] {
            if (++rows % 5000 == 0)
                peak = std::max(peak, residentKb() - before);
        });
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    record(state, "report", total);
    state.counters["rss_growth_kB"] = double(peak);
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_DetailReport)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// Reading the rows alone: the query and every field as the report reads it.
void BM_DetailQueryOnly(benchmark::State &state)
{
    const int n = int(state.range(0));
    clinic(n);
    const auto q = stock::stockquery::buildQuery(stock::StockQueryType::Ckrk, QDate(2020, 1, 1), QDate(2026, 12, 31), std::nullopt);
    for (auto _ : state) {
        auto s = Modutarnxt::clinicStore().open();
        auto st = s.prepare(q.sql);
        for (int i = 0; i < q.values.size(); ++i)
            st.bind(i + 1, q.values[i]);
        qint64 sum = 0;
        while (st.next()) {
            sum += st.text(0).size() + st.text(1).size() + st.text(2).size();
            for (int c = 3; c < 8; ++c)
                sum += st.money(c).units();
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_DetailQueryOnly)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The shared writer from rows already read, laid out as the report lays them out.
void BM_DetailSheetOnly(benchmark::State &state)
{
    const int n = int(state.range(0));
    const auto rows = readDetail(n);
    const QString path = QDir(docs().path()).filePath(QStringLiteral("sheet-only.xlsx"));
    const QString amount = QStringLiteral("##,###,##0.00_ "), day = QStringLiteral("yyyy-mm-dd");
    const QStringList headers = {QStringLiteral("时间"), QStringLiteral("药品名称"), QStringLiteral("摘要"), QStringLiteral("入库数量"),
                                 QStringLiteral("入库金额"), QStringLiteral("出库数量"), QStringLiteral("出库成本"), QStringLiteral("收款金额")};
    double total = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        auto sheet = Spreadsheet::streamingTo(path);
        sheet.setFont(QStringLiteral("宋体 "), 11);
        sheet.clear(QStringLiteral("a2:j3000"));
        for (int c = 0; c < 8; ++c)
            sheet.setText(2, c + 1, headers[c]);
        sheet.setFont(QStringLiteral("宋体 "), 9);
        int r = 4;
        for (const DetailRow &row : rows) {
            sheet.setNumber(r, 1, row.day);
            sheet.setText(r, 2, row.drug);
            sheet.setText(r, 3, row.summary);
            const double v[5] = {row.rksl, row.rkje, row.cksl, row.ckje, row.xsje};
            for (int c = 0; c < 5; ++c)
                sheet.setNumber(r, c + 4, v[c]);
            for (int c = 1; c <= 8; ++c)
                sheet.autoFitColumn(c);
            sheet.setNumberFormat(r, 1, day);
            for (int c = 4; c <= 8; ++c)
                sheet.setNumberFormat(r, c, amount);
            for (int c = 1; c <= 8; ++c)
                sheet.setColumnWidth(c, c <= 4 ? 10 : 14);
            ++r;
        }
        sheet.finish();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    record(state, "sheet", total);
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_DetailSheetOnly)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The anchor: the same cells, fonts, formats and widths straight through libxlsxwriter.
void rawXlsx(benchmark::State &state, bool constantMemory, const std::string &name)
{
    const int n = int(state.range(0));
    const auto rows = readDetail(n);
    const QByteArray path = QFile::encodeName(QDir(docs().path()).filePath(QStringLiteral("raw.xlsx")));
    const char *headers[8] = {"时间", "药品名称", "摘要", "入库数量", "入库金额", "出库数量", "出库成本", "收款金额"};
    double total = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        lxw_workbook_options options{};
        options.constant_memory = constantMemory ? LXW_TRUE : LXW_FALSE;
        lxw_workbook *book = workbook_new_opt(path.constData(), &options);
        lxw_worksheet *sheet = workbook_add_worksheet(book, "Sheet1");
        auto font = [](lxw_format *f) {
            format_set_font_name(f, "宋体");
            format_set_font_size(f, 9);
            format_set_font_charset(f, 134);
        };
        font(STAILQ_FIRST(book->formats));
        lxw_format *text = workbook_add_format(book);
        font(text);
        lxw_format *date = workbook_add_format(book);
        font(date);
        format_set_num_format(date, "yyyy-mm-dd");
        lxw_format *money = workbook_add_format(book);
        font(money);
        format_set_num_format(money, "##,###,##0.00_ ");
        for (int c = 0; c < 8; ++c)
            worksheet_write_string(sheet, 1, lxw_col_t(c), headers[c], text);
        lxw_row_t r = 3;
        for (const DetailRow &row : rows) {
            worksheet_write_number(sheet, r, 0, row.day, date);
            worksheet_write_string(sheet, r, 1, row.drug.toUtf8().constData(), text);
            worksheet_write_string(sheet, r, 2, row.summary.toUtf8().constData(), text);
            const double v[5] = {row.rksl, row.rkje, row.cksl, row.ckje, row.xsje};
            for (int c = 0; c < 5; ++c)
                worksheet_write_number(sheet, r, lxw_col_t(c + 3), v[c], money);
            ++r;
        }
        worksheet_set_column(sheet, 0, 3, 10, nullptr);
        worksheet_set_column(sheet, 4, 7, 14, nullptr);
        workbook_close(book);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    record(state, name, total);
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_RawXlsxConstantMemory(benchmark::State &state) { rawXlsx(state, true, "raw"); }
BENCHMARK(BM_RawXlsxConstantMemory)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
void BM_RawXlsxDefault(benchmark::State &state) { rawXlsx(state, false, "rawdefault"); }
BENCHMARK(BM_RawXlsxDefault)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const char *n : {"10000", "100000"}) {
        const auto &s = seconds();
        const auto raw = s.find(std::string("raw/") + n);
        if (raw == s.end())
            continue;
        for (const char *what : {"report", "sheet", "rawdefault"}) {
            const auto it = s.find(std::string(what) + "/" + n);
            if (it != s.end())
                std::printf("%s rows: %-10s %8.3f s  = %.2f x raw libxlsxwriter constant-memory (%.3f s)\n", n, what,
                            it->second, it->second / raw->second, raw->second);
        }
    }
    Modutarnxt::setDocumentsPath(QString());
    return 0;
}
