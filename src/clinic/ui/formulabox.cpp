#include "clinic/ui/formulabox.h"
#include "clinic/ui/candidatekeys.h"

#include "clinic/ui/entryboxes.h"
#include "core/messages.h"
#include "core/modutarnxt.h"
#include "core/ui/refuse.h"
#include "core/ui/uikit.h"
#include "db/error.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace qh::clinic::ui {

FormulaBox::FormulaBox(QWidget *parent) : QWidget(parent)
{
    LabKsfj = new QLabel(QStringLiteral("方剂(&F)"), this);
    LabKsfj->setObjectName(QStringLiteral("LabKsfj"));
    TxtKsfj = new QLineEdit(this);
    TxtKsfj->setObjectName(QStringLiteral("TxtKsfj"));
    TxtKsfj->setMaxLength(20);
    TxtKsfj->setToolTip(QStringLiteral("输入方剂名称的拼音首字母（如 gzt 桂枝汤）、拼音或汉字，回车或数字键把方剂组成加入处方"));
    TxtKsfj->setMinimumWidth(TxtKsfj->fontMetrics().horizontalAdvance(QString(8, u'中')) + 16);
    LabKsfj->setBuddy(TxtKsfj);
    LisKsfj = new QListWidget(this);
    LisKsfj->setObjectName(QStringLiteral("LisKsfj"));
    LisKsfj->setFocusPolicy(Qt::NoFocus); // the keys stay in TxtKsfj
    LisKsfj->setMaximumHeight(LisKsfj->fontMetrics().height() * 6);
    LisKsfj->hide();

    auto *g = new QGridLayout(this);
    g->setContentsMargins(0, 0, 0, 0);
    g->addWidget(LabKsfj, 0, 0);
    g->addWidget(TxtKsfj, 0, 1);
    g->addWidget(LisKsfj, 1, 0, 1, 2);
    g->setColumnStretch(1, 1);

    TxtKsfj->installEventFilter(this);
    connect(TxtKsfj, &QLineEdit::textEdited, this, &FormulaBox::refresh);
    connect(LisKsfj, &QListWidget::itemActivated, this, [this](QListWidgetItem *item) { take(LisKsfj->row(item)); });
}

void FormulaBox::clear()
{
    TxtKsfj->clear();
    refresh();
}

void FormulaBox::refresh()
{
    m_shown = m_logic ? m_logic->candidates(TxtKsfj->text()) : QList<QuickFormula>();
    LisKsfj->clear();
    for (qsizetype i = 0; i < m_shown.size(); ++i)
        LisKsfj->addItem(QStringLiteral("%1  %2  %3").arg(i + 1).arg(m_shown[i].name, m_shown[i].source));
    LisKsfj->setVisible(!m_shown.isEmpty());
    if (!m_shown.isEmpty())
        LisKsfj->setCurrentRow(0);
}

void FormulaBox::take(int row)
{
    if (row < 0 || row >= m_shown.size())
        return;
    const QString name = m_shown[row].name;
    emit chosen(name);
}

bool FormulaBox::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != TxtKsfj || event->type() != QEvent::KeyPress || m_shown.isEmpty())
        return QWidget::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    const CandidateKey k = candidateKey(LisKsfj, key->key(), key->text());
    if (k.kind == CandidateKey::Take)
        take(k.row);
    else if (k.kind == CandidateKey::Clear)
        clear();
    if (k.kind != CandidateKey::None)
        return true;
    return QWidget::eventFilter(watched, event);
}

FormulaPanel::FormulaPanel(MemoBox *prescription, QObject *parent) : QObject(parent), m_prescription(prescription)
{
    box = new FormulaBox;
    box->setObjectName(QStringLiteral("FormulaBox"));
    box->setLogic(&m_quick);
    LabFjjj = new QLabel;
    LabFjjj->setObjectName(QStringLiteral("LabFjjj"));
    LabFjjj->setWordWrap(true);
    LabFjjj->setStyleSheet(QStringLiteral("color: #00509c"));
    LabFjjj->hide();
    CmdXrjj = new QPushButton(QStringLiteral("写入加减(&J)"));
    CmdXrjj->setObjectName(QStringLiteral("CmdXrjj"));
    CmdXrjj->setToolTip(QStringLiteral("把处方与所用方剂的加减写在处方末尾"));
    CmdXrjj->setEnabled(false);
    CmdCwfj = new QPushButton(QStringLiteral("存为协定方(&X)"));
    CmdCwfj->setObjectName(QStringLiteral("CmdCwfj"));
    CmdCwfj->setToolTip(QStringLiteral("把当前处方存为本诊所的协定方"));

    connect(box, &FormulaBox::chosen, this, &FormulaPanel::load);
    connect(m_prescription, &QPlainTextEdit::textChanged, this, &FormulaPanel::showLine);
    connect(CmdXrjj, &QPushButton::clicked, this, &FormulaPanel::write);
    connect(CmdCwfj, &QPushButton::clicked, this, &FormulaPanel::saveAsFormula);
}

