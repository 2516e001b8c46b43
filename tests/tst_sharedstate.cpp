// SPDX-License-Identifier: GPL-3.0-or-later
#include "hexcolor.h"
#include "sharedstate.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <limits>
#include <pwd.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const SharedState::Config sample {
    HomeLocation { 47.6062, -122.3321, u"Seattle \"Home\" – Ballard"_s },
    25.5,
    u"km"_s,
    u"#73FF99"_s,
};

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeRaw(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Puts an environment variable back as it was when the test leaves, passed or failed.
class EnvGuard {
public:
    explicit EnvGuard(const char *name)
        : m_name(name)
        , m_wasSet(qEnvironmentVariableIsSet(name))
        , m_value(qgetenv(name))
    {
    }
    ~EnvGuard()
    {
        if (m_wasSet)
            qputenv(m_name, m_value);
        else
            qunsetenv(m_name);
    }

private:
    const char *m_name;
    bool m_wasSet;
    QByteArray m_value;
};

} // namespace

class TestSharedState : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void components_data();
    void components();
    void hexString_data();
    void hexString();
    void luminance_data();
    void luminance();

    void roundTrip();
    void writesCompactObject();
    void writeLeavesOnlyTheFile();
    void writeSkipsOptionalKeys();
    void unencodableConfigLeavesFileUntouched();
    void read_data();
    void read();
    void missingFileAndClear();
    void uncreatableDirectory();
    void directoryFollowsXdgDataHome();
};

void TestSharedState::components_data()
{
    // -1 in red marks an absent result.
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("red");
    QTest::addColumn<int>("green");
    QTest::addColumn<int>("blue");

    QTest::addRow("lower case, two leading spaces") << u"  #73ff99"_s << 0x73 << 0xFF << 0x99;
    QTest::addRow("upper case") << u"#73FF99"_s << 0x73 << 0xFF << 0x99;
    QTest::addRow("no number sign") << u"0a0B0c"_s << 0x0A << 0x0B << 0x0C;
    QTest::addRow("tabs and spaces around") << u"\t #000000 \t"_s << 0 << 0 << 0;
    QTest::addRow("no-break space around") << u"\u00A0#FFFFFF\u3000"_s << 255 << 255 << 255;
    QTest::addRow("plus and five digits") << u"+73FF9"_s << 0x07 << 0x3F << 0xF9;
    QTest::addRow("number sign, plus, five digits") << u"#+00001"_s << 0 << 0 << 1;

    QTest::addRow("five digits") << u"#73FF9"_s << -1 << 0 << 0;
    QTest::addRow("seven digits") << u"#73FF990"_s << -1 << 0 << 0;
    QTest::addRow("eight digits with alpha") << u"#73FF99FF"_s << -1 << 0 << 0;
    QTest::addRow("short form") << u"#FFF"_s << -1 << 0 << 0;
    QTest::addRow("empty") << QString() << -1 << 0 << 0;
    QTest::addRow("lone number sign") << u"#"_s << -1 << 0 << 0;
    QTest::addRow("two number signs") << u"##73FF99"_s << -1 << 0 << 0;
    QTest::addRow("trailing line feed") << u"#73FF99\n"_s << -1 << 0 << 0;
    QTest::addRow("leading carriage return") << u"\r#73FF99"_s << -1 << 0 << 0;
    QTest::addRow("inner space") << u"#73 F99"_s << -1 << 0 << 0;
    QTest::addRow("plus and six digits") << u"+73FF99"_s << -1 << 0 << 0;
    QTest::addRow("plus alone in six") << u"+++++6"_s << -1 << 0 << 0;
    QTest::addRow("minus sign") << u"-73FF9"_s << -1 << 0 << 0;
    QTest::addRow("0x prefix") << u"0x73FF"_s << -1 << 0 << 0;
    QTest::addRow("not hexadecimal") << u"#73FG99"_s << -1 << 0 << 0;
    QTest::addRow("full-width digits") << u"#７３FF99"_s << -1 << 0 << 0;
    QTest::addRow("accented letter") << u"#é3FF99"_s << -1 << 0 << 0;
    // Seven code units but six user-perceived characters: still not hexadecimal.
    QTest::addRow("combining mark") << u"#7\u03013FF99"_s << -1 << 0 << 0;
    QTest::addRow("emoji") << u"#73FF9🛩"_s << -1 << 0 << 0;
}

