#pragma once
// The main window "欢迎使用青禾中医门诊系统": always maximised, a menu bar from which every task
// window is opened, and a multiple-document area that shows the clinic's background picture.
#include <QHash>
#include <QMainWindow>
#include <QMdiArea>
#include <QPixmap>

class QAction;
class QMenu;

namespace qh::ui {

// The central area: paints the background picture scaled to fill it, keeping its aspect.
class MdiBackground : public QMdiArea {
    Q_OBJECT
public:
    explicit MdiBackground(QWidget *parent = nullptr);
    void setPicture(const QPixmap &picture);
    const QPixmap &picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_picture;
};

class MDIFtarn : public QMainWindow {
    Q_OBJECT
public:
    explicit MDIFtarn(QWidget *parent = nullptr);
    ~MDIFtarn() override;

    // The one main window of the program (created on first use).
    static MDIFtarn *instance();
    static bool exists();

    // Shows the window maximised and loads the stored background picture.
    void Form_Load();

    void setBackgroundPicture(const QPixmap &picture);
    QPixmap backgroundPicture() const;
    MdiBackground *area() const { return m_area; }

    // The five top menus in the order DisableMainMenus switches them.
    QMenu *zycxll;
    QAction *zyexit;
    QMenu *ZymzZd;
    QMenu *ycrk;
    QMenu *xtwh;

    QAction *item(const QString &name) const { return m_items.value(name); }
    QList<QAction *> topMenuActions() const;
    // Enables or disables the five top menus; enabled items whose window or command is not
    // part of the program stay disabled.
    void switchMenus(bool enabled);
    // Runs a menu item as if it was chosen.
    void runItem(const QString &name);
    // The exit item: asks, then ends the program.
    void zyexit_Click();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QMenu *addTopMenu(const QString &name, const QString &caption);
    QAction *addItem(QMenu *menu, const QString &name, const QString &caption);
    void addSeparator(QMenu *menu, const QString &name);
    bool itemAvailable(const QString &name) const;
    void showInArea(QWidget *window);

    MdiBackground *m_area;
    QHash<QString, QAction *> m_items;
};

} // namespace qh::ui
