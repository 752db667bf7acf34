#include "clinic/ui/herbquickbox.h"
#include "clinic/ui/candidatekeys.h"

#include <QApplication>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

namespace qh::clinic::ui {

HerbQuickBox::HerbQuickBox(QWidget *parent, Shape shape) : QWidget(parent)
{
    LabKsyp = new QLabel(QStringLiteral("快速选药(&Q)"), this);
    LabKsyp->setObjectName(QStringLiteral("LabKsyp"));
    TxtKsyp = new QLineEdit(this);
    TxtKsyp->setObjectName(QStringLiteral("TxtKsyp"));
    TxtKsyp->setMaxLength(8);
    TxtKsyp->setToolTip(QStringLiteral("输入药名的拼音首字母（如 hq 黄芪）、拼音或汉字，回车或数字键选药，再输入剂量回车"));
    LabKsyp->setBuddy(TxtKsyp);
    LabKsjl = new QLabel(QStringLiteral("剂量"), this);
    LabKsjl->setObjectName(QStringLiteral("LabKsjl"));
    TxtKsjl = new QLineEdit(this);
    TxtKsjl->setObjectName(QStringLiteral("TxtKsjl"));
    TxtKsjl->setMaxLength(6);
    // Wide enough for what each box takes.
    const auto fit = [](QLineEdit *box, int chars) {
        box->setMinimumWidth(box->fontMetrics().horizontalAdvance(QString(chars, u'中')) + 16);
    };
    fit(TxtKsyp, 8);
    fit(TxtKsjl, 6);
    LisKsyp = new QListWidget(this);
    LisKsyp->setObjectName(QStringLiteral("LisKsyp"));
    LisKsyp->setFocusPolicy(Qt::NoFocus); // the keys stay in TxtKsyp
    LisKsyp->hide();

    auto *g = new QGridLayout(this);
    g->setContentsMargins(0, 0, 0, 0);
    if (shape == Shape::Row) {
        LisKsyp->setFlow(QListView::LeftToRight);
        LisKsyp->setWrapping(false);
        LisKsyp->setSpacing(LisKsyp->fontMetrics().horizontalAdvance(u'中') / 4);
        LisKsyp->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        LisKsyp->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        LisKsyp->setFixedHeight(LisKsyp->fontMetrics().height() + 2 * LisKsyp->spacing() + 2 * LisKsyp->frameWidth() + 6);
        QSizePolicy keep = LisKsyp->sizePolicy();
        keep.setRetainSizeWhenHidden(true);
        LisKsyp->setSizePolicy(keep);
        g->addWidget(LabKsyp, 0, 0);
        g->addWidget(TxtKsyp, 0, 1);
        g->addWidget(LabKsjl, 0, 2);
        g->addWidget(TxtKsjl, 0, 3);
        g->addWidget(LisKsyp, 1, 0, 1, 5);
        g->setColumnStretch(4, 1);
    } else {
        LisKsyp->setMaximumHeight(LisKsyp->fontMetrics().height() * 6);
        g->addWidget(LabKsyp, 0, 0);
        g->addWidget(TxtKsyp, 0, 1);
        g->addWidget(LabKsjl, 1, 0);
        g->addWidget(TxtKsjl, 1, 1, Qt::AlignLeft);
        g->addWidget(LisKsyp, 2, 0, 1, 2);
        g->setColumnStretch(1, 1);
    }

    TxtKsyp->installEventFilter(this);
    TxtKsjl->installEventFilter(this);
    connect(TxtKsyp, &QLineEdit::textEdited, this, [this] {
        m_herb.clear();
        refresh();
    });
    connect(LisKsyp, &QListWidget::currentRowChanged, this, [this](int row) {
        emit current(row >= 0 && row < m_shown.size() ? m_shown[row].name : QString());
    });
    connect(LisKsyp, &QListWidget::itemActivated, this, [this](QListWidgetItem *item) { take(LisKsyp->row(item)); });
}

void HerbQuickBox::clear()
{
    m_herb.clear();
    TxtKsyp->clear();
    TxtKsjl->clear();
    refresh();
}

void HerbQuickBox::refresh()
{
    m_shown = m_logic ? m_logic->candidates(TxtKsyp->text()) : QList<QuickHerb>();
    LisKsyp->clear();
    for (qsizetype i = 0; i < m_shown.size(); ++i) {
        QString line = QStringLiteral("%1  %2  %3").arg(i + 1).arg(m_shown[i].name, m_shown[i].unit);
        if (m_marker)
            if (const QString mark = m_marker(m_shown[i].name); !mark.isEmpty())
                line += QStringLiteral("  ") + mark;
        LisKsyp->addItem(line);
    }
    LisKsyp->setVisible(!m_shown.isEmpty());
    if (!m_shown.isEmpty())
        LisKsyp->setCurrentRow(0);
    else
        emit current(QString());
}

void HerbQuickBox::take(int row)
{
    if (row < 0 || row >= m_shown.size())
        return;
    m_herb = m_shown[row].name;
    TxtKsyp->setText(m_herb);
    m_shown.clear();
    LisKsyp->clear();
    LisKsyp->hide();
    TxtKsjl->clear();
    TxtKsjl->setFocus(Qt::OtherFocusReason);
}

bool HerbQuickBox::herbKey(int key, const QString &text)
{
    if (m_shown.isEmpty())
        return false;
    const CandidateKey k = candidateKey(LisKsyp, key, text);
    if (k.kind == CandidateKey::Take)
        take(k.row);
    else if (k.kind == CandidateKey::Clear)
        clear();
    return k.kind != CandidateKey::None;
}

bool HerbQuickBox::doseKey(int key)
{
    if (key == Qt::Key_Escape) {
        TxtKsjl->clear();
        TxtKsyp->setFocus(Qt::OtherFocusReason);
        TxtKsyp->selectAll();
        return true;
    }
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    const auto dose = HerbQuick::dose(TxtKsjl->text());
    if (m_herb.isEmpty() || !dose) {
        QApplication::beep();
        return true;
    }
    const QString herb = m_herb;
    clear();
    TxtKsyp->setFocus(Qt::OtherFocusReason);
    emit chosen(herb, *dose);
    return true;
}

bool HerbQuickBox::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (watched == TxtKsyp)
            return herbKey(key->key(), key->text()) || QWidget::eventFilter(watched, event);
        if (watched == TxtKsjl)
            return doseKey(key->key()) || QWidget::eventFilter(watched, event);
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace qh::clinic::ui
