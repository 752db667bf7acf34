#include "core/ui/FrmPict.h"
#include "db/error.h"
#include "core/modutarnxt.h"
#include "core/setup.h"
#include "core/ui/uikit.h"

#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

#include <utility>

namespace qh::ui {

FrmPict::FrmPict(std::function<void(const QPixmap &)> show) : QWidget(nullptr, Qt::Tool), m_show(std::move(show))
{
    setObjectName(QStringLiteral("FrmPict"));
    Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    auto *lay = new QVBoxLayout(this);
    lay->addWidget(Picture1);
}

void FrmPict::Form_Load()
{
    QPixmap picture;
    try {
        auto s = Modutarnxt::clinicStore().open();
        const QByteArray bytes = setup::storedBackground(s);
        if (!bytes.isEmpty() && !picture.loadFromData(bytes))
            picture = QPixmap();
    } catch (const DbError &) {
        // The start routine has just proved the database; a failure here only costs the picture.
        picture = QPixmap();
    }
    Picture1->setPixmap(picture);
    if (!m_show)
        return;
    // The new background is painted in place. Hiding and re-showing the main window to redraw
    // it races the window manager, which can leave the window unmapped.
    m_show(picture);
    doEvents();
    doEvents();
}

} // namespace qh::ui