void TestSharedState::components()
{
    QFETCH(QString, text);
    QFETCH(int, red);
    QFETCH(int, green);
    QFETCH(int, blue);

    const auto rgb = HexColor::components(text);
    const auto color = HexColor::color(text);
    if (red < 0) {
        QVERIFY(!rgb);
        QVERIFY(!color);
        return;
    }
    QVERIFY(rgb);
    QCOMPARE((*rgb)[0], red / 255.0);
    QCOMPARE((*rgb)[1], green / 255.0);
    QCOMPARE((*rgb)[2], blue / 255.0);

    QVERIFY(color);
    QCOMPARE(color->spec(), QColor::Rgb);
    QCOMPARE(color->alpha(), 255);
    QCOMPARE(color->red(), red);
    QCOMPARE(color->green(), green);
    QCOMPARE(color->blue(), blue);
}

void TestSharedState::hexString_data()
{
    QTest::addColumn<QColor>("color");
    QTest::addColumn<QString>("expected"); // empty: absent

    QTest::addRow("half rounds up") << QColor::fromRgbF(1.0f, 0.5f, 0.0f) << u"#FF8000"_s;
    QTest::addRow("parsed default") << *HexColor::color(u"#73ff99"_s) << u"#73FF99"_s;
    QTest::addRow("black") << QColor(Qt::black) << u"#000000"_s;
    QTest::addRow("from HSV") << QColor::fromHsv(240, 255, 255) << u"#0000FF"_s;
    QTest::addRow("alpha dropped") << QColor(0x12, 0xAB, 0xEF, 10) << u"#12ABEF"_s;
    QTest::addRow("invalid") << QColor() << QString();
}

void TestSharedState::hexString()
{
    QFETCH(QColor, color);
    QFETCH(QString, expected);

    const auto text = HexColor::hexString(color);
    if (expected.isEmpty()) {
        QVERIFY(!text);
        return;
    }
    QVERIFY(text);
    QCOMPARE(*text, expected);
}

void TestSharedState::luminance_data()
{
    QTest::addColumn<QColor>("color");
    QTest::addColumn<double>("expected");

    QTest::addRow("white") << QColor(Qt::white) << 1.0;
    QTest::addRow("black") << QColor(Qt::black) << 0.0;
    QTest::addRow("red") << QColor(Qt::red) << 0.299;
    QTest::addRow("green") << QColor(Qt::green) << 0.587;
    QTest::addRow("default colour")
        << *HexColor::color(u"#73FF99"_s) << 0.299 * 0x73 / 255 + 0.587 + 0.114 * 0x99 / 255;
    QTest::addRow("invalid") << QColor() << 0.0;
}

void TestSharedState::luminance()
{
    QFETCH(QColor, color);
    QFETCH(double, expected);

    QVERIFY(std::abs(HexColor::luminance(color) - expected) < 1e-4);
}

void TestSharedState::roundTrip()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // Nested folders that do not exist yet are created.
    const QString folder = dir.filePath(u"a/b/Skyvelle"_s);

    SharedState::write(sample, folder);
    QCOMPARE(SharedState::read(folder), sample);

    SharedState::Config changed = sample;
    changed.home.label = u"Ballard"_s;
    SharedState::write(changed, folder);
    QCOMPARE(SharedState::read(folder), changed);
}

void TestSharedState::writesCompactObject()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    SharedState::write(sample, dir.path());

    const QByteArray bytes = readAll(SharedState::filePath(dir.path()));
    QVERIFY(!bytes.contains('\n'));
    QVERIFY(!bytes.contains(": "));
    const QJsonObject object = QJsonDocument::fromJson(bytes).object();
    QCOMPARE(object.keys(),
        QStringList({ u"distanceUnit"_s, u"home"_s, u"radiusNM"_s, u"widgetColorHex"_s }));
    QCOMPARE(object.value(u"radiusNM"_s).toDouble(), 25.5);
    QCOMPARE(object.value(u"distanceUnit"_s).toString(), u"km"_s);
    QCOMPARE(object.value(u"widgetColorHex"_s).toString(), u"#73FF99"_s);
    const QJsonObject home = object.value(u"home"_s).toObject();
    QCOMPARE(home.keys(), QStringList({ u"label"_s, u"latitude"_s, u"longitude"_s }));
    QCOMPARE(home.value(u"latitude"_s).toDouble(), 47.6062);
    QCOMPARE(home.value(u"longitude"_s).toDouble(), -122.3321);
    QCOMPARE(home.value(u"label"_s).toString(), sample.home.label);
}

