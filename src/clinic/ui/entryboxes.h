#pragma once
// Entry boxes of the outpatient window: a multi-line box with a length limit for what the user
// types (texts set by the program, such as picked herbs, are kept whole) and the masked boxes.
// A multi-line box gives and takes its line breaks as CR LF, the way the stored texts, the
// printed paragraphs and the summaries hold them; a line break counts as two characters.
#include <QLineEdit>
#include <QPlainTextEdit>

namespace qh::clinic::ui {

class MemoBox : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit MemoBox(QWidget *parent = nullptr);
    // 0: no limit.
    void setMaxLength(int chars) { m_max = chars; }
    int maxLength() const { return m_max; }
    // The text with CR LF line breaks.
    QString text() const;
    // Sets the text from the program (CR LF, CR or LF line breaks); the limit does not cut it.
    void setText(const QString &text);
    void selectAll();

private:
    void enforceLimit();
    int m_max = 0;
    int m_allowed = 0; // length the program set, kept even when over the limit
    bool m_programmatic = false;
};

// A masked line box: "9999-99-99" date boxes hold 10 characters, "99" boxes 2; "_" marks an
// unfilled place. text() of such a box gives the full shown text with its blanks.
class MaskBox : public QLineEdit {
    Q_OBJECT
public:
    explicit MaskBox(const QString &mask = {}, QWidget *parent = nullptr);
    // The full text with literals and "_" in unfilled places.
    QString maskText() const { return displayText(); }
};

} // namespace qh::clinic::ui
