#!/usr/bin/env bash
# Source guards: every message box and file dialog goes through the seam in src/core/ui/uikit.cpp,
# and the logic files of each subsystem (outside ui/) use no widgets.
set -euo pipefail
cd "$(dirname "$0")/.."
fail=0
hits=$(grep -rnE 'QMessageBox|QFileDialog|QInputDialog' src --include='*.cpp' --include='*.h' | grep -v '^src/core/ui/uikit.cpp:' || true)
if [ -n "$hits" ]; then
  echo "Message boxes and file dialogs must go through qh::msg / the file dialog seam:"
  echo "$hits"
  fail=1
fi
hits=$(find src -name '*.cpp' -o -name '*.h' | grep -v '/ui/' | grep -v '^src/app/' | xargs grep -nE '#include <(QtWidgets/|QWidget|QLineEdit|QComboBox|QPushButton|QAbstractButton|QTableWidget|QTreeWidget|QMainWindow|QDialog|QLabel|QApplication)' || true)
if [ -n "$hits" ]; then
  echo "Logic files must not use widgets (move window code to ui/):"
  echo "$hits"
  fail=1
fi
if [ "$fail" -eq 0 ]; then
  echo "guards: ok"
fi
exit "$fail"
