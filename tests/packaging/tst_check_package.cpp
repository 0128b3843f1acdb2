// SPDX-License-Identifier: MIT
#include "support/process_wait.h"

#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// Each row builds a small Debian package laid out like ours, from the real launcher, metainfo
// and icons, spoils one thing, and runs scripts/check-package on it.
namespace
{

const QString kSourceDir = QStringLiteral(ROTAVEX_SOURCE_DIR);
const QString kAppId = QStringLiteral("io.github.rotavex.Rotavex");

enum class Fault {
    None,
    SecondQtProgram,
    NoExecutable,
    NoLauncher,
    InvalidLauncher,
    ExecNotShipped,
    IconNotShipped,
    IconWrongSize,
    NoScalableIcon,
    NoMetainfo,
    MetainfoReleaseBehind,
    DependsWithoutWidgets,
    QtLibraryNotInDepends,
    BuildFileInstalled,
    MisnamedFile,
    NoCopyright,
    ChangelogBehind,
    TwoMainCategories,
};

bool writeFile(const QString &path, const QByteArray &contents)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

bool copyFile(const QString &from, const QString &to)
{
    QDir().mkpath(QFileInfo(to).path());
    return QFile::copy(from, to);
}

QByteArray readSource(const QString &relativePath)
{
    QFile file(kSourceDir + QLatin1Char('/') + relativePath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool copyProgram(const QString &from, const QString &to)
{
    return copyFile(from, to)
        && QFile::setPermissions(to,
            QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
}

QString hostArchitecture()
{
    QProcess dpkg;
    dpkg.start(QStringLiteral("dpkg"), { QStringLiteral("--print-architecture") });
    dpkg.waitForFinished(kProcessCapMs);
    return QString::fromLatin1(dpkg.readAllStandardOutput()).trimmed();
}

QByteArray gzipped(const QByteArray &text)
{
    QProcess gzip;
    gzip.start(QStringLiteral("gzip"), { QStringLiteral("-9nc") });
    gzip.write(text);
    gzip.closeWriteChannel();
    gzip.waitForFinished(kProcessCapMs);
    return gzip.readAllStandardOutput();
}

// A Qt tool from the development packages: an ELF program that links QtDBus, whose runtime
// package (libqt6dbus6) is not among the ones our package always depends on.
QString dbusLinkedProgram()
{
    return QLibraryInfo::path(QLibraryInfo::BinariesPath) + QStringLiteral("/qdbusxml2cpp");
}

// Lays out the package tree under dir/root with the fault applied and packs it; returns the
// .deb path, or an empty string when a step failed.
QString buildPackage(const QString &dir, Fault fault)
{
    const QString root = dir + QStringLiteral("/root");
    const QString share = root + QStringLiteral("/usr/share");
    const QString version =
        fault == Fault::MetainfoReleaseBehind ? QStringLiteral("1.0.1") : QStringLiteral("1.0.0");
    QStringList depends = { QStringLiteral("libc6"), QStringLiteral("libqt6core6 (>= 6.4.0)"),
        QStringLiteral("libqt6widgets6 (>= 6.1.2)"), QStringLiteral("qt6-qpa-plugins") };
    if (fault == Fault::DependsWithoutWidgets) {
        depends.removeAt(2);
    }
    if (fault == Fault::SecondQtProgram) {
        depends << QStringLiteral("libqt6dbus6 (>= 6.4.0)");
    }
    const QString arch = hostArchitecture();
    const QString control =
        QStringLiteral("Package: rotavex\nVersion: %1\nArchitecture: %2\n"
                       "Maintainer: Test <test@example.org>\nSection: misc\nPriority: optional\n"
                       "Depends: %3\nDescription: test package\n the package check's own test\n")
            .arg(version, arch, depends.join(QStringLiteral(", ")));
    bool ok = writeFile(root + QStringLiteral("/DEBIAN/control"), control.toUtf8());

    if (fault != Fault::NoExecutable) {
        ok = ok
            && copyProgram(QStandardPaths::findExecutable(QStringLiteral("true")),
                root + QStringLiteral("/usr/bin/rotavex"));
    }
    if (fault == Fault::SecondQtProgram || fault == Fault::QtLibraryNotInDepends) {
        ok = ok
            && copyProgram(dbusLinkedProgram(), root + QStringLiteral("/usr/bin/rotavex-devsim"));
    }
    if (fault == Fault::BuildFileInstalled) {
        ok = ok && writeFile(root + QStringLiteral("/usr/lib/librotavex_logic.a"), "!<arch>\n");
    }

    QByteArray desktop = readSource(QStringLiteral("packaging/") + kAppId + ".desktop");
    ok = ok && !desktop.isEmpty();
    if (fault == Fault::ExecNotShipped) {
        desktop.replace("\nExec=rotavex\n", "\nExec=rotavex-gui\n");
    } else if (fault == Fault::IconNotShipped) {
        desktop.replace("\nIcon=" + kAppId.toUtf8() + '\n', "\nIcon=rotavex\n");
    } else if (fault == Fault::InvalidLauncher) {
        desktop.append("Colour=green\n");
    } else if (fault == Fault::TwoMainCategories) {
        desktop.replace("\nCategories=Game;\n", "\nCategories=Game;Utility;\n");
    }
    if (fault != Fault::NoLauncher) {
        ok = ok && writeFile(share + "/applications/" + kAppId + ".desktop", desktop);
    }

    for (const int size : { 16, 32, 48, 64, 128, 256 }) {
        const int drawn = fault == Fault::IconWrongSize && size == 48 ? 32 : size;
        ok = ok
            && copyFile(
                kSourceDir + QStringLiteral("/src/main_window/icons/rotavex-%1.png").arg(drawn),
                share + QStringLiteral("/icons/hicolor/%1x%1/apps/").arg(size) + kAppId + ".png");
    }
    if (fault != Fault::NoScalableIcon) {
        ok = ok
            && copyFile(kSourceDir + "/src/main_window/icons/" + kAppId + ".svg",
                share + "/icons/hicolor/scalable/apps/" + kAppId + ".svg");
    }
    if (fault != Fault::NoMetainfo) {
        ok = ok
            && copyFile(kSourceDir + "/packaging/" + kAppId + ".metainfo.xml",
                share + "/metainfo/" + kAppId + ".metainfo.xml");
    }
    const QString doc = share + QStringLiteral("/doc/rotavex/");
    if (fault != Fault::NoCopyright) {
        ok = ok && copyFile(kSourceDir + QStringLiteral("/packaging/copyright"), doc + "copyright");
    }
    QByteArray changelog = readSource(QStringLiteral("packaging/changelog"));
    if (fault == Fault::ChangelogBehind) {
        changelog.replace("rotavex (1.0.0)", "rotavex (0.9.0)");
    }
    ok = ok && !changelog.isEmpty() && writeFile(doc + "changelog.gz", gzipped(changelog));
    if (!ok) {
        return {};
    }

    const QString deb = dir
        + (fault == Fault::MisnamedFile ? QStringLiteral("/rotavex.deb")
                                        : QStringLiteral("/rotavex_%1_%2.deb").arg(version, arch));
    QProcess dpkgDeb;
    dpkgDeb.start(QStringLiteral("dpkg-deb"),
        { QStringLiteral("--root-owner-group"), QStringLiteral("-Zgzip"), QStringLiteral("--build"),
            root, deb });
    if (!dpkgDeb.waitForFinished(kProcessCapMs) || dpkgDeb.exitCode() != 0) {
        qWarning().noquote() << dpkgDeb.readAllStandardError();
        return {};
    }
    return deb;
}

struct CheckRun {
    int exitCode = -1;
    QString output;
};

// Lintian takes seconds a package, so only the rows about what it judges ask for it.
CheckRun runCheck(const QString &deb, bool lintian = true)
{
    QProcess check;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ROTAVEX_CHECK_LINTIAN"), lintian ? "1" : "0");
    check.setProcessEnvironment(environment);
    check.setProcessChannelMode(QProcess::MergedChannels);
    check.start(
        QStringLiteral("bash"), { kSourceDir + QStringLiteral("/scripts/check-package"), deb });
    if (!check.waitForFinished(kProcessCapMs)) {
        return {};
    }
    return { check.exitCode(), QString::fromUtf8(check.readAll()) };
}

} // namespace

class tst_check_package : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void reportsFault_data();
    void reportsFault();
    void refusesMissingPackage();
};

void tst_check_package::initTestCase()
{
    for (const char *tool : { "dpkg-deb", "dpkg-query", "file", "readelf", "ldd",
             "desktop-file-validate", "appstreamcli", "gzip", "lintian" }) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            QSKIP(qPrintable(QStringLiteral("%1 is missing; install dpkg-dev file binutils "
                                            "desktop-file-utils appstream gzip lintian")
                                 .arg(QLatin1String(tool))));
        }
    }
    QVERIFY2(QFileInfo(dbusLinkedProgram()).isExecutable(), qPrintable(dbusLinkedProgram()));
}

