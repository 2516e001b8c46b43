// SPDX-License-Identifier: GPL-3.0-or-later
#include "flightstore.h"
#include "preferences.h"
#include "scopepalette.h"
#include "settingswindow.h"
#include "views/legendpopover.h"
#include "views/settings/colorswatch.h"
#include "views/settings/notificationpermission.h"
#include "views/settings/segmentedcontrol.h"
#include "views/settings/settingsview.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

class CountingPermission : public NotificationPermission {
public:
    void request() override { ++requests; }
    int requests = 0;
};

// A control by its row's accessible name (empty for toggles and swatches) and its own label.
QAbstractButton *control(QWidget *root, const QString &group, const QString &label)
{
    QWidget *scope = root;
    if (!group.isEmpty()) {
        for (auto *segments : root->findChildren<SegmentedControl *>()) {
            if (segments->accessibleName() == group)
                scope = segments;
        }
        if (scope == root)
            return nullptr;
    }
    for (auto *button : scope->findChildren<QAbstractButton *>()) {
        if (button->accessibleName() == label || button->text() == label)
            return button;
    }
    return nullptr;
}

SegmentedControl *segments(QWidget *root, const QString &name)
{
    for (auto *found : root->findChildren<SegmentedControl *>()) {
        if (found->accessibleName() == name)
            return found;
    }
    return nullptr;
}

// How many pixels of @p image lie within a few steps of @p color.
int pixelsNear(const QImage &image, const QColor &color)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - color.red()) + std::abs(c.green() - color.green())
                    + std::abs(c.blue() - color.blue())
                < 24)
                ++count;
        }
    }
    return count;
}

