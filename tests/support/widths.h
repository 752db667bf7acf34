#pragma once
// Whether the boxes and grid columns of a window are wide enough for what they hold, at the
// window's own font: the check every window test can run on a shown window.
#include <QStringList>

class QWidget;

namespace qh::test {

// The controls of window that are too narrow, one line each ("TxtBlbh: 40 px for 96 px").
// A text box must show its longest allowed content: maxLength characters (capped at
// longTextChars for long free texts), each as wide as a CJK character unless the box takes
// only digits (an input mask or a validator), then as wide as a digit. A combo box must show
// its widest item. A grid column must show its header text, and the widest of its cells
// (typical values the test put in), without cutting either; a tree view's column likewise, its
// first 50 shown rows indented by their depth.
QStringList narrowControls(const QWidget *window, int longTextChars = 10);

} // namespace qh::test
