// SPDX-License-Identifier: GPL-3.0-or-later
#include "helptopics.h"

using namespace Qt::StringLiterals;

namespace HelpTopics {

QList<HelpTopic> all()
{
    return {
        { u"Getting started"_s, u"play.circle"_s,
            {
                { {},
                    { u"Skyvelle shows, live, every aircraft flying near a point you choose, "
                      "usually your home. Every five seconds it asks public ADS-B aggregators "
                      "for the aircraft within your search radius and lists them nearest first, "
                      "beside a map that shows where they are and where they have been."_s } },
                { u"Choose home"_s,
                    { u"The first time Skyvelle starts it asks where home is. Type an address "
                      "and press Look Up, use this computer's location, or enter the latitude "
                      "and longitude in decimal degrees (for example 45.6387, -122.6615). Then "
                      "press Start Watching the Sky."_s,
                        u"To change home later, press Home Location in the toolbar. The radius "
                        "button beside it sets how far out to look: 5, 10, 25, 50, 100 or 250 "
                        "nautical miles."_s } },
                { u"Keyboard shortcuts"_s,
                    { u"In the list and on the map, Enter shows the selected aircraft and "
                      "Escape closes its details. On the map, + and − zoom and the arrow keys "
                      "pan."_s },
                    {
                        { u"Ctrl+F"_s, u"Find an aircraft in the sidebar"_s },
                        { u"Ctrl+Shift+T"_s, u"Show or hide flight trails"_s },
                        { u"Ctrl+Shift+A"_s, u"Colour aircraft by altitude"_s },
                        { u"Ctrl+,"_s, u"Settings"_s },
                        { u"F1"_s, u"This Help window"_s },
                        { u"Ctrl+Q"_s, u"Quit Skyvelle"_s },
                    } },
                { u"Skyvelle in the background"_s,
                    { u"Closing the last window does not stop Skyvelle: it keeps watching the "
                      "sky, raising notifications and filling the logbook. Start Skyvelle "
                      "again from the applications menu, open a skyvelle:// link or click a "
                      "notification to get a window back. Where the desktop has a system tray, "
                      "its Skyvelle icon offers Show Skyvelle, Pause and Quit."_s,
                        u"To stop Skyvelle completely, choose Quit in the Skyvelle menu or in the "
                        "tray icon's menu, or press Ctrl+Q."_s,
                        u"Only one Skyvelle runs per user: starting it again brings the running "
                        "one to the front."_s } },
                { u"Listening to the tower"_s,
                    { u"ATC Audio in the toolbar keeps the live air-traffic-control feeds you "
                      "save: give each a name and its stream or .pls link, then click it to "
                      "listen and click again to stop. Playback goes on with the panel and the "
                      "window closed. A feed that does not answer is marked offline in "
                      "orange; the feeds are run by volunteers and come and go."_s } },
                { u"New versions"_s,
                    { u"A few seconds after it starts, and once a day while it runs, Skyvelle "
                      "quietly reads its release feed. When a newer version is out, the status "
                      "line under the list says so, for example \"2.0 available\"; click it, or "
                      "choose Check for Updates… in the Skyvelle menu, to see what changed."_s,
                        u"Download opens the release's page: Skyvelle installs nothing itself, so "
                        "install the new version the way you installed Skyvelle. Remind Me Later "
                        "closes the window; Skip This Version hides that version until a newer "
                        "one comes out. Turn off Check for updates automatically in the same "
                        "window to stop the quiet checks; checking by hand still works."_s } },
            } },
        { u"The map"_s, u"map"_s,
            {
                { {},
                    { u"The map is centred on home, marked by a house in a blue circle. The "
                      "ring shows the edge of your search radius. Each aircraft is a marker "
                      "pointing in its direction of flight, with a trail of where it has been "
                      "during the last minutes."_s } },
                { u"Moving around"_s,
                    { u"Drag to pan and use the mouse wheel or a pinch to zoom; double-click "
                      "zooms in. The keyboard works too once the map has focus: + and − zoom, "
                      "the arrow keys pan."_s,
                        u"Fit All zooms out to show the whole search radius. Home recentres "
                        "on home and keeps the zoom. The map style button switches between "
                        "Standard, Muted, Satellite and Hybrid (satellite with place names)."_s } },
                { u"Selecting an aircraft"_s,
                    { u"Click a marker to select the aircraft: it grows, gets a pulsing halo, "
                      "and its details appear in a card in the map's corner: callsign, type, "
                      "altitude, speed, distance, the route of an airline flight and a "
                      "photograph of the airframe when the lookup services know them. Escape "
                      "or the card's close button deselects it."_s } },
                { u"Without a connection"_s,
                    { u"When map tiles cannot be loaded the map draws a plain background with "
                      "a grid of latitude and longitude; home, the ring, the aircraft and their "
                      "trails still show. Tiles already seen come from the cache on disk."_s } },
            } },
        { u"The sidebar"_s, u"line.3.horizontal.decrease.circle"_s,
            {
                { {},
                    { u"The sidebar lists the aircraft the map shows, nearest first. Each row "
                      "gives the callsign or registration, the type, the altitude and the "
                      "distance from home. EMERG and MIL badges mark emergencies and military "
                      "aircraft."_s } },
                { u"Search and filters"_s,
                    { u"Type in the search field (Ctrl+F) to keep only aircraft whose "
                      "callsign, type or registration matches. The filter button narrows the "
                      "list, and the map with it, to Emergency, Military, Helicopters, "
                      "Airliners, General Aviation or Low Altitude (below 2,000 ft); choose "
                      "All Aircraft to clear the filters."_s,
                        u"Click a row, or move with the arrow keys, to select an aircraft; "
                        "Enter flies the map to it and Escape closes its details."_s } },
                { u"The status line"_s,
                    { u"At the bottom, a light and a line say how the feed is doing: green "
                      "and \"Live via\" with the service that answered, or orange when "
                      "updates are paused or the connection has trouble, with the reason. "
                      "Pause in the toolbar stops the updates until you press Resume."_s } },
            } },
        { u"Icons and colours"_s, u"airplane.circle.fill"_s,
            {
                { u"Aircraft"_s,
                    { u"An aircraft points in its direction of flight, in the colour you "
                      "choose in Settings (orange unless you change it). The selected aircraft "
                      "is larger and has a pulsing halo."_s,
                        u"Emergencies are always red: aircraft squawking 7500, 7600 or "
                        "7700. Military aircraft are always green."_s } },
                { u"Colour by altitude"_s,
                    { u"With Color Aircraft by Altitude on (View menu, Ctrl+Shift+A) markers "
                      "and trails take the colour of their height: orange below 2,000 ft, "
                      "then yellow to 10,000 ft, green to 20,000 ft, cyan to 30,000 ft and "
                      "violet above. A key on the map shows the bands."_s } },
                { u"Home and the ring"_s,
                    { u"Home is a house in a blue circle; the ring around it is the edge of "
                      "the search radius, drawn white on satellite maps."_s } },
                { u"Status light"_s,
                    { u"Green means live updates; orange means paused or connection "
                      "trouble."_s } },
                { u"Telling them apart without colour"_s,
                    { u"Turn on Differentiate without colour in Settings to add symbols to "
                      "emergency and military markers, and Increase contrast for stronger "
                      "outlines."_s } },
            } },
        { u"Widgets"_s, u"scope"_s,
            {
                { {},
                    { u"Skyvelle comes with three desktop widgets: the nearest aircraft, a "
                      "radar scope, and a radar scope with a board of the nearest five. They "
                      "are shown by the Skyvelle Widgets program as small frameless windows "
                      "on the desktop; add one from its menu (right-click) and drag it where "
                      "you want it. Their positions are remembered."_s } },
                { u"How they stay current"_s,
                    { u"The widgets ask the feed for themselves every five minutes, even "
                      "while Skyvelle is closed, using the home, radius, distance unit and "
                      "accent colour that Skyvelle shares with them in widget-config.json. "
                      "When you change one of these in Skyvelle the widgets redraw at "
                      "once."_s } },
                { u"On the scope"_s,
                    { u"Home is the centre dot and each blip sits at the aircraft's true "
                      "bearing and distance. The rings mark thirds of your radius. Military "
                      "aircraft are gold and emergencies red. Altitudes above 18,000 ft are "
                      "shown as flight levels (FL240 is about 24,000 ft); GND means on the "
                      "ground. QUIET SKY means nothing is in range: the widget is working, "
                      "the sky is just empty."_s,
                        u"Click a widget to open Skyvelle; click an aircraft on it to open "
                        "Skyvelle with that aircraft selected."_s } },
            } },
        { u"Settings"_s, u"gearshape"_s,
            {
                { {},
                    { u"Open Settings with Ctrl+, or from the Skyvelle menu. Every change applies "
                      "at once. The panes are General (appearance, distance unit, text size), "
                      "Map (aircraft colour and size, map style, trails), Alerts (which "
                      "aircraft notify you and from how far), Accessibility and Privacy."_s,
                        u"Appearance Automatic follows the system's light or dark setting; "
                        "Light and Dark force one."_s } },
                { u"Using your own receiver"_s,
                    { u"Every outside address Skyvelle uses can be changed in the [services] "
                      "group of the settings file, $XDG_CONFIG_HOME/Skyvelle/Skyvelle.conf "
                      "(usually ~/.config/Skyvelle/Skyvelle.conf). To take the aircraft from "
                      "your own receiver or a self-hosted aggregator that answers like "
                      "adsb.lol, quit Skyvelle, add these lines, and start it again:"_s,
                        u"[services]\nfeedPrimary=http://192.168.1.20:8080\n"
                        "feedPrimaryName=My receiver"_s,
                        u"The other keys are feedSecondary and feedSecondaryName (the service "
                        "tried when the first fails), routes, photos, geocoder, globe, "
                        "homepage, contact, appcast (the release feed the update check reads), "
                        "and the map tile templates tilesStandard, tilesImagery and "
                        "tilesOverlay with {z}, {x} and {y}. An empty value keeps the public "
                        "default."_s } },
            } },
        { u"Your data"_s, u"hand.raised"_s,
            {
                { u"What leaves this computer"_s,
                    { u"Your home coordinates and search radius go to the two ADS-B "
                      "aggregators (adsb.lol, then adsb.fi if the first fails) as the area "
                      "to search. Selecting an aircraft may send its callsign to the route "
                      "database (adsbdb.com) and its ICAO address to the photo service "
                      "(planespotters.net). Looking up an address sends it to OpenStreetMap's "
                      "Nominatim. The map loads tiles from OpenStreetMap, or from Esri for "
                      "satellite views. ATC audio connects only to the stream links you "
                      "give it. The update check reads the release feed on skyvelle.app, "
                      "which learns only which version of Skyvelle asks."_s,
                        u"There are no accounts and no analytics. Nothing else leaves this "
                        "computer."_s } },
                { u"Where Skyvelle keeps its files"_s,
                    { u"Settings, including home: $XDG_CONFIG_HOME/Skyvelle/Skyvelle.conf "
                      "(usually ~/.config/Skyvelle/Skyvelle.conf)."_s,
                        u"Data: $XDG_DATA_HOME/Skyvelle (usually ~/.local/share/Skyvelle). "
                        "logbook.json holds the logbook; widget-config.json holds what the "
                        "desktop widgets draw with."_s,
                        u"Map tiles: $XDG_CACHE_HOME/Skyvelle/Skyvelle/tiles (usually "
                        "~/.cache/Skyvelle/Skyvelle/tiles), at most 200 MB. Deleting it is "
                        "safe."_s,
                        u"Diagnostics: /tmp/skyvelle-debug.log records window and link "
                        "handling, readable by you alone."_s } },
                { u"Starting over"_s,
                    { u"Forget Home Location in Settings, Privacy, removes home and sends "
                      "Skyvelle back to its first-run setup. To remove everything, quit "
                      "Skyvelle and delete the folders above."_s } },
            } },
        { u"Frequently asked questions"_s, u"questionmark.circle"_s,
            {
                { u"Why is the list empty?"_s,
                    { u"Quiet Skies means the feed answered and nothing is within your "
                      "radius: try a larger one. No Matches means a filter or the search "
                      "hides them. If the status light is orange, the feed could not be "
                      "reached; Skyvelle keeps the last list and tries again every five "
                      "seconds."_s } },
                { u"Why is an aircraft I can see missing?"_s,
                    { u"Only aircraft whose ADS-B broadcasts reach a receiver of the "
                      "community networks appear, and some aircraft do not broadcast their "
                      "position."_s } },
                { u"Skyvelle is running but I see no window."_s,
                    { u"It keeps watching in the background after its last window closes. "
                      "Start it again from the applications menu, or use its tray icon, to "
                      "get a window; quit it with Ctrl+Q or Quit."_s } },
                { u"Links to skyvelle:// do nothing."_s,
                    { u"Skyvelle registers itself as their handler when it starts and no "
                      "other application claims them. Check with: xdg-mime query default "
                      "x-scheme-handler/skyvelle, which should answer skyvelle.desktop."_s } },
                { u"Why no notifications?"_s,
                    { u"Notifications need a notification service on the desktop. Choose "
                      "which aircraft notify you in Settings, Alerts."_s } },
            } },
    };
}

} // namespace HelpTopics
