#include "commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

namespace kolvane {

CommandLine readCommandLine(const QStringList& arguments, const std::string& workDir) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Pulls chosen fields out of every line of a delimited text file."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("Source file to load at start."),
                                 QStringLiteral("[FILE]"));

    CommandLine line;
    const QString usage = QStringLiteral("\n") + parser.helpText();
    if (!parser.parse(arguments)) {
        line.exitNow = 2;
        line.message = parser.errorText() + usage;
        return line;
    }
    if (parser.isSet(help)) {
        line.exitNow = 0;
        line.message = parser.helpText();
        return line;
    }
    if (parser.isSet(version)) {
        line.exitNow = 0;
        line.message = QCoreApplication::applicationName() + QLatin1Char(' ') +
                       QCoreApplication::applicationVersion() + QLatin1Char('\n');
        return line;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        line.exitNow = 2;
        line.message = QStringLiteral("Give at most one file.") + usage;
        return line;
    }
    // Made absolute against the directory the program starts in, so sourcePathEdit
    // says which file it is. Latin-1 keeps every byte through the cleaning.
    if (files.isEmpty()) return line;
    QString path = files.front();
    if (!path.startsWith(QLatin1Char('/'))) {
        path = QString::fromLatin1(workDir.data(), static_cast<qsizetype>(workDir.size())) +
               QLatin1Char('/') + path;
    }
    line.source = QDir::cleanPath(path).toLatin1().toStdString();
    return line;
}

}  // namespace kolvane
