#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>

#include "FerrymarkVersion.h"

namespace ferrymark {

namespace {

// The arguments the parser takes as positional, as raw bytes: the parser sees decoded
// text, which cannot hold a name that is not valid UTF-8. None of our options takes a value.
QList<QByteArray> positionalBytes(const QList<QByteArray>& arguments) {
    QList<QByteArray> out;
    bool onlyPositional = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QByteArray& a = arguments[i];
        if (!onlyPositional && a == "--") {
            onlyPositional = true;
        } else if (onlyPositional || !a.startsWith('-') || a == "-") {
            out.push_back(a);
        }
    }
    return out;
}

}  // namespace

CommandLine CommandLine::parse(const QList<QByteArray>& arguments,
                               const QByteArray& workingDirectory) {
    QStringList decoded;
    for (const QByteArray& a : arguments) {
        decoded.push_back(QString::fromLocal8Bit(a));
    }
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
    if (!parser.parse(decoded)) {
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
        const QList<QByteArray> raw = positionalBytes(arguments);
        const QByteArray folder =
            raw.size() == positional.size() ? raw.front() : positional.front().toLocal8Bit();
        // The running instance has another working folder: relative paths go absolute here.
        const bool absolute =
            folder.isEmpty() || folder.startsWith('/') || positional.front().contains(scheme);
        out.folder = absolute
                         ? folder
                         : workingDirectory + (workingDirectory.endsWith('/') ? "" : "/") + folder;
    }
    return out;
}

}  // namespace ferrymark
