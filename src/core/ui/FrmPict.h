#pragma once
// The picture window: never really seen; it reads the background picture stored in the status
// row and hands it to the main window.
#include <QWidget>

class QLabel;

namespace qh::ui {

class MDIFtarn;

class FrmPict : public QWidget {
    Q_OBJECT
public:
    explicit FrmPict(MDIFtarn *main);
    // Loads the stored picture into Picture1 and into the main window's background. A picture
    // that is missing or cannot be decoded leaves the background empty, without a message.
    void Form_Load();
    QLabel *Picture1;

private:
    MDIFtarn *m_main;
};

} // namespace qh::ui
