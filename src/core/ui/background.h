#pragma once
// The clinic's background picture on the main window, for the windows that change it without
// knowing the main window (it is made when there is none yet, and shown maximised if hidden).
class QPixmap;

namespace qh::ui {

void showClinicBackground(const QPixmap &picture);

} // namespace qh::ui
