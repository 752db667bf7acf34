#!/usr/bin/env bash
# Source guards: every message box and file dialog goes through the seam in src/core/ui/uikit.cpp,
# and the logic files of each subsystem (everything outside ui/ and src/app) show nothing: no
# widgets, no window headers, no application object, no message boxes, clipboard or desktop
# services, no event loop, and no controls named by object-name strings.
set -euo pipefail
cd "$(dirname "$0")/.."
fail=0

report() { # report <title> <hits>
  if [ -n "$2" ]; then
    echo "$1"
    echo "$2"
    fail=1
  fi
}

hits=$(grep -rnE 'QMessageBox|QFileDialog|QInputDialog' src --include='*.cpp' --include='*.h' | grep -v '^src/core/ui/uikit.cpp:' || true)
report "Message boxes and file dialogs must go through qh::msg / the file dialog seam:" "$hits"

mapfile -t logic < <(find src \( -name '*.cpp' -o -name '*.h' \) | grep -v '/ui/' | grep -v '^src/app/' | sort)

# Every header of the installed QtWidgets include folder, whichever way it is spelled.
widgets_dir=""
for d in /usr/include/x86_64-linux-gnu/qt6/QtWidgets /usr/include/qt6/QtWidgets \
         "$(qmake6 -query QT_INSTALL_HEADERS 2>/dev/null || true)/QtWidgets"; do
  if [ -d "$d" ]; then widgets_dir=$d; break; fi
done
if [ -z "$widgets_dir" ]; then
  echo "guards: the QtWidgets include folder was not found"
  exit 1
fi
hits=$(grep -nHoE '#[[:space:]]*include[[:space:]]*<[^>]+>' "${logic[@]}" \
  | awk -v list="$(ls "$widgets_dir" | tr '\n' ' ')" '
      BEGIN { n = split(list, names, " "); for (i = 1; i <= n; i++) widget[names[i]] = 1; widget["QtWidgets"] = 1 }
      { h = $0; sub(/^.*</, "", h); sub(/>$/, "", h); sub(/^QtWidgets\//, "", h); if (h in widget) print }' || true)
report "Logic files must not include widget headers (move window code to ui/):" "$hits"

hits=$(grep -nHE '#[[:space:]]*include[[:space:]]*"([^"]*/)?ui/' "${logic[@]}" || true)
report "Logic files must not include window headers (\"…/ui/…\"):" "$hits"

hits=$(grep -nHE '\bqApp\b|QApplication::|setOverrideCursor|findChild|QString focus\b' "${logic[@]}" || true)
report "Logic files must not reach the application, the cursor or controls by name:" "$hits"

hits=$(grep -nHE 'processEvents' "${logic[@]}" | grep -v '^src/base/clock.cpp:' || true)
report "Only src/base/clock.cpp runs pending events in logic files:" "$hits"

hits=$(grep -nHE '\bmsg::(info|ask|plain|show)\b|#[[:space:]]*include[[:space:]]*<(QtGui/)?(QClipboard|QDesktopServices|QGuiApplication)>|\bQClipboard\b|\bQDesktopServices\b|\bQGuiApplication\b' \
  "${logic[@]}" || true)
report "Logic files show nothing (no qh::msg, clipboard, desktop services or GUI application):" "$hits"

# The database is found in one place: logic takes the session of the action (or the store) from
# its caller, only windows, src/app and the start routine's caller ask for the clinic's store,
# and only the store reads the database settings.
hits=$(grep -nHE '\bclinicStore[[:space:]]*\(' "${logic[@]}" | grep -vE '^src/core/modutarnxt\.(h|cpp):' || true)
report "Logic files must not ask for the clinic's store (take the db::Session or db::Store from the caller):" "$hits"
hits=$(grep -rnE '\bDatabaseSettings::load[[:space:]]*\(' src tests bench tools fuzz --include='*.cpp' --include='*.h' \
  | grep -vE '^src/db/(store|settings)\.(h|cpp):' || true)
report "Only the store reads the database settings (db::Store::fromSettings):" "$hits"

# The layers below the clinic reach nothing above them: src/base includes only itself, src/db only
# itself and src/base (what it must know of the clinic comes through db/vocabulary.h at run time).
hits=$(grep -rnE '#[[:space:]]*include[[:space:]]*"(core|clinic|stock|query|maint|print|app|db)/' src/base || true)
report "src/base includes nothing of the program above it:" "$hits"
hits=$(grep -rnE '#[[:space:]]*include[[:space:]]*"(core|clinic|stock|query|maint|print|app)/' src/db || true)
report "src/db includes only src/db and src/base (the clinic tells it what it must know through db/vocabulary.h):" "$hits"
# What differs between the engines is the storage layer's (src/db: db/features.h, db/backup.h):
# nothing else asks which engine it runs on or writes a statement only one engine knows (the file's
# catalogue and pragmas, the server's pg_* functions and catalogues). "#pragma once" is the compiler's.
hits=$(grep -rnE 'Engine::|\bengine\(\)|sqlite_master|\bpragma |\bpg_|information_schema' src --include='*.cpp' --include='*.h' \
  | grep -vE '^src/db/' \
  | grep -vE '^[^:]+:[0-9]+:[[:space:]]*#[[:space:]]*pragma once' || true)
report "Only the storage layer (src/db) knows the engines (ask db/features.h or db/backup.h):" "$hits"

if [ "$fail" -eq 0 ]; then
  echo "guards: ok"
fi
exit "$fail"
