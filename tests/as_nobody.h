#pragma once

// File permissions do not bind root, and CI runs the tests as root. A check that needs them (a
// read-only folder) runs again, under root, as the user nobody, instead of being skipped:
//
//     if (::geteuid() == 0) {
//         const QString failure = rerunAsNobody(*this);
//         QVERIFY2(failure.isEmpty(), qPrintable(failure));
//         return;
//     }

#include <QCoreApplication>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QTest>

namespace hakomiru::testing {

// Runs the current test function and data row of `test` again, in a child process of this test
// program with the user and group nobody (65534) and no other groups. Returns what went wrong
// there, or an empty string when the row passed (a skip is not a pass).
inline QString rerunAsNobody(const QObject& test)
{
    const QString function = QString::fromUtf8(QTest::currentTestFunction());
    const QString tag = QString::fromUtf8(QTest::currentDataTag());
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("XDG_RUNTIME_DIR")); // root's, which nobody may not use
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QStringLiteral("setpriv"), {"--reuid=65534", "--regid=65534", "--clear-groups",
                                            QCoreApplication::applicationFilePath(),
                                            tag.isEmpty() ? function : function + ':' + tag});
    if (!child.waitForFinished(120000))
        return QStringLiteral("setpriv did not run the row as nobody: ") + child.errorString();
    const QString output = QString::fromUtf8(child.readAll());
    const QString passed =
        QStringLiteral("PASS   : %1::%2(%3)")
            .arg(QString::fromLatin1(test.metaObject()->className()), function, tag);
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0 ||
        !output.contains(passed))
        return QStringLiteral("as nobody:\n") + output;
    return {};
}

} // namespace hakomiru::testing
