#include "commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <filesystem>

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

    const QString usage = QStringLiteral("\n") + parser.helpText();
    if (!parser.parse(arguments)) return {{}, 2, parser.errorText() + usage};
    if (parser.isSet(help)) return {{}, 0, parser.helpText()};
    if (parser.isSet(version)) {
        return {{},
                0,
                QCoreApplication::applicationName() + QLatin1Char(' ') +
                    QCoreApplication::applicationVersion() + QLatin1Char('\n')};
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) return {{}, 2, QStringLiteral("Give at most one file.") + usage};
    // Made absolute against the directory the program starts in, so sourcePathEdit
    // says which file it is. Latin-1 keeps every byte through the cleaning.
    if (files.isEmpty()) return {};
    QString path = files.front();
    if (!path.startsWith(QLatin1Char('/'))) {
        path = QString::fromLatin1(workDir.data(), static_cast<qsizetype>(workDir.size())) +
               QLatin1Char('/') + path;
    }
    return {QDir::cleanPath(path).toLatin1().toStdString(), std::nullopt, {}};
}

std::string workDir() {
    std::error_code error;
    std::string dir = std::filesystem::current_path(error).native();
    return error ? "." : dir;
}

}  // namespace kolvane