void FormulaPanel::reload(db::Session *s, const QStringList &drugNames)
{
    m_differ = FormulaDiffer(drugNames);
    try {
        m_quick.setFormulas(s ? Formulas(*s).list() : std::vector<FormulaRow>{});
    } catch (const DbError &) {
        m_quick.setFormulas({}); // the box finds nothing; the visit is entered without it
    }
    box->clear();
}

void FormulaPanel::clear()
{
    m_loaded.clear();
    box->clear();
    showLine();
}

void FormulaPanel::startFrom(const QString &prescription)
{
    m_loaded.clear();
    m_loaded.add({LoadedFormulas::earlierPrescription(), prescription});
    m_prescription->setText(prescription);
    showLine();
}

void FormulaPanel::setEntriesVisible(bool visible)
{
    m_visible = visible;
    for (QWidget *w : std::initializer_list<QWidget *>{box, CmdXrjj, CmdCwfj})
        w->setVisible(visible);
    LabFjjj->setVisible(visible && !LabFjjj->text().isEmpty());
}

void FormulaPanel::load(const QString &formula)
{
    std::optional<Formula> f;
    try {
        auto s = Modutarnxt::clinicStore().open();
        f = Formulas(s).find(formula);
    } catch (const DbError &e) {
        msg::show(MsgIcon::Question, MsgButtons::Ok, shortReport(e));
        return;
    }
    if (!f) {
        qh::ui::refuse(QStringLiteral("方剂“%1”已不在方剂表中（可能已被删除），请重新选择。").arg(formula), MsgIcon::Information,
                       {}, box->TxtKsfj, Select::all());
        return;
    }
    const FormulaText text{f->name, f->composition};
    const LoadedFormulas::Result r = LoadedFormulas::appended(m_prescription->text(), text);
    if (!r.text) {
        qh::ui::refuse(r.refusal, MsgIcon::Information, {}, box->TxtKsfj, Select::all());
        return;
    }
    m_loaded.add(text);
    m_prescription->setText(*r.text);
    box->clear();
    qh::ui::focusAndSelect(m_prescription, Select::end());
}

void FormulaPanel::showLine()
{
    const QString line = m_loaded.line(m_differ, m_prescription->text());
    if (LabFjjj->text() != line)
        LabFjjj->setText(line);
    LabFjjj->setVisible(m_visible && !line.isEmpty());
    CmdXrjj->setEnabled(!m_loaded.isEmpty());
}

void FormulaPanel::write()
{
    const LoadedFormulas::Result r = m_loaded.written(m_differ, m_prescription->text());
    if (!r.text) {
        qh::ui::refuse(r.refusal, MsgIcon::Information, {}, m_prescription, Select::end());
        return;
    }
    m_prescription->setText(*r.text);
    qh::ui::focusAndSelect(m_prescription, Select::end());
}

void FormulaPanel::saveAsFormula()
{
    const QString prescription = m_loaded.withoutLine(m_prescription->text());
    if (prescription.trimmed().isEmpty()) {
        qh::ui::refuse(QStringLiteral("输入处方内容。"), MsgIcon::Information, {}, m_prescription, Select::none());
        return;
    }
    const std::optional<QString> name = msg::askText(
        {QStringLiteral("请输入协定方名称："), QStringLiteral("存为协定方"), QString(), Formulas::NameMax});
    if (!name)
        return;
    FormulaAnswer a;
    try {
        qh::ui::BusyPointer busy;
        auto s = Modutarnxt::clinicStore().open();
        a = Formulas(s).saveAsFormula(prescription, *name, Modutarnxt::CurrentUser);
        if (a.ok())
            m_quick.setFormulas(Formulas(s).list());
    } catch (const DbError &e) {
        a.failure = numberedReport(e);
    }
    if (a.refusal) {
        QWidget *focus = a.refusal->field == FormulaField::TxtFjgc ? static_cast<QWidget *>(m_prescription) : CmdCwfj;
        qh::ui::refuse(a.refusal->message, a.refusal->icon, a.refusal->title, focus, Select::end());
        return;
    }
    if (!a.failure.isEmpty()) {
        qh::ui::setMousePointer(qh::ui::PointerArrow);
        msg::show(MsgIcon::Question, MsgButtons::Ok, a.failure);
        return;
    }
    msg::info(QStringLiteral("已存为协定方“%1”。").arg(name->trimmed()));
}

} // namespace qh::clinic::ui