void TestSharedState::writeLeavesOnlyTheFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    SharedState::write(sample, dir.path());
    SharedState::write(sample, dir.path());

    // The atomic replacement must not leave temporary files behind for the watcher to see.
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        QStringList { u"widget-config.json"_s });
}

void TestSharedState::writeSkipsOptionalKeys()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const SharedState::Config bare { sample.home, 10.0, std::nullopt, std::nullopt };
    SharedState::write(bare, dir.path());

    const QJsonObject object =
        QJsonDocument::fromJson(readAll(SharedState::filePath(dir.path()))).object();
    QCOMPARE(object.keys(), QStringList({ u"home"_s, u"radiusNM"_s }));
    QCOMPARE(SharedState::read(dir.path()), bare);
}

void TestSharedState::unencodableConfigLeavesFileUntouched()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    SharedState::write(sample, dir.path());
    const QByteArray before = readAll(SharedState::filePath(dir.path()));
    QVERIFY(!before.isEmpty());

    SharedState::Config broken = sample;
    broken.radiusNM = std::numeric_limits<double>::quiet_NaN();
    SharedState::write(broken, dir.path());
    QCOMPARE(readAll(SharedState::filePath(dir.path())), before);

    broken.radiusNM = 1e308;
    SharedState::write(broken, dir.path());
    QCOMPARE(readAll(SharedState::filePath(dir.path())), before);

    broken = sample;
    broken.home.latitude = std::numeric_limits<double>::infinity();
    SharedState::write(broken, dir.path());
    QCOMPARE(readAll(SharedState::filePath(dir.path())), before);
}

void TestSharedState::read_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("unit"); // empty: absent
    QTest::addColumn<QString>("color"); // empty: absent

    const QByteArray home = R"("home":{"latitude":51.5,"longitude":-0.12,"label":"London"})";
    QTest::addRow("all four keys")
        << QByteArray("{" + home + R"(,"radiusNM":30,"distanceUnit":"nm","widgetColorHex":"#abc"})")
        << true << u"nm"_s << u"#abc"_s;
    QTest::addRow("no optional keys")
        << QByteArray("{" + home + R"(,"radiusNM":30})") << true << QString() << QString();
    QTest::addRow("null optional keys")
        << QByteArray("{" + home + R"(,"radiusNM":30,"distanceUnit":null,"widgetColorHex":null})")
        << true << QString() << QString();
    QTest::addRow("unknown key ignored")
        << QByteArray("{" + home + R"(,"radiusNM":30,"extra":[1,2]})") << true << QString()
        << QString();

    QTest::addRow("home lacks label")
        << QByteArray(R"({"home":{"latitude":51.5,"longitude":-0.12},"radiusNM":30})") << false
        << QString() << QString();
    QTest::addRow("latitude as text")
        << QByteArray(R"({"home":{"latitude":"51.5","longitude":0,"label":""},"radiusNM":30})")
        << false << QString() << QString();
    QTest::addRow("home not an object")
        << QByteArray(R"({"home":"London","radiusNM":30})") << false << QString() << QString();
    QTest::addRow("home missing") << QByteArray(R"({"radiusNM":30})") << false << QString()
                                  << QString();
    QTest::addRow("radius missing")
        << QByteArray("{" + home + "}") << false << QString() << QString();
    QTest::addRow("radius as text")
        << QByteArray("{" + home + R"(,"radiusNM":"30"})") << false << QString() << QString();
    // A radius off the globe is no radius: the widgets would caption and scale by it.
    QTest::addRow("radius 1e308") << QByteArray("{" + home + R"(,"radiusNM":1e308})") << false
                                  << QString() << QString();
    QTest::addRow("radius half the globe")
        << QByteArray("{" + home + R"(,"radiusNM":10800})") << true << QString() << QString();
    QTest::addRow("radius 1e-320")
        << QByteArray("{" + home + R"(,"radiusNM":1e-320})") << true << QString() << QString();
    QTest::addRow("radius 0") << QByteArray("{" + home + R"(,"radiusNM":0})") << false << QString()
                              << QString();
    QTest::addRow("radius -0") << QByteArray("{" + home + R"(,"radiusNM":-0.0})") << false
                               << QString() << QString();
    QTest::addRow("radius negative")
        << QByteArray("{" + home + R"(,"radiusNM":-25})") << false << QString() << QString();
    QTest::addRow("unit as number")
        << QByteArray("{" + home + R"(,"radiusNM":30,"distanceUnit":1})") << false << QString()
        << QString();
    QTest::addRow("colour as bool")
        << QByteArray("{" + home + R"(,"radiusNM":30,"widgetColorHex":true})") << false << QString()
        << QString();
    QTest::addRow("truncated") << QByteArray("{" + home.left(30)) << false << QString()
                               << QString();
    QTest::addRow("not JSON") << QByteArray("radiusNM=30") << false << QString() << QString();
    QTest::addRow("array") << QByteArray("[{" + home + R"(,"radiusNM":30}])") << false << QString()
                           << QString();
    QTest::addRow("empty file") << QByteArray() << false << QString() << QString();
}

