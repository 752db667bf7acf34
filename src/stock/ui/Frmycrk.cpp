#include "stock/ui/Frmycrk.h"
#include "stock/ui/FrmYcck.h"

#include "core/ui/taskwindows.h"

namespace qh::stock::ui {

void registerStockMovementWindows()
{
    qh::ui::registerTaskWindow(QStringLiteral("ycrc"), [] { return qh::ui::singleWindow<Frmycrk>(); });
    qh::ui::registerTaskWindow(QStringLiteral("YcqkCk"), [] { return qh::ui::singleWindow<FrmYcck>(); });
}

Frmycrk::Frmycrk(QWidget *parent) : EntryWindow(parent)
{
    setObjectName(QStringLiteral("Frmycrk"));
    setWindowTitle(QStringLiteral("中药材入库、退库"));

    Txtycbm = box(this, "Txtycbm", 20);
    Txtycmc = box(this, "Txtycmc");
    Txtycmc->setReadOnly(true);
    TxtYcph = box(this, "TxtYcph", 15);
    TxtYsqx = dateBox(this, "TxtYsqx");
    Txthwcd = box(this, "Txthwcd", 10);
    TxtPjhm = box(this, "TxtPjhm", 20);
    TxtYcsl = box(this, "TxtYcsl", 0, true);
    TxtYcje = box(this, "TxtYcje", 0, true);
    Txthwll = box(this, "Txthwll", 100);
    TxtGjsj = dateBox(this, "TxtGjsj");
    Txtjbxm = box(this, "Txtjbxm", 15);
    buildForm({{"药材编码", Txtycbm}, {"药材名称", Txtycmc}, {"批号", TxtYcph}, {"有效期止", TxtYsqx},
               {"货物产地", Txthwcd}, {"票据号码", TxtPjhm}, {"进货数量", TxtYcsl}, {"进货金额", TxtYcje},
               {"货物来源", Txthwll}, {"购进时间", TxtGjsj}, {"经办人名", Txtjbxm}},
              Txtycbm, Txtycmc);
    m_settleAfterCheck = true;
    setEntry(StockIn::Qpcls(QDate::currentDate()));
}

StockInEntry Frmycrk::entry() const
{
    StockInEntry e;
    e.Txtycbm = Txtycbm->text();
    e.Txtycmc = Txtycmc->text();
    e.TxtYcph = TxtYcph->text();
    e.TxtYsqx = TxtYsqx->displayText();
    e.Txthwcd = Txthwcd->text();
    e.TxtPjhm = TxtPjhm->text();
    e.TxtYcsl = TxtYcsl->text();
    e.TxtYcje = TxtYcje->text();
    e.Txthwll = Txthwll->text();
    e.TxtGjsj = TxtGjsj->displayText();
    e.Txtjbxm = Txtjbxm->text();
    return e;
}

void Frmycrk::setEntry(const StockInEntry &e)
{
    put(Txtycbm, e.Txtycbm);
    put(Txtycmc, e.Txtycmc);
    put(TxtYcph, e.TxtYcph);
    put(TxtYsqx, e.TxtYsqx);
    put(Txthwcd, e.Txthwcd);
    put(TxtPjhm, e.TxtPjhm);
    put(TxtYcsl, e.TxtYcsl);
    put(TxtYcje, e.TxtYcje);
    put(Txthwll, e.Txthwll);
    put(TxtGjsj, e.TxtGjsj);
    put(Txtjbxm, e.Txtjbxm);
}

bool Frmycrk::takesSpace(const QLineEdit *box) const { return box == TxtYsqx; }

} // namespace qh::stock::ui
