#pragma once
// The progress window of long commands: always on top, a progress bar and two texts. Only the
// command that opened it closes it.
#include <QWidget>

class QLabel;
class QProgressBar;

namespace qh::ui {

class Frmjdys : public QWidget {
    Q_OBJECT
public:
    // Placed over the given window (the main window when null and one exists, else the screen).
    explicit Frmjdys(QWidget *over = nullptr);
    // Bar at 0, stays on top, shown.
    void Form_Load();
    // Bar and Labpre ("n%").
    void setProgress(int percent);
    // The caller's own text in Labprg.
    void setStepText(const QString &text);

    QProgressBar *ProgBar;
    QLabel *Labpre;
    QLabel *Labprg;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *m_over;
};

} // namespace qh::ui
