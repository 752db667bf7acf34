#include "stock/ui/FrmYcck.h"
#include "core/modutarnxt.h"

#include "core/ui/refuse.h"

#include <QKeyEvent>

namespace qh::stock::ui {

FrmYcck::FrmYcck(QWidget *parent) : MovementWindow(parent, std::make_unique<StockOut>(Modutarnxt::clinicStore()))
{
    setObjectName(QStringLiteral("FrmYcck"));
    setWindowTitle(QStringLiteral("药材出库"));

    Txtycbm = box(this, "Txtycbm", 20);
    Txtycmc = box(this, "Txtycmc");
    Txtycmc->setReadOnly(true);
    TxtPjhm = box(this, "TxtPjhm", 15);
    TxtGjsj = dateBox(this, "TxtGjsj");
    Txthwll = box(this, "Txthwll", 100);
    TxtYcsl = box(this, "TxtYcsl", 0, true);
    // Only typed digits reach the quantity: no pasting or dropping other text into it.
    TxtYcsl->setContextMenuPolicy(Qt::NoContextMenu);
    TxtYcsl->setAcceptDrops(false);
    TxtYcje = box(this, "TxtYcje", 0, true);
    Txtjbxm = box(this, "Txtjbxm", 15);
    buildForm({{"药材编码", Txtycbm}, {"药材名称", Txtycmc}, {"票据号码", TxtPjhm}, {"出库时间", TxtGjsj},
               {"出库摘要", Txthwll}, {"出库数量", TxtYcsl}, {"销售收入", TxtYcje}, {"经办人名", Txtjbxm}},
              Txtycbm, Txtycmc);
    Qpcls();
}

QWidget *FrmYcck::widgetOf(StockField field) const
{
    switch (field) {
    case StockField::Txtycbm: return Txtycbm;
    case StockField::Txtycmc: return Txtycmc;
    case StockField::TxtPjhm: return TxtPjhm;
    case StockField::TxtGjsj: return TxtGjsj;
    case StockField::Txthwll: return Txthwll;
    case StockField::TxtYcsl: return TxtYcsl;
    case StockField::TxtYcje: return TxtYcje;
    case StockField::Txtjbxm: return Txtjbxm;
    case StockField::CmdSave: return CmdSave;
    case StockField::TxtYcph: // no batch, expiry or origin on a stock-out
    case StockField::TxtYsqx:
    case StockField::Txthwcd: break;
    }
    qh::ui::unmappedControl("FrmYcck", int(field));
}

bool FrmYcck::refusesKey(const QLineEdit *box, const QKeyEvent *k) const
{
    if (box != TxtYcsl || StockOut::quantityKeyAccepted(k->text()) || movesFocus(k))
        return false;
    // Every other key that would change the text is discarded.
    return !k->text().isEmpty() || k->key() == Qt::Key_Backspace || k->key() == Qt::Key_Delete
        || k->matches(QKeySequence::Paste) || k->matches(QKeySequence::Cut) || k->matches(QKeySequence::Undo)
        || k->matches(QKeySequence::Redo);
}

} // namespace qh::stock::ui
