#include "stock/ui/countsheetcommand.h"
#include "core/modutarnxt.h"
#include "base/clock.h"
#include "db/error.h"
#include "core/messages.h"
#include "core/ui/uikit.h"
#include "stock/countsheet.h"
#include "stock/stockquery.h"

namespace qh::stock::ui {

namespace {
constexpr int PauseMs = 3000; // before the completion message
} // namespace

void YckcPd_Click()
{
    // Destroyed in reverse order: the arrow comes back first, then the menus, on every path.
    qh::ui::MenusOff menus;
    qh::ui::BusyPointer busy;
    try {
        const auto written = [] {
            auto s = Modutarnxt::clinicStore().open();
            return countsheet::write(s, [] { qh::ui::doEvents(); });
        }();
        if (!written) {
            msg::info(countsheet::emptyTableMessage());
            return;
        }
    } catch (const DbError &e) {
        msg::info(e.description());
        return;
    }
    qh::clock::pause(PauseMs);
    msg::info(stockquery::reportWrittenMessage());
}

} // namespace qh::stock::ui
