#pragma once
// The classical formulas (经方) of 伤寒论 and 金匮要略 that ship with the program
// (data/classical-formulas.txt): one formula a line, six fields separated by "｜". The file's
// header states the format and the rule by which the original amounts became modern doses.
#include <QList>
#include <QString>

namespace qh::clinic {

struct ClassicalFormula {
    QString name;        // 方名 (fjmc)
    QString source;      // 出处 (fjly): "伤寒论" or "金匮要略"
    QString composition; // 组成: prescription text, "桂枝9克，白芍9克，……，大枣4枚"
    QString actions;     // 功用 (fjgy), may be empty
    QString indications; // 主治 (fjzz), may be empty
    QString usage;       // 用法 (fjyf), may be empty
};

// Reads a formula file. Lines starting with "#" and blank lines are skipped. A malformed line
// (wrong number of fields, empty name, unknown source, a composition item that is not a herb
// name followed by a positive dose in 克 or 枚, a name given twice) stops the reading: the
// result is empty and *error says "第 N 行：……". *error is "" when the text was read.
QList<ClassicalFormula> readClassicalFormulas(const QString &text, QString *error);

// The file that ships with the program.
QList<ClassicalFormula> shippedClassicalFormulas(QString *error);

} // namespace qh::clinic
