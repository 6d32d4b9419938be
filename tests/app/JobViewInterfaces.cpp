#include "JobViewInterfaces.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QXmlStreamReader>

namespace ferrymark::testing {

QMap<QString, QString> JobViewInterfaces::declared() {
    return {
        {QStringLiteral("org.kde.JobViewServer"), QStringLiteral(R"(
  <interface name="org.kde.JobViewServer">
    <method name="requestView">
      <arg direction="in" type="s" name="appName"/>
      <arg direction="in" type="s" name="appIconName"/>
      <arg direction="in" type="i" name="capabilities"/>
      <arg direction="out" type="o" name="trackerPath"/>
    </method>
  </interface>)")},
        {QStringLiteral("org.kde.JobViewServerV2"), QStringLiteral(R"(
  <interface name="org.kde.JobViewServerV2">
    <method name="requestView">
      <arg direction="in" type="s" name="desktopEntry"/>
      <arg direction="in" type="i" name="capabilities"/>
      <arg direction="in" type="a{sv}" name="hints"/>
      <arg direction="out" type="o" name="trackerPath"/>
    </method>
  </interface>)")},
        {QStringLiteral("org.kde.JobViewV2"), QStringLiteral(R"(
  <interface name="org.kde.JobViewV2">
    <method name="terminate"><arg direction="in" type="s" name="errorMessage"/></method>
    <method name="setSuspended"><arg direction="in" type="b" name="suspended"/></method>
    <method name="setTotalAmount">
      <arg direction="in" type="t" name="amount"/><arg direction="in" type="s" name="unit"/>
    </method>
    <method name="setProcessedAmount">
      <arg direction="in" type="t" name="amount"/><arg direction="in" type="s" name="unit"/>
    </method>
    <method name="setPercent"><arg direction="in" type="u" name="percent"/></method>
    <method name="setSpeed"><arg direction="in" type="t" name="bytesPerSecond"/></method>
    <method name="setInfoMessage"><arg direction="in" type="s" name="message"/></method>
    <method name="setDescriptionField">
      <arg direction="in" type="u" name="number"/><arg direction="in" type="s" name="name"/>
      <arg direction="in" type="s" name="value"/><arg direction="out" type="b" name="res"/>
    </method>
    <method name="clearDescriptionField"><arg direction="in" type="u" name="number"/></method>
    <method name="setDestUrl"><arg direction="in" type="v" name="destUrl"/></method>
    <method name="setError"><arg direction="in" type="u" name="errorCode"/></method>
    <signal name="suspendRequested"/>
    <signal name="resumeRequested"/>
    <signal name="cancelRequested"/>
  </interface>)")},
        {QStringLiteral("org.kde.JobViewV3"), QStringLiteral(R"(
  <interface name="org.kde.JobViewV3">
    <method name="terminate">
      <arg direction="in" type="u" name="errorCode"/>
      <arg direction="in" type="s" name="errorMessage"/>
      <arg direction="in" type="a{sv}" name="hints"/>
    </method>
    <method name="update"><arg direction="in" type="a{sv}" name="properties"/></method>
    <signal name="updateRequested"/>
    <signal name="suspendRequested"/>
    <signal name="resumeRequested"/>
    <signal name="cancelRequested"/>
  </interface>)")},
    };
}

QMap<QString, QString> JobViewInterfaces::installed(QString* where) {
    // Plasma builds its adaptors from these interfaces and keeps each one's XML in the
    // library, for introspection.
    QStringList candidates;
    for (const QString& dir : {QStringLiteral("/usr/lib"), QStringLiteral("/usr/lib64")}) {
        const QDir top(dir);
        candidates << top.filePath(QStringLiteral("libnotificationmanager.so.1"));
        for (const QString& arch : top.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            candidates << top.filePath(arch + QStringLiteral("/libnotificationmanager.so.1"));
        }
    }
    QMap<QString, QString> found;
    for (const QString& path : candidates) {
        QFile library(path);
        if (!library.open(QIODevice::ReadOnly)) {
            continue;
        }
        const QString text = QString::fromLatin1(library.readAll());
        static const QRegularExpression element(
            QStringLiteral(
                R"re(<interface name="(org\.kde\.JobView[A-Za-z0-9]*)">.*?</interface>)re"),
            QRegularExpression::DotMatchesEverythingOption);
        for (auto match = element.globalMatch(text); match.hasNext();) {
            const auto m = match.next();
            found.insert(m.captured(1), m.captured(0));
        }
        if (where) {
            *where = path;
        }
        break;
    }
    return found;
}

QMap<QString, QString> JobViewInterfaces::signatures(const QString& xml, const QString& interface) {
    QMap<QString, QString> out;
    QXmlStreamReader reader(QStringLiteral("<node>") + xml + QStringLiteral("</node>"));
    QString current;
    QString kind;
    QString member;
    QString in;
    QString outArgs;
    while (!reader.atEnd()) {
        reader.readNext();
        const auto attribute = [&](const char* name) {
            return reader.attributes().value(QLatin1String(name)).toString();
        };
        if (reader.isStartElement()) {
            if (reader.name() == QLatin1String("interface")) {
                current = attribute("name");
            } else if (current == interface && (reader.name() == QLatin1String("method") ||
                                                reader.name() == QLatin1String("signal"))) {
                kind = reader.name().toString();
                member = attribute("name");
                in = QStringLiteral("");
                outArgs = QStringLiteral("");
            } else if (current == interface && reader.name() == QLatin1String("arg")) {
                (kind == QLatin1String("method") && attribute("direction") == QLatin1String("out")
                     ? outArgs
                     : in) += attribute("type");
            }
        } else if (reader.isEndElement() && current == interface &&
                   (reader.name() == QLatin1String("method") ||
                    reader.name() == QLatin1String("signal"))) {
            out.insert(kind + QLatin1Char(' ') + member, kind == QLatin1String("method")
                                                             ? in + QStringLiteral(" -> ") + outArgs
                                                             : in);
        } else if (reader.isEndElement() && reader.name() == QLatin1String("interface")) {
            current.clear();
        }
    }
    return out;
}

}  // namespace ferrymark::testing
