#pragma once
// The monthly statistics window "经营统计" (menu "数据资料查询 - 经营统计", item Jytj): the months
// to count, the charts and tables of the figures on four tabs, the workbook with native charts
// and the printed page. The figures are query/statistics.h, the charts query/charts.h, the
// workbook and the page query/statisticsreport.h.
#include "query/statistics.h"

#include <QWidget>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTableWidget;

namespace qh::query::ui {

class ChartView;

class FrmJytj : public QWidget {
    Q_OBJECT
public:
    explicit FrmJytj(QWidget *parent = nullptr);

    QLineEdit *MasQsyf; // 起始月份
    QLineEdit *MasJsyf; // 截止月份
    QPushButton *CmdSeek;
    QPushButton *CmdExpo;
    QPushButton *CmdPrin;
    QPushButton *CmdQcls;
    QPushButton *CmdHelp;
    QPushButton *CmdExit;
    QLabel *LabTjjg; // the totals of the last run
    QTabWidget *SSTab1;
    // Tab 0 "月度图表"
    ChartView *ChtJzrs; // patients per month
    ChartView *ChtCfsr; // revenue per month
    // Tab 1 "月度明细"
    QTableWidget *MSFGridYdtj;
    // Tab 2 "药材排行"
    QRadioButton *OptCfsr;
    QRadioButton *OptCksl;
    QRadioButton *OptCkcb;
    ChartView *ChtYcph;
    QTableWidget *MSFGridYcph;
    // Tab 3 "医师科室"
    QTableWidget *MSFGridYstj;
    QTableWidget *MSFGridKstj;

    // The months back to the last twelve, the figures and their views emptied.
    void Qpcls();
    void CmdSeek_Click();
    void CmdExpo_Click();
    void CmdPrin_Click();
    void CmdQcls_Click();
    void CmdHelp_Click();
    void CmdExit_Click();

    // The figures of the last run (nothing before one).
    const std::optional<Statistics> &figures() const { return m_figures; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QWidget *widgetOf(StatisticsField field) const;
    void refuse(const Refusal<StatisticsField> &r);
    void showFigures(const Statistics &st);
    void showHerbs();
    HerbOrder herbOrder() const;

    std::optional<Statistics> m_figures;
    bool m_placed = false;
};

// Registers the window for the menu item "经营统计" (object name "Jytj").
void registerStatisticsWindow();

} // namespace qh::query::ui
