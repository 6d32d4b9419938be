#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>

#include "FerrymarkVersion.h"

namespace ferrymark {

CommandLine CommandLine::parse(const QStringList& arguments, const QString& workingDirectory) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "CommandLine",
        "Pastes and moves the files copied in your file manager. Without options it starts "
        "in the tray; with --paste or --move it hands the command to the running Ferrymark, "
        "starting it when none runs."));
    const QCommandLineOption help(
        {QStringLiteral("h"), QStringLiteral("help")},
        QCoreApplication::translate("CommandLine", "Show this help and exit."));
    const QCommandLineOption version(
        {QStringLiteral("v"), QStringLiteral("version")},
        QCoreApplication::translate("CommandLine", "Show the version and exit."));
    const QCommandLineOption paste(
        QStringLiteral("paste"),
        QCoreApplication::translate("CommandLine",
                                    "Paste the copied files into FOLDER, or, without one, into "
                                    "the folder of the file-manager window in front."));
    const QCommandLineOption move(
        QStringLiteral("move"),
        QCoreApplication::translate("CommandLine",
                                    "Move the copied files into FOLDER, or, without one, into "
                                    "the folder of the file-manager window in front."));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(paste);
    parser.addOption(move);
    parser.addPositionalArgument(
        QStringLiteral("FOLDER"),
        QCoreApplication::translate("CommandLine", "A folder path or URI, for --paste or --move."),
        QStringLiteral("[FOLDER]"));

    CommandLine out;
    if (!parser.parse(arguments)) {
        out.action = Action::Error;
        out.text = parser.errorText();
        return out;
    }
    if (parser.isSet(help)) {
        out.action = Action::Help;
        out.text = parser.helpText();
        return out;
    }
    if (parser.isSet(version)) {
        out.action = Action::Version;
        out.text = QStringLiteral("Ferrymark " FERRYMARK_VERSION "\n");
        return out;
    }
    const QStringList positional = parser.positionalArguments();
    if (parser.isSet(paste) && parser.isSet(move)) {
        out.action = Action::Error;
        out.text = QCoreApplication::translate("CommandLine", "Give --paste or --move, not both.");
        return out;
    }
    if (!parser.isSet(paste) && !parser.isSet(move)) {
        if (!positional.isEmpty()) {
            out.action = Action::Error;
            out.text =
                QCoreApplication::translate("CommandLine", "A folder goes with --paste or --move.");
        }
        return out;
    }
    if (positional.size() > 1) {
        out.action = Action::Error;
        out.text = QCoreApplication::translate("CommandLine", "Give at most one folder.");
        return out;
    }
    out.action = parser.isSet(paste) ? Action::Paste : Action::Move;
    if (!positional.isEmpty()) {
        static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:"));
        const QString& folder = positional.front();
        // The running instance has another working folder: relative paths go absolute here.
        out.folder = folder.contains(scheme) || folder.isEmpty()
                         ? folder
                         : QDir(workingDirectory).absoluteFilePath(folder);
    }
    return out;
}

}  // namespace ferrymark
