#include "stock/ui/Frmycrk.h"
#include "core/modutarnxt.h"
#include "stock/ui/FrmYcck.h"

#include "core/ui/refuse.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"

namespace qh::stock::ui {

void registerStockMovementWindows()
{
    qh::ui::registerTaskWindow(QStringLiteral("ycrc"), [] { return qh::ui::singleWindow<Frmycrk>(); });
    qh::ui::registerTaskWindow(QStringLiteral("YcqkCk"), [] { return qh::ui::singleWindow<FrmYcck>(); });
}

Frmycrk::Frmycrk(QWidget *parent) : MovementWindow(parent, std::make_unique<StockIn>(Modutarnxt::clinicStore()))
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
    Qpcls();
}

QWidget *Frmycrk::widgetOf(StockField field) const
{
    switch (field) {
    case StockField::Txtycbm: return Txtycbm;
    case StockField::Txtycmc: return Txtycmc;
    case StockField::TxtYcph: return TxtYcph;
    case StockField::TxtYsqx: return TxtYsqx;
    case StockField::Txthwcd: return Txthwcd;
    case StockField::TxtPjhm: return TxtPjhm;
    case StockField::TxtYcsl: return TxtYcsl;
    case StockField::TxtYcje: return TxtYcje;
    case StockField::Txthwll: return Txthwll;
    case StockField::TxtGjsj: return TxtGjsj;
    case StockField::Txtjbxm: return Txtjbxm;
    case StockField::CmdSave: return CmdSave;
    }
    qh::ui::unmappedControl("Frmycrk", int(field));
}

bool Frmycrk::takesSpace(const QLineEdit *box) const { return box == TxtYsqx; }

} // namespace qh::stock::ui
