#pragma once
// The picture window: never really seen; it reads the background picture stored in the status
// row and hands it to the main window.
#include <QWidget>

#include <functional>

class QLabel;
class QPixmap;

namespace qh::ui {

class FrmPict : public QWidget {
    Q_OBJECT
public:
    // show gets the picture for the main window's background (none: only Picture1 has it).
    explicit FrmPict(std::function<void(const QPixmap &)> show);
    // Loads the stored picture into Picture1 and into the main window's background. A picture
    // that is missing or cannot be decoded leaves the background empty, without a message.
    void Form_Load();
    QLabel *Picture1;

private:
    std::function<void(const QPixmap &)> m_show;
};

} // namespace qh::ui