void TestSharedState::read()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, valid);
    QFETCH(QString, unit);
    QFETCH(QString, color);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    writeRaw(SharedState::filePath(dir.path()), content);

    const auto config = SharedState::read(dir.path());
    QCOMPARE(config.has_value(), valid);
    if (!valid)
        return;
    QCOMPARE(config->home, (HomeLocation { 51.5, -0.12, u"London"_s }));
    QCOMPARE(config->radiusNM, QJsonDocument::fromJson(content)["radiusNM"_L1].toDouble());
    QCOMPARE(config->distanceUnit, unit.isEmpty() ? std::nullopt : std::optional(unit));
    QCOMPARE(config->widgetColorHex, color.isEmpty() ? std::nullopt : std::optional(color));
}

void TestSharedState::missingFileAndClear()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(!SharedState::read(dir.path()));
    SharedState::clear(dir.path());
    SharedState::clear(dir.filePath(u"never/created"_s));

    SharedState::write(sample, dir.path());
    QVERIFY(SharedState::read(dir.path()));
    SharedState::clear(dir.path());
    QVERIFY(!QFile::exists(SharedState::filePath(dir.path())));
    QVERIFY(!SharedState::read(dir.path()));
}

void TestSharedState::uncreatableDirectory()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // A plain file where a folder should be: no amount of privilege creates a folder below it.
    const QString blocker = dir.filePath(u"blocker"_s);
    writeRaw(blocker, "x");
    const QString folder = blocker + u"/Skyvelle"_s;

    SharedState::write(sample, folder);
    QVERIFY(!SharedState::read(folder));
    QCOMPARE(readAll(blocker), QByteArray("x"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        QStringList { u"blocker"_s });
}

void TestSharedState::directoryFollowsXdgDataHome()
{
    const EnvGuard xdg("XDG_DATA_HOME");
    const EnvGuard home("HOME");
    const passwd *entry = getpwuid(getuid());
    QVERIFY2(entry && entry->pw_dir && *entry->pw_dir, "the test needs a user database entry");
    const QString userHome = QFile::decodeName(entry->pw_dir);
    const QString fallback = userHome + u"/.local/share/Skyvelle"_s;

    qputenv("XDG_DATA_HOME", "/srv/data home");
    QCOMPARE(SharedState::directory(), u"/srv/data home/Skyvelle"_s);
    QCOMPARE(SharedState::filePath(), u"/srv/data home/Skyvelle/widget-config.json"_s);

    // A relative or empty XDG_DATA_HOME is ignored; the user database wins over HOME.
    qputenv("HOME", "/nonexistent/container/home");
    qputenv("XDG_DATA_HOME", "relative/share");
    QCOMPARE(SharedState::directory(), fallback);
    qputenv("XDG_DATA_HOME", "");
    QCOMPARE(SharedState::directory(), fallback);
    qunsetenv("XDG_DATA_HOME");
    QCOMPARE(SharedState::directory(), fallback);
}

QTEST_GUILESS_MAIN(TestSharedState)
#include "tst_sharedstate.moc"