void tst_check_package::reportsFault_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<bool>("lintian");
    QTest::addColumn<QStringList>("expectedFailures");

    const QString launcher = QStringLiteral("launcher usr/share/applications/") + kAppId;
    QTest::newRow("complete package") << Fault::None << true << QStringList();
    QTest::newRow("second program whose Qt library is in Depends")
        << Fault::SecondQtProgram << false << QStringList();
    QTest::newRow("no executable") << Fault::NoExecutable << false
                                   << QStringList { "usr/bin/rotavex is an ELF executable",
                                          "launcher Exec names an installed program" };
    QTest::newRow("no launcher") << Fault::NoLauncher << false
                                 << QStringList { launcher + ".desktop is installed",
                                        "launcher passes desktop-file-validate without a warning",
                                        "launcher Exec names an installed program",
                                        "launcher Icon names an installed icon" };
    QTest::newRow("launcher with an unknown key")
        << Fault::InvalidLauncher << false
        << QStringList { "launcher passes desktop-file-validate without a warning" };
    QTest::newRow("Exec names a program the package lacks")
        << Fault::ExecNotShipped << false
        << QStringList { "launcher Exec names an installed program" };
    QTest::newRow("Icon names no installed icon")
        << Fault::IconNotShipped << false
        << QStringList { "launcher Icon names an installed icon" };
    QTest::newRow("32 px picture in the 48 px folder")
        << Fault::IconWrongSize << false
        << QStringList { "icon hicolor/48x48/apps/" + kAppId + ".png is a 48 px PNG" };
    QTest::newRow("no scalable icon")
        << Fault::NoScalableIcon << false
        << QStringList { "icon hicolor/scalable/apps/" + kAppId + ".svg is an SVG" };
    QTest::newRow("no metainfo")
        << Fault::NoMetainfo << false
        << QStringList { "metainfo usr/share/metainfo/" + kAppId + ".metainfo.xml is installed",
               "metainfo passes appstreamcli validate",
               "metainfo id, launchable and newest release match the package" };
    QTest::newRow("metainfo release behind the package version")
        << Fault::MetainfoReleaseBehind << false
        << QStringList { "metainfo id, launchable and newest release match the package",
               "usr/share/doc/rotavex/changelog.gz starts with the package version" };
    QTest::newRow("Depends without the Qt widgets runtime")
        << Fault::DependsWithoutWidgets << false << QStringList { "Depends lists libqt6widgets6" };
    QTest::newRow("program linking a Qt library missing from Depends")
        << Fault::QtLibraryNotInDepends << false << QStringList { "Depends lists libqt6dbus6" };
    QTest::newRow("static library installed into usr/lib")
        << Fault::BuildFileInstalled << false
        << QStringList { "files lie under /usr/bin and /usr/share, owned by root" };
    QTest::newRow("file name not from the control fields")
        << Fault::MisnamedFile << false
        << QStringList { "file name is <package>_<version>_<arch>.deb" };
    QTest::newRow("no copyright file")
        << Fault::NoCopyright << true
        << QStringList { "usr/share/doc/rotavex/copyright carries the MIT licence",
               "lintian reports no errors" };
    QTest::newRow("changelog behind the package version")
        << Fault::ChangelogBehind << false
        << QStringList { "usr/share/doc/rotavex/changelog.gz starts with the package version" };
    // Two main categories list the program twice in menus; the validator only hints at it.
    QTest::newRow("launcher in two main categories")
        << Fault::TwoMainCategories << false
        << QStringList { "launcher passes desktop-file-validate without a warning" };
}

void tst_check_package::reportsFault()
{
    QFETCH(Fault, fault);
    QFETCH(bool, lintian);
    QFETCH(QStringList, expectedFailures);

    const QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString deb = buildPackage(dir.path(), fault);
    QVERIFY(!deb.isEmpty());
    const CheckRun run = runCheck(deb, lintian);

    QStringList failures;
    for (const QString &line : run.output.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("FAIL "))) {
            failures << line.mid(5);
        }
    }
    if (failures != expectedFailures) {
        qInfo().noquote() << run.output;
    }
    QCOMPARE(failures, expectedFailures);
    QCOMPARE(run.exitCode, expectedFailures.isEmpty() ? 0 : 1);
    QVERIFY(
        run.output.endsWith(QStringLiteral(" passed, %1 failed\n").arg(expectedFailures.size())));
}

void tst_check_package::refusesMissingPackage()
{
    const QTemporaryDir dir;
    const CheckRun run = runCheck(dir.path() + QStringLiteral("/rotavex_1.0.0_amd64.deb"));
    QCOMPARE(run.exitCode, 2);
    QVERIFY(!run.output.contains(QLatin1String("passed")));
}

QTEST_GUILESS_MAIN(tst_check_package)
#include "tst_check_package.moc"
