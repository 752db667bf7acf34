#include "stock/ui/FrmYcck.h"

#include <QKeyEvent>

namespace qh::stock::ui {

FrmYcck::FrmYcck(QWidget *parent) : EntryWindow(parent)
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
    setEntry(StockOut::Qpcls(QDate::currentDate()));
}

StockOutEntry FrmYcck::entry() const
{
    StockOutEntry e;
    e.Txtycbm = Txtycbm->text();
    e.Txtycmc = Txtycmc->text();
    e.TxtPjhm = TxtPjhm->text();
    e.TxtGjsj = TxtGjsj->displayText();
    e.Txthwll = Txthwll->text();
    e.TxtYcsl = TxtYcsl->text();
    e.TxtYcje = TxtYcje->text();
    e.Txtjbxm = Txtjbxm->text();
    return e;
}

void FrmYcck::setEntry(const StockOutEntry &e)
{
    put(Txtycbm, e.Txtycbm);
    put(Txtycmc, e.Txtycmc);
    put(TxtPjhm, e.TxtPjhm);
    put(TxtGjsj, e.TxtGjsj);
    put(Txthwll, e.Txthwll);
    put(TxtYcsl, e.TxtYcsl);
    put(TxtYcje, e.TxtYcje);
    put(Txtjbxm, e.Txtjbxm);
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
