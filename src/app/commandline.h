#pragma once
// The program's command line, read before any window exists (no display is needed for it):
//   qinghe [--help | --version | --backup FILE | --export-to-server]
// Help and version are answered on standard output in the language of the user's locale
// (Simplified Chinese for zh*, English otherwise); an unknown option or argument is reported on
// standard error. Qt's own window-system options (-platform, -style, ...) are accepted and left
// to QApplication.
#include <QString>
#include <QStringList>

namespace qh::app {

enum class CommandLineLanguage { Chinese, English };

struct CommandLine {
    bool answered = false;  // help, version or an error was written: the program ends with exitCode
    int exitCode = 0;
    QString output;         // the text for standard output (answered, exitCode 0)
    QString error;          // the text for standard error (answered, exitCode 2)
    QString backupPath;     // --backup FILE: a verified backup to FILE without windows, then the end
    bool exportToServer = false; // --export-to-server: the data file copied onto the server, then the end
};

// The language of the answers: Chinese when the first UI language of the locale is Chinese.
CommandLineLanguage commandLineLanguage();

// Parses the arguments (the program name first) and builds the answer; prints nothing.
CommandLine parseCommandLine(const QStringList &arguments, CommandLineLanguage language);

// Parses argv, prints the answer and returns it. Creates and removes a QCoreApplication of its own,
// so call it before the QApplication is made.
CommandLine readCommandLine(int argc, char *argv[]);

} // namespace qh::app