QImage legendIcon(QWidget *popover, const QString &legend, const QString &row)
{
    QWidget *icon =
        popover->findChild<QWidget *>(legend)->findChild<QWidget *>(row)->findChild<QWidget *>(
            u"icon"_s);
    return icon->grab().toImage();
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Preferences> m_preferences;
    std::unique_ptr<FlightStore> m_store;
    QNetworkAccessManager m_network;
    CountingPermission m_permission;

    QString autostartFolder() const { return m_dir->filePath(u"autostart"_s); }

    std::unique_ptr<SettingsWindow> makeWindow(const QString &folder = {})
    {
        auto window = std::make_unique<SettingsWindow>(m_preferences.get(), m_store.get(), nullptr,
            LoginItem(folder.isEmpty() ? autostartFolder() : folder, u"/opt/sky velle/skyvelle"_s),
            &m_permission);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qWarning("window not exposed");
        return window;
    }

    // What the settings file holds for @p key, as text.
    QString stored(const QString &key) const
    {
        m_preferences->sync();
        return QSettings(m_dir->filePath(u"Skyvelle.conf"_s), QSettings::IniFormat)
            .value(key)
            .toString();
    }

    void click(QAbstractButton *button)
    {
        QVERIFY(button);
        // A check box answers on its box and label, not on the stretch beside them.
        const QPoint at = qobject_cast<QCheckBox *>(button) ? QPoint(8, button->height() / 2)
                                                            : button->rect().center();
        QTest::mouseClick(button, Qt::LeftButton, {}, at);
    }

private Q_SLOTS:
    void initTestCase() { QApplication::setStyle(u"Fusion"_s); }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_preferences = std::make_unique<Preferences>(m_dir->filePath(u"Skyvelle.conf"_s));
        // Polls go nowhere: nothing listens on port 1.
        QVariantMap overrides;
        overrides.insert(u"feedPrimary"_s, u"http://127.0.0.1:1"_s);
        overrides.insert(u"feedSecondary"_s, u"http://127.0.0.1:1"_s);
        m_store = std::make_unique<FlightStore>(m_preferences.get(), &m_network,
            Services::withOverrides(overrides), m_dir->filePath(u"data"_s));
        m_store->setHome(HomeLocation { 45.5, -122.6, u"Portland"_s });
        m_permission.requests = 0;
    }

    void cleanup()
    {
        m_store.reset();
        m_preferences.reset();
        m_dir.reset();
    }

    void controlsWriteTheirKeys_data()
    {
        QTest::addColumn<SettingsView::Pane>("pane");
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        using P = SettingsView::Pane;
        QTest::newRow("appearance")
            << P::General << QString() << u"Dark"_s << u"appearanceChoice"_s << u"dark"_s;
        QTest::newRow("unit") << P::General << u"Distances"_s << u"Kilometers"_s
                              << u"distanceUnit"_s << u"km"_s;
        QTest::newRow("plane colour") << P::Map << QString() << u"Preset color #BF5AF2"_s
                                      << u"planeColorHex"_s << u"#BF5AF2"_s;
        QTest::newRow("altitude") << P::Map << QString() << u"Color aircraft by altitude"_s
                                  << u"colorByAltitude"_s << u"true"_s;
        QTest::newRow("marker") << P::Map << u"Marker size"_s << u"Large"_s << u"markerScale"_s
                                << u"1.3"_s;
        QTest::newRow("trails") << P::Map << QString() << u"Show flight trails"_s << u"showTrails"_s
                                << u"false"_s;
        QTest::newRow("length") << P::Map << u"Trail length"_s << u"30 sec"_s << u"trailMinutes"_s
                                << u"0.5"_s;
        QTest::newRow("width") << P::Map << u"Trail width"_s << u"Thick"_s << u"trailWidth"_s
                               << u"3.5"_s;
        QTest::newRow("style") << P::Map << u"Map style"_s << u"Satellite"_s << u"mapStyleChoice"_s
                               << u"imagery"_s;
        QTest::newRow("accent") << P::Map << QString() << u"Preset color #FFBF00"_s
                                << u"widgetColorHex"_s << u"#FFBF00"_s;
        QTest::newRow("alerts off")
            << P::Alerts << QString() << u"Enable alerts"_s << u"alertsEnabled"_s << u"false"_s;
        QTest::newRow("range") << P::Alerts << u"Alert range"_s << u"10 mi"_s
                               << u"alertRangeMiles"_s << u"10"_s;
        QTest::newRow("emergency")
            << P::Alerts << QString() << u"Emergency squawks (7500 / 7600 / 7700)"_s
            << u"alertEmergency"_s << u"false"_s;
        QTest::newRow("helicopters")
            << P::Alerts << QString() << u"Helicopters"_s << u"alertHelicopters"_s << u"true"_s;
        QTest::newRow("closeness") << P::Alerts << u"Fly-over closeness"_s << u"½ mi"_s
                                   << u"flyoverMissMiles"_s << u"0.5"_s;
        QTest::newRow("motion") << P::Accessibility << QString() << u"Reduce motion"_s
                                << u"reduceMotion"_s << u"true"_s;
        QTest::newRow("contrast") << P::Accessibility << QString() << u"Increase contrast"_s
                                  << u"increaseContrast"_s << u"true"_s;
        QTest::newRow("symbols") << P::Accessibility << QString()
                                 << u"Differentiate without color"_s
                                 << u"differentiateWithoutColor"_s << u"true"_s;
    }

    void controlsWriteTheirKeys()
    {
        QFETCH(SettingsView::Pane, pane);
        QFETCH(QString, group);
        QFETCH(QString, label);
        QFETCH(QString, key);
        QFETCH(QString, value);
        // The rules are greyed out until alerts are on, the closeness until fly-overs are.
        m_preferences->setAlertsEnabled(true);
        m_preferences->setAlertFlyover(true);
        auto window = makeWindow();
        window->view()->setPane(pane);
        QCOMPARE(window->windowTitle(), u"Settings — "_s + SettingsView::title(pane));
        click(control(window.get(), group, label));
        QCOMPARE(stored(key), value);
    }

    void editsFromElsewhereShowAtOnce()
    {
        auto window = makeWindow();
        auto *trails =
            qobject_cast<QCheckBox *>(control(window.get(), {}, u"Show flight trails"_s));
        QVERIFY(trails->isChecked());
        m_preferences->setShowTrails(false); // as Ctrl+Shift+T does
        QVERIFY(!trails->isChecked());
        m_preferences->setMarkerScale(0.8);
        QCOMPARE(segments(window.get(), u"Marker size"_s)->currentIndex(), 0);

        auto *field = window->findChild<QLineEdit *>();
        QVERIFY(field);
        window->view()->setPane(SettingsView::Pane::Alerts);
        QTest::keyClicks(field, u"ASA512, n516as"_s);
        QCOMPARE(m_preferences->alertWatchlist(), u"ASA512, n516as"_s);
    }

    void handEditedValuesSelectNothingAndStay()
    {
        QSettings file(m_dir->filePath(u"Skyvelle.conf"_s), QSettings::IniFormat);
        file.setValue(u"markerScale"_s, 7);
        file.setValue(u"planeColorHex"_s, u"red"_s);
        file.setValue(u"textScale"_s, 0);
        file.sync();
        auto window = makeWindow();
        QCOMPARE(segments(window.get(), u"Marker size"_s)->currentIndex(), -1);
        // The aircraft colours come first; the widget accent is still its default.
        const QList<ColorSwatch *> swatches = window->findChildren<ColorSwatch *>();
        for (int i = 0; i < 8; ++i)
            QVERIFY(!swatches.at(i)->isCurrent());
        QCOMPARE(window->findChild<QSlider *>(u"textSize"_s)->value(), 16);
        m_preferences->sync();
        QSettings after(m_dir->filePath(u"Skyvelle.conf"_s), QSettings::IniFormat);
        QCOMPARE(after.value(u"markerScale"_s).toString(), u"7"_s);
        QCOMPARE(after.value(u"planeColorHex"_s).toString(), u"red"_s);
        QCOMPARE(after.value(u"textScale"_s).toString(), u"0"_s);
    }

    void resetToDefaultsLeavesTheRest()
    {
        m_preferences->setPlaneColorHex(u"#0A84FF"_s);
        m_preferences->setMarkerScale(1.3);
        m_preferences->setMapStyleChoice(Preferences::MapStyle::Hybrid);
        m_preferences->setWidgetColorHex(u"#FFFFFF"_s);
        m_preferences->setColorByAltitude(true);
        m_preferences->setShowTrails(false);
        m_preferences->setTrailMinutes(5);
        m_preferences->setTrailWidth(1);
        m_preferences->setDistanceUnit(Preferences::DistanceUnit::Kilometers);
        m_preferences->setTextScale(1.2);
        m_preferences->setAlertsEnabled(true);
        auto window = makeWindow();
        window->view()->setPane(SettingsView::Pane::Map);
        click(control(window.get(), {}, u"Reset to Defaults"_s));
        QCOMPARE(stored(u"planeColorHex"_s), u"#FF8A00"_s);
        QCOMPARE(stored(u"markerScale"_s), u"1"_s);
        QCOMPARE(stored(u"mapStyleChoice"_s), u"standard"_s);
        QCOMPARE(stored(u"widgetColorHex"_s), u"#73FF99"_s);
        QCOMPARE(stored(u"colorByAltitude"_s), u"false"_s);
        QCOMPARE(stored(u"showTrails"_s), u"true"_s);
        QCOMPARE(stored(u"trailMinutes"_s), u"1"_s);
        QCOMPARE(stored(u"trailWidth"_s), u"2"_s);
        QCOMPARE(stored(u"distanceUnit"_s), u"km"_s);
        QCOMPARE(stored(u"textScale"_s), u"1.2"_s);
        QCOMPARE(stored(u"alertsEnabled"_s), u"true"_s);
        QVERIFY(qobject_cast<QCheckBox *>(control(window.get(), {}, u"Show flight trails"_s))
                    ->isChecked());
    }

    void trailPickersGreyOutKeepingTheirValues()
    {
        m_preferences->setTrailMinutes(5);
        m_preferences->setTrailWidth(3.5);
        auto window = makeWindow();
        window->view()->setPane(SettingsView::Pane::Map);
        click(control(window.get(), {}, u"Show flight trails"_s));
        for (const auto &[name, index] :
            { std::pair(u"Trail length"_s, 3), { u"Trail width"_s, 2 } }) {
            SegmentedControl *picker = segments(window.get(), name);
            QVERIFY(!picker->isEnabled());
            QCOMPARE(picker->currentIndex(), index);
        }
        QCOMPARE(stored(u"trailMinutes"_s), u"5"_s);
    }

    void textSizeReset_data()
    {
        QTest::addColumn<double>("scale");
        QTest::addColumn<bool>("resetShown");
        QTest::addColumn<QString>("percent");
        QTest::newRow("100%") << 1.0 << false << u"100%"_s;
        QTest::newRow("80%") << 0.8 << true << u"80%"_s;
        QTest::newRow("140%") << 1.4 << true << u"140%"_s;
    }

    void textSizeReset()
    {
        QFETCH(double, scale);
        QFETCH(bool, resetShown);
        QFETCH(QString, percent);
        m_preferences->setTextScale(scale);
        auto window = makeWindow();
        window->view()->setPane(SettingsView::Pane::Accessibility);
        auto *reset = window->findChild<QPushButton *>(u"textSizeReset"_s);
        QCOMPARE(reset->isVisible(), resetShown);
        QCOMPARE(window->findChild<QLabel *>(u"textSizePercent"_s)->text(), percent);
        if (resetShown) {
            click(reset);
            QCOMPARE(stored(u"textScale"_s), u"1"_s);
            QVERIFY(!reset->isVisible());
        }
        auto *slider = window->findChild<QSlider *>(u"textSize"_s);
        QCOMPARE(slider->accessibleName(), u"Text size"_s);
        slider->setFocus();
        QTest::keyClick(slider, Qt::Key_Right);
        QCOMPARE(m_preferences->textScale(), 1.05);
    }

    void unitChangeRewritesWidgetFileOnce()
    {
        QSignalSpy reloads(m_store.get(), &FlightStore::widgetReloadRequested);
        auto window = makeWindow();
        QAbstractButton *nautical = control(window.get(), u"Distances"_s, u"Nautical miles"_s);
        click(nautical);
        QCOMPARE(reloads.size(), 1);
        QFile file(m_dir->filePath(u"data/widget-config.json"_s));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("\"nm\""));
        click(nautical);
        QCOMPARE(reloads.size(), 1);
    }

    void forgetHomeKeepsTheWindowOpen()
    {
        auto window = makeWindow();
        window->view()->setPane(SettingsView::Pane::Privacy);
        QAbstractButton *forget = control(window.get(), {}, u"Forget Home Location"_s);
        click(forget);
        QVERIFY(!m_store->home());
        QVERIFY(m_preferences->homeLocation().isEmpty());
        QVERIFY(!QFile::exists(m_dir->filePath(u"data/widget-config.json"_s)));
        QVERIFY(window->isVisible());
        QVERIFY(!forget->isEnabled());
    }

    void enablingAlertsAsksPermission()
    {
        auto window = makeWindow();
        window->view()->setPane(SettingsView::Pane::Alerts);
        // A fresh install: greyed rules, "Any distance" and "¾ mi", only emergencies on.
        QVERIFY(!control(window.get(), {}, u"Helicopters"_s)->isEnabled());
        QCOMPARE(segments(window.get(), u"Alert range"_s)->currentIndex(), 4);
        QCOMPARE(segments(window.get(), u"Fly-over closeness"_s)->currentIndex(), 1);
        QVERIFY(
            control(window.get(), {}, u"Emergency squawks (7500 / 7600 / 7700)"_s)->isChecked());
        QVERIFY(!control(window.get(), {}, u"Military aircraft"_s)->isChecked());
        QCOMPARE(m_permission.requests, 0);

        QAbstractButton *enable = control(window.get(), {}, u"Enable alerts"_s);
        click(enable);
        QCOMPARE(m_permission.requests, 1);
        QVERIFY(control(window.get(), {}, u"Helicopters"_s)->isEnabled());
        // Fly-over closeness waits for its own switch.
        QVERIFY(!segments(window.get(), u"Fly-over closeness"_s)->isEnabled());
        click(enable);
        click(enable);
        QCOMPARE(m_permission.requests, 2);
    }

    void launchAtLogin()
    {
        const QString entry = m_dir->filePath(u"autostart/skyvelle.desktop"_s);
        auto window = makeWindow();
        window->view()->setPane(SettingsView::Pane::Alerts);
        QAbstractButton *toggle = control(window.get(), {}, u"Launch Skyvelle at login"_s);
        QVERIFY(!toggle->isChecked());
        click(toggle);
        QFile file(entry);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("Exec=\"/opt/sky velle/skyvelle\""));
        file.close();

        // Switched off by the desktop's own settings: a fresh window shows it off.
        QVERIFY(file.open(QIODevice::Append));
        file.write("Hidden=true\n");
        file.close();
        window = makeWindow();
        window->view()->setPane(SettingsView::Pane::Alerts);
        toggle = control(window.get(), {}, u"Launch Skyvelle at login"_s);
        QVERIFY(!toggle->isChecked());
        click(toggle);
        QVERIFY(LoginItem(autostartFolder(), {}).isEnabled());
        click(toggle);
        QVERIFY(!QFile::exists(entry));
    }

    void launchAtLoginFailureShowsTheError()
    {
        // A folder nobody may write in: the process filesystem when the tests run as root.
        QDir(m_dir->path()).mkdir(u"locked"_s);
        QFile::setPermissions(m_dir->filePath(u"locked"_s), QFile::ReadOwner | QFile::ExeOwner);
        auto window = makeWindow(geteuid() == 0 ? u"/proc"_s : m_dir->filePath(u"locked"_s));
        window->view()->setPane(SettingsView::Pane::Alerts);
        auto *error = window->findChild<QLabel *>(u"loginItemError"_s);
        QVERIFY(!error->isVisible());
        QAbstractButton *toggle = control(window.get(), {}, u"Launch Skyvelle at login"_s);
        click(toggle);
        QVERIFY(!toggle->isChecked());
        QVERIFY(error->isVisible());
        QVERIFY2(error->text().startsWith(u"Couldn't update the login item: "_s),
            qPrintable(error->text()));
        QFile::setPermissions(
            m_dir->filePath(u"locked"_s), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void sidebarAndNames()
    {
        auto window = makeWindow();
        QCOMPARE(window->size(), QSize(760, 560));
        QCOMPARE(window->windowTitle(), u"Settings — General"_s);
        QWidget *sidebar = window->findChild<QWidget *>(u"settingsPanes"_s);
        sidebar->setFocus();
        QTest::keyClick(sidebar, Qt::Key_Down);
        QCOMPARE(window->windowTitle(), u"Settings — Map"_s);
        // Tab leaves the sidebar for the pane's first control.
        QTest::keyClick(sidebar, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->accessibleName(), u"Preset color #FF8A00"_s);
        window->view()->setPane(SettingsView::Pane::Alerts);
        QStringList order;
        for (QWidget *at = window->findChild<QLineEdit *>(); order.size() < 2;
             at = at->nextInFocusChain()) {
            if (at->isVisible() && at->focusPolicy() & Qt::TabFocus)
                order.append(at->accessibleName().isEmpty() ? at->property("text").toString()
                                                            : at->accessibleName());
        }
        QCOMPARE(order, QStringList({ u"Watchlist"_s, u"Launch Skyvelle at login"_s }));
        QCOMPARE(window->findChildren<ColorSwatch *>().size(), 8 + 1 + 6 + 1);
        int custom = 0;
        for (auto *swatch : window->findChildren<ColorSwatch *>())
            custom += swatch->accessibleName() == u"Custom color"_s;
        QCOMPARE(custom, 2);
        QVERIFY(qobject_cast<ColorSwatch *>(control(window.get(), {}, u"Preset color #FF8A00"_s))
                    ->isCurrent());
    }

    void legendAircraftFollowThePlaneColor_data()
    {
        QTest::addColumn<QString>("row");
        QTest::addColumn<bool>("recoloured");
        QTest::newRow("aircraft") << u"Aircraft"_s << true;
        QTest::newRow("selected") << u"Selected aircraft"_s << true;
        QTest::newRow("emergency") << u"Emergency"_s << false;
        QTest::newRow("military") << u"Military"_s << false;
    }

    void legendAircraftFollowThePlaneColor()
    {
        QFETCH(QString, row);
        QFETCH(bool, recoloured);
        LegendPopover popover(m_preferences.get());
        popover.show();
        m_preferences->setPlaneColorHex(u"#BF5AF2"_s);
        const QImage icon = legendIcon(&popover, u"appLegend"_s, row);
        QCOMPARE(pixelsNear(icon, QColor(0xBF, 0x5A, 0xF2)) > 40, recoloured);
    }

    void legendGlyphTurnsBlackOnALightColor_data()
    {
        QTest::addColumn<QString>("color");
        QTest::addColumn<bool>("dark");
        QTest::newRow("white") << u"#FFFFFF"_s << true;
        QTest::newRow("yellow") << u"#FFD60A"_s << true;
        QTest::newRow("blue") << u"#0A84FF"_s << false;
    }

    void legendGlyphTurnsBlackOnALightColor()
    {
        QFETCH(QString, color);
        QFETCH(bool, dark);
        m_preferences->setPlaneColorHex(color);
        LegendPopover popover(m_preferences.get());
        popover.show();
        const QImage icon = legendIcon(&popover, u"appLegend"_s, u"Aircraft"_s);
        // The glyph covers the disc's centre.
        const QColor centre = icon.pixelColor(icon.rect().center());
        QCOMPARE(centre.lightness() < 80, dark);
    }

    void widgetLegendFallsBackToRadarGreen_data()
    {
        QTest::addColumn<QString>("accent");
        QTest::addColumn<QColor>("blip");
        QTest::newRow("invalid") << u"not a colour"_s << ScopePalette::standard().phosphor;
        QTest::newRow("coral") << u"#FF7A66"_s << QColor(0xFF, 0x7A, 0x66);
    }

    void widgetLegendFallsBackToRadarGreen()
    {
        QFETCH(QString, accent);
        QFETCH(QColor, blip);
        LegendPopover popover(m_preferences.get());
        popover.show();
        m_preferences->setWidgetColorHex(accent);
        QVERIFY(pixelsNear(legendIcon(&popover, u"widgetLegend"_s, u"Aircraft blip"_s), blip) > 20);
        QCOMPARE(pixelsNear(legendIcon(&popover, u"widgetLegend"_s, u"Military"_s), blip), 0);
    }

    void legendHelpLinkAndEscape()
    {
        QWidget anchor;
        anchor.resize(40, 20);
        anchor.show();
        LegendPopover popover(m_preferences.get());
        QSignalSpy help(&popover, &LegendPopover::helpRequested);
        popover.popup(&anchor);
        QCOMPARE(popover.width(), 360);
        QTest::keyClick(&popover, Qt::Key_Escape);
        QVERIFY(!popover.isVisible());
        popover.popup(&anchor);
        click(popover.helpLink());
        QVERIFY(!popover.isVisible());
        QCOMPARE(help.size(), 1);
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
